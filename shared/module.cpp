// Vantor's module: the shared library that the host loads and Lotrix and Vorlen link against.
namespace vantor {
const char* ModuleName() { return "Vantor"; }
}  // namespace vantor
