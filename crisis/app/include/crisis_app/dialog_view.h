// What the main dialog's window does beyond its controls: progress bar,
// cursor, focus, repaint, ending, and the small dialogs it opens.
#pragma once
#include <string>

namespace crisis {

class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgress(int pos) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void RedrawNow() = 0;
  virtual void SetFocus(int controlId) = 0;
  // Ends the dialog and with it the program.
  virtual void EndDialog(int exitCode) = 0;
  // The folder chooser: on OK, fileName is a file "Junk" in the chosen folder.
  virtual bool ChooseFolder(const std::string& initialFolder, std::string& fileName) = 0;
  virtual void ShowAbout() = 0;
};

// A view that does nothing visible, for the batch command and tests.
class NullDialogView : public DialogView {
 public:
  void SetProgressRange(int, int) override {}
  void SetProgress(int) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void RedrawNow() override {}
  void SetFocus(int) override {}
  void EndDialog(int) override {}
  bool ChooseFolder(const std::string&, std::string&) override { return false; }
  void ShowAbout() override {}
};

}  // namespace crisis
