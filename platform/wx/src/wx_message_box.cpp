#include "platform/wx_message_box.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <future>

#include "platform/wx_box_dialog.h"

namespace plat {

int WxMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
  // A driver request that fails on the worker (programming, read-back)
  // reports from that thread: the box is made by the thread that owns the
  // windows, which keeps pumping while the worker runs, and the worker waits.
  if (!wxThread::IsMain() && wxTheApp) {
    std::promise<int> answer;
    std::future<int> given = answer.get_future();
    wxTheApp->CallAfter([&] { answer.set_value(Show(text, caption, flags)); });
    return given.get();
  }
  wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  if (owner && !owner->IsShown()) owner = nullptr;
  WxBoxDialog box(owner, text, caption, flags);
  box.ShowModal();
  return box.Answer();
}

}  // namespace plat
