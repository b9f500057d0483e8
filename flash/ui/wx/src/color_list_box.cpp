#include "ui/color_list_box.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/settings.h>

#include <algorithm>

#include "app/bios_text.h"

namespace brim {

namespace {

ColorRef RefOf(const wxColour& c) { return Rgb(c.Red(), c.Green(), c.Blue()); }
wxColour Colour(ColorRef c) { return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
constexpr int kTextMargin = 1;

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
    : wxScrolledCanvas(parent, id, pos, size, wxBORDER_SUNKEN | wxVSCROLL | wxHSCROLL | wxWANTS_CHARS),
      lines_(CurrentSystemColors()) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetBackgroundColour(Colour(lines_.System().window));
  SetScrollRate(GetCharWidth(), LineHeight());
  ShowScrollbars(wxSHOW_SB_DEFAULT, wxSHOW_SB_ALWAYS);
  Bind(wxEVT_PAINT, &ColorListBox::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &ColorListBox::OnLeftDown, this);
  Bind(wxEVT_KEY_DOWN, &ColorListBox::OnKeyDown, this);
}

void ColorListBox::Changed() {
  widest_ = 0;
  wxClientDC dc(this);
  dc.SetFont(GetFont());
  for (int i = 0; i < lines_.LineCount(); ++i) widest_ = std::max(widest_, dc.GetTextExtent(LineText(i)).x);
  SetVirtualSize(widest_ + 2 * kTextMargin, lines_.LineCount() * LineHeight());
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

int ColorListBox::FirstVisibleLine() const {
  int x = 0, y = 0;
  GetViewStart(&x, &y);
  return y;
}

void ColorListBox::ScrollToLine(int index) {
  if (index < 0) return;
  const int shown = std::max(1, GetClientSize().y / LineHeight());
  const int first = FirstVisibleLine();
  if (index < first)
    Scroll(-1, index);
  else if (index >= first + shown)
    Scroll(-1, index - shown + 1);
}

void ColorListBox::SelectLine(int index) {
  lines_.Select(index);
  ScrollToLine(lines_.Selection());
  Refresh();
}

void ColorListBox::OnLeftDown(wxMouseEvent& event) {
  SetFocus();
  const wxPoint at = CalcUnscrolledPosition(event.GetPosition());
  const int line = at.y / LineHeight();
  if (line >= 0 && line < lines_.LineCount()) SelectLine(line);
  event.Skip();
}

void ColorListBox::OnKeyDown(wxKeyEvent& event) {
  const int count = lines_.LineCount(), now = lines_.Selection();
  const int page = std::max(1, GetClientSize().y / LineHeight());
  int to;
  switch (event.GetKeyCode()) {
    case WXK_UP: to = now - 1; break;
    case WXK_DOWN: to = now + 1; break;
    case WXK_PAGEUP: to = now - page; break;
    case WXK_PAGEDOWN: to = now + page; break;
    case WXK_HOME: to = 0; break;
    case WXK_END: to = count - 1; break;
    default: event.Skip(); return;
  }
  if (count > 0) SelectLine(std::clamp(to, 0, count - 1));
}

void ColorListBox::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  DoPrepareDC(dc);
  const wxSize client = GetClientSize();
  const wxPoint origin = CalcUnscrolledPosition(wxPoint(0, 0));
  const int width = std::max(client.x + origin.x, widest_ + 2 * kTextMargin);
  dc.SetBrush(wxBrush(Colour(lines_.System().window)));
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.DrawRectangle(origin.x, origin.y, client.x, client.y);
  const int h = LineHeight();
  const int first = origin.y / h;
  const int last = std::min(lines_.LineCount(), (origin.y + client.y) / h + 1);
  dc.SetFont(GetFont());
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  for (int n = first; n < last; ++n) {
    const LineColors c = lines_.Colors(n, n == lines_.Selection());
    dc.SetBrush(wxBrush(Colour(c.back)));
    dc.DrawRectangle(0, n * h, width, h);
    dc.SetTextForeground(Colour(c.text));
    dc.DrawText(LineText(n), kTextMargin, n * h + (h - dc.GetCharHeight()) / 2);
  }
}

wxString ColorListBox::LineText(int index) const {
  return wxString::FromUTF8(BiosTextToUtf8(lines_.Text(index)));
}

}  // namespace brim
