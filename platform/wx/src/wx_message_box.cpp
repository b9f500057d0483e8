#include "platform/wx_message_box.h"

#include <wx/app.h>

#include "platform/wx_box_dialog.h"

namespace plat {

int WxMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
  wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  if (owner && !owner->IsShown()) owner = nullptr;
  WxBoxDialog box(owner, text, caption, flags);
  box.ShowModal();
  return box.Answer();
}

}  // namespace plat
