#include "tavrin_ui/wx_dialog_controls.h"

#include <wx/checkbox.h>
#include <wx/ctrlsub.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/combobox.h>

namespace tavrin_ui {

namespace {
wxString Wx(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string Std(const wxString& s) { return std::string(s.utf8_str()); }
}  // namespace

void WxDialogControls::SetCheck(int id, bool checked) {
  wxWindow* w = Find(id);
  if (auto* r = dynamic_cast<wxRadioButton*>(w)) r->SetValue(checked);
  else if (auto* c = dynamic_cast<wxCheckBox*>(w)) c->SetValue(checked);
}

bool WxDialogControls::IsChecked(int id) const {
  wxWindow* w = Find(id);
  if (auto* r = dynamic_cast<wxRadioButton*>(w)) return r->GetValue();
  if (auto* c = dynamic_cast<wxCheckBox*>(w)) return c->GetValue();
  return false;
}

void WxDialogControls::Enable(int id, bool enabled) {
  if (wxWindow* w = Find(id)) w->Enable(enabled);
}

bool WxDialogControls::IsEnabled(int id) const {
  wxWindow* w = Find(id);
  return w && w->IsThisEnabled();
}

void WxDialogControls::Show(int id, bool shown) {
  if (wxWindow* w = Find(id)) w->Show(shown);
}

bool WxDialogControls::IsShown(int id) const {
  wxWindow* w = Find(id);
  return w && w->IsShown();
}

void WxDialogControls::SetText(int id, const std::string& text) {
  wxWindow* w = Find(id);
  if (auto* cb = dynamic_cast<wxComboBox*>(w)) cb->SetValue(Wx(text));
  else if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
    // The whole line is replaced: only the latest text shows.
    t->ChangeValue(Wx(text));
    t->SetInsertionPointEnd();
  } else if (w) {
    w->SetLabel(Wx(text));
  }
}

std::string WxDialogControls::GetText(int id) const {
  wxWindow* w = Find(id);
  if (auto* cb = dynamic_cast<wxComboBox*>(w)) return Std(cb->GetValue());
  if (auto* t = dynamic_cast<wxTextCtrl*>(w)) return Std(t->GetValue());
  return w ? Std(w->GetLabel()) : std::string();
}

void WxDialogControls::ClearItems(int id) {
  if (auto* c = dynamic_cast<wxItemContainer*>(Find(id))) {
    // Clearing a combo box's list keeps its edit text, as CB_RESETCONTENT does.
    auto* cb = dynamic_cast<wxComboBox*>(Find(id));
    wxString keep = cb ? cb->GetValue() : wxString();
    c->Clear();
    if (cb) cb->SetValue(keep);
  }
}

int WxDialogControls::AddItem(int id, const std::string& text) {
  auto* c = dynamic_cast<wxItemContainer*>(Find(id));
  return c ? c->Append(Wx(text)) : -1;
}

int WxDialogControls::ItemCount(int id) const {
  auto* c = dynamic_cast<wxItemContainer*>(Find(id));
  return c ? static_cast<int>(c->GetCount()) : 0;
}

std::string WxDialogControls::ItemText(int id, int index) const {
  auto* c = dynamic_cast<wxItemContainer*>(Find(id));
  if (!c || index < 0 || index >= static_cast<int>(c->GetCount())) return std::string();
  return Std(c->GetString(static_cast<unsigned>(index)));
}

void WxDialogControls::Select(int id, int index) {
  if (auto* c = dynamic_cast<wxItemContainer*>(Find(id))) c->SetSelection(index);
}

int WxDialogControls::Selection(int id) const {
  auto* c = dynamic_cast<wxItemContainer*>(Find(id));
  return c ? c->GetSelection() : -1;
}

}  // namespace tavrin_ui
