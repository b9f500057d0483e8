#include "ui/color_lines.h"

namespace brim {

LineColors DrawColors(const LineRecord* record, bool selected, ColorRef highlight, const SystemColors& system) {
  LineColors c{record ? record->text : system.windowText, record ? record->back : system.window};
  if (selected) {
    c.back = highlight;
    if (highlight == system.highlight && c.text == system.windowText) c.text = system.highlightText;
  }
  return c;
}

void ColorLines::Clear() {
  lines_.clear();
  selection_ = -1;
}

int ColorLines::Insert(int index, const std::string& text, ColorRef textColor) {
  if (index < 0 || index > LineCount()) index = LineCount();
  LineRecord record;
  record.text = textColor;
  record.back = system_.window;
  lines_.insert(lines_.begin() + index, Line{text, record});
  if (selection_ >= index) ++selection_;
  if (text.size() > widest_) widest_ = text.size();
  return index;
}

int ColorLines::AddInfoLine(const std::string& text) { return Insert(-1, text, kInfoTextColor); }

int ColorLines::InsertMessageLine(int index, const std::string& text) {
  return Insert(index, text, system_.windowText);
}

ColorRef ColorLines::SetHighlightColor(ColorRef color) {
  const ColorRef previous = highlight_;
  highlight_ = color;
  return previous;
}

LineColors ColorLines::Colors(int index, bool selected) const {
  const LineRecord* record = index >= 0 && index < LineCount() ? &lines_[index].record : nullptr;
  return DrawColors(record, selected, highlight_, system_);
}

void ColorLines::Select(int index) { selection_ = index >= 0 && index < LineCount() ? index : -1; }

}  // namespace brim
