// A list whose every line carries its own colours (the General page's lists).
#pragma once
#include <wx/vlbox.h>

#include "ui/color_lines.h"

namespace brim {

class ColorListBox : public wxVListBox, public InfoList {
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

  static SystemColors CurrentSystemColors();

 private:
  void OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const override;
  void OnDrawBackground(wxDC& dc, const wxRect& rect, size_t n) const override;
  wxCoord OnMeasureItem(size_t n) const override;
  void Changed();
  void OnSelected(wxCommandEvent& event);

  ColorLines lines_;
};

}  // namespace brim
