// DialogControls over the wx child windows of one page or dialog.
#pragma once
#include <wx/window.h>

#include "platform/dialog_controls.h"

namespace brim {

class WxControls : public plat::DialogControls {
 public:
  explicit WxControls(wxWindow* parent) : parent_(parent) {}

  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) const override;
  void Show(int id, bool shown) override;
  bool IsShown(int id) const override;
  void SetText(int id, const std::string& text) override;
  std::string GetText(int id) const override;
  void ClearItems(int id) override;
  int AddItem(int id, const std::string& text) override;
  int ItemCount(int id) const override;
  std::string ItemText(int id, int index) const override;
  void Select(int id, int index) override;
  int Selection(int id) const override;

 private:
  wxWindow* Find(int id) const;
  wxWindow* parent_;
};

}  // namespace brim
