// Vorlen's module: the seller-zone status connector.
namespace vorlen {
const char* ModuleName() { return "Vorlen"; }
}  // namespace vorlen
