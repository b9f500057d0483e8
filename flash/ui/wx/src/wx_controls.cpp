#include "ui/wx_controls.h"

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "ui/color_list_box.h"

namespace brim {

wxWindow* WxControls::Find(int id) const {
  // Only direct children: ids repeat between pages (1007 is on three windows).
  for (wxWindow* child : parent_->GetChildren())
    if (child->GetId() == id) return child;
  return nullptr;
}

void WxControls::SetCheck(int id, bool checked) {
  wxWindow* w = Find(id);
  if (auto* box = dynamic_cast<wxCheckBox*>(w)) {
    box->SetValue(checked);
  } else if (auto* radio = dynamic_cast<wxRadioButton*>(w)) {
    if (checked) {
      radio->SetValue(true);
    } else if (radio->GetValue()) {
      // A radio group always has one member on; the group's hidden last member stands for "none".
      wxRadioButton* last = radio->GetLastInGroup();
      if (last && last != radio) last->SetValue(true);
    }
  }
}

bool WxControls::IsChecked(int id) const {
  wxWindow* w = Find(id);
  if (auto* box = dynamic_cast<wxCheckBox*>(w)) return box->GetValue();
  if (auto* radio = dynamic_cast<wxRadioButton*>(w)) return radio->GetValue();
  return false;
}

void WxControls::Enable(int id, bool enabled) {
  if (wxWindow* w = Find(id)) w->Enable(enabled);
}

bool WxControls::IsEnabled(int id) const {
  wxWindow* w = Find(id);
  return w && w->IsThisEnabled();
}

void WxControls::Show(int id, bool shown) {
  if (wxWindow* w = Find(id)) w->Show(shown);
}

bool WxControls::IsShown(int id) const {
  wxWindow* w = Find(id);
  return w && w->IsShown();
}

void WxControls::SetText(int id, const std::string& text) {
  wxWindow* w = Find(id);
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w))
    edit->ChangeValue(wxString::FromUTF8(text));
  else if (w)
    w->SetLabel(wxString::FromUTF8(text));
}

std::string WxControls::GetText(int id) const {
  wxWindow* w = Find(id);
  if (auto* edit = dynamic_cast<wxTextCtrl*>(w)) return edit->GetValue().utf8_string();
  return w ? w->GetLabel().utf8_string() : std::string();
}

void WxControls::ClearItems(int id) {
  if (auto* list = dynamic_cast<ColorListBox*>(Find(id))) list->Clear();
}

int WxControls::AddItem(int id, const std::string& text) {
  auto* list = dynamic_cast<ColorListBox*>(Find(id));
  return list ? list->InsertMessageLine(-1, text) : -1;
}

int WxControls::ItemCount(int id) const {
  auto* list = dynamic_cast<ColorListBox*>(Find(id));
  return list ? list->LineCount() : 0;
}

std::string WxControls::ItemText(int id, int index) const {
  auto* list = dynamic_cast<ColorListBox*>(Find(id));
  return list && index >= 0 && index < list->LineCount() ? list->Lines().Text(index) : std::string();
}

void WxControls::Select(int id, int index) {
  if (auto* list = dynamic_cast<ColorListBox*>(Find(id))) list->SelectLine(index);
}

int WxControls::Selection(int id) const {
  auto* list = dynamic_cast<ColorListBox*>(Find(id));
  return list ? list->Lines().Selection() : -1;
}

}  // namespace brim
