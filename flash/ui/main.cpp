// brimlet's entry point: chooses the user interface and runs the start-up.
#include "app/brimlet_host.h"
#include "app/terminal_ui.h"

int main(int argc, char** argv) {
  brim::TerminalUi ui;
  return brim::BrimletMain(argc, argv, ui);
}
