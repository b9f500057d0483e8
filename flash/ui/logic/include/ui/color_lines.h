// The lines of a coloured list: every line carries its own text and
// background colour, and a selected line is drawn by the highlight rule.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/info_report.h"

namespace brim {

// Colours as 0x00BBGGRR, the way the lists' records store them.
using ColorRef = uint32_t;
constexpr ColorRef Rgb(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (ColorRef{b} << 16); }
constexpr ColorRef kInfoTextColor = Rgb(0, 0, 125);
constexpr ColorRef kWhite = 0xFFFFFF;

struct SystemColors {
  ColorRef window = kWhite;
  ColorRef windowText = 0;
  ColorRef highlight = Rgb(0, 120, 215);
  ColorRef highlightText = kWhite;
};

// A line's record: -1, text colour, background colour.
struct LineRecord {
  int32_t marker = -1;
  ColorRef text = 0;
  ColorRef back = 0;
};
static_assert(sizeof(LineRecord) == 12, "three 32-bit values per line");

struct LineColors {
  ColorRef text;
  ColorRef back;
};

// The colours a line is drawn in; record may be null (a line added without one).
LineColors DrawColors(const LineRecord* record, bool selected, ColorRef highlight, const SystemColors& system);

// The text and records of one list; the views draw from it.
class ColorLines : public InfoList {
 public:
  explicit ColorLines(const SystemColors& system = SystemColors()) : system_(system), highlight_(system.highlight) {}

  void Clear() override;
  int LineCount() const override { return static_cast<int>(lines_.size()); }
  int AddInfoLine(const std::string& text) override;
  int InsertMessageLine(int index, const std::string& text) override;

  // Returns the previous highlight colour.
  ColorRef SetHighlightColor(ColorRef color);
  ColorRef HighlightColor() const { return highlight_; }

  const std::string& Text(int index) const { return lines_.at(index).text; }
  const LineRecord& Record(int index) const { return lines_.at(index).record; }
  LineColors Colors(int index, bool selected) const;
  // Index of the selected line, -1 for none; indexes out of range select nothing.
  void Select(int index);
  int Selection() const { return selection_; }
  // The longest line's length in characters, for the horizontal extent.
  size_t WidestLine() const { return widest_; }
  const SystemColors& System() const { return system_; }

 private:
  struct Line {
    std::string text;
    LineRecord record;
  };
  int Insert(int index, const std::string& text, ColorRef textColor);
  SystemColors system_;
  ColorRef highlight_;
  std::vector<Line> lines_;
  int selection_ = -1;
  size_t widest_ = 0;
};

}  // namespace brim
