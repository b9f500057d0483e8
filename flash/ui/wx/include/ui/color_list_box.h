// A list whose every line carries its own colours (the General page's lists).
// It scrolls both ways: a backup path must be readable to its end.
#pragma once
#include <wx/scrolwin.h>

#include "ui/color_lines.h"

namespace brim {

class ColorListBox : public wxScrolledCanvas, public InfoList {
 public:
  ColorListBox(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size);

  // InfoList
  void Clear() override;
  int LineCount() const override { return lines_.LineCount(); }
  int AddInfoLine(const std::string& text) override;
  int InsertMessageLine(int index, const std::string& text) override;

  ColorRef SetHighlightColor(ColorRef color);
  void SelectLine(int index);
  const ColorLines& Lines() const { return lines_; }
  // A line as drawn: BIOS texts are single-byte, so never FromUTF8 alone.
  wxString LineText(int index) const;
  // The first line shown at the top.
  int FirstVisibleLine() const;

  static SystemColors CurrentSystemColors();

 private:
  int LineHeight() const { return GetCharHeight() + 2; }
  void Changed();
  void ScrollToLine(int index);
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);

  ColorLines lines_;
  int widest_ = 0;  // pixels of the widest line
};

}  // namespace brim
