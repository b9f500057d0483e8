// The window module (brimlet-gui.so): brimlet loads it only when it shows a
// window, so that every other run starts without the wx/GTK libraries. The
// module's code resolves brimlet's own functions from the running program;
// this table is all that crosses the other way.
#pragma once
#include <string>
#include <vector>

#include "app/brimlet_ui.h"
#include "bios_tools_version.h"

// What both sides compare: the release and the table's revision, raised
// whenever BrimletGuiModule or a class it passes changes. A macro, so that
// each side holds its own copy (the module resolves functions from brimlet).
#define BRIMLET_GUI_STAMP BIOS_TOOLS_VERSION "/1"

extern "C" {

struct BrimletGuiModule {
  // Opens the display; false when it cannot be opened.
  bool (*startWindows)(int* argc, char** argv);
  void (*stopWindows)();
  // The main window's user interface; startWindows must have succeeded.
  brim::BrimletUi* (*createUi)();
  void (*destroyUi)(brim::BrimletUi* ui);
  // Silent mode's one window: the setup password dialog.
  bool (*askSetupPassword)();
};

// The table, or null when the module was built for another brimlet: both
// sides share class layouts, so only the same build stamp may meet.
typedef const BrimletGuiModule* (*BrimletGuiEntry)(const char* buildStamp);
}

namespace brim {

constexpr char kGuiModuleName[] = "brimlet-gui.so";
constexpr char kGuiEntryName[] = "brimlet_gui_module";

struct GuiModuleLoad {
  const BrimletGuiModule* module = nullptr;
  std::string path;     // the file loaded or the one that failed
  std::string failure;  // why there is no module, naming the file(s)
};

// Beside the running program first (a build folder, the installed private
// folder), then the installed private folder for a packaged copy elsewhere.
std::vector<std::string> GuiModuleCandidates(const std::string& exeDir, const std::string& installedDir);

// Loads the first candidate that exists; a broken one is reported, not
// skipped, so that an old module never hides behind a newer one.
GuiModuleLoad LoadGuiModule(const std::vector<std::string>& candidates);

}  // namespace brim
