// A tracing library without the HookModule export.
extern "C" __attribute__((visibility("default"))) int QuillonBare() { return 1; }
