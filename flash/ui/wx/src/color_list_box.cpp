#include "ui/color_list_box.h"

#include <wx/dc.h>
#include <wx/settings.h>

#include "app/bios_text.h"

namespace brim {

namespace {

ColorRef RefOf(const wxColour& c) { return Rgb(c.Red(), c.Green(), c.Blue()); }
wxColour Colour(ColorRef c) { return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

SystemColors ColorListBox::CurrentSystemColors() {
  SystemColors s;
  s.window = RefOf(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
  s.windowText = RefOf(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
  s.highlight = RefOf(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT));
  s.highlightText = RefOf(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT));
  return s;
}

ColorListBox::ColorListBox(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size)
    : wxVListBox(parent, id, pos, size, wxBORDER_SUNKEN | wxVSCROLL), lines_(CurrentSystemColors()) {
  SetBackgroundColour(Colour(lines_.System().window));
  Bind(wxEVT_LISTBOX, &ColorListBox::OnSelected, this);
}

void ColorListBox::Changed() {
  SetItemCount(lines_.LineCount());
  SetSelection(lines_.Selection());
  Refresh();
}

void ColorListBox::Clear() {
  lines_.Clear();
  Changed();
}

int ColorListBox::AddInfoLine(const std::string& text) {
  const int at = lines_.AddInfoLine(text);
  Changed();
  return at;
}

int ColorListBox::InsertMessageLine(int index, const std::string& text) {
  const int at = lines_.InsertMessageLine(index, text);
  Changed();
  return at;
}

ColorRef ColorListBox::SetHighlightColor(ColorRef color) {
  const ColorRef previous = lines_.SetHighlightColor(color);
  Refresh(true);
  return previous;
}

void ColorListBox::SelectLine(int index) {
  lines_.Select(index);
  SetSelection(lines_.Selection());
  if (lines_.Selection() >= 0) ScrollToRow(lines_.Selection());
  Refresh();
}

void ColorListBox::OnSelected(wxCommandEvent& event) {
  lines_.Select(GetSelection());
  event.Skip();
}

void ColorListBox::OnDrawBackground(wxDC& dc, const wxRect& rect, size_t n) const {
  const LineColors c = lines_.Colors(static_cast<int>(n), IsSelected(n));
  dc.SetBrush(wxBrush(Colour(c.back)));
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.DrawRectangle(rect);
}

void ColorListBox::OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const {
  if (n >= static_cast<size_t>(lines_.LineCount())) return;
  const LineColors c = lines_.Colors(static_cast<int>(n), IsSelected(n));
  const wxColour previous = dc.GetTextForeground();
  dc.SetTextForeground(Colour(c.text));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  const wxString text = LineText(static_cast<int>(n));
  const wxCoord h = dc.GetCharHeight();
  dc.DrawText(text, rect.x + 1, rect.y + (rect.height - h) / 2);
  dc.SetTextForeground(previous);
}

wxString ColorListBox::LineText(int index) const {
  return wxString::FromUTF8(BiosTextToUtf8(lines_.Text(index)));
}

wxCoord ColorListBox::OnMeasureItem(size_t) const { return GetCharHeight() + 2; }

}  // namespace brim
