// A tracing library for the start-up tests: records what HookModule was given.
namespace {
void* g_module = nullptr;
int g_calls = 0;
}  // namespace

extern "C" {
__attribute__((visibility("default"))) void HookModule(void* module) {
  g_module = module;
  ++g_calls;
}
__attribute__((visibility("default"))) void* QuillonHookedModule() { return g_module; }
__attribute__((visibility("default"))) int QuillonHookCalls() { return g_calls; }
}
