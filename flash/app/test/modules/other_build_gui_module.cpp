// A window module of another build: its entry point refuses every stamp.
struct BrimletGuiModule;

extern "C" __attribute__((visibility("default"))) const BrimletGuiModule* brimlet_gui_module(const char*) {
  return nullptr;
}
