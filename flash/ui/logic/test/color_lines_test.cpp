// Coloured list lines, the highlight rule and the lists' small helpers.
#include <gtest/gtest.h>

#include "ui/browse_filter.h"
#include "ui/color_lines.h"
#include "ui/power_broadcast.h"
#include "ui/progress_text.h"

namespace brim {
namespace {

SystemColors Grey() {
  SystemColors s;
  s.window = Rgb(240, 240, 240);
  s.windowText = Rgb(10, 10, 10);
  s.highlight = Rgb(0, 0, 200);
  s.highlightText = kWhite;
  return s;
}

TEST(ColorLines, InfoAndMessageLinesCarryTheirColours) {
  ColorLines list(Grey());
  EXPECT_EQ(list.AddInfoLine("info"), 0);
  EXPECT_EQ(list.InsertMessageLine(-1, "message"), 1);
  EXPECT_EQ(list.InsertMessageLine(0, "first"), 0);
  EXPECT_EQ(list.Text(1), "info");
  EXPECT_EQ(list.Record(1).marker, -1);
  EXPECT_EQ(list.Record(1).text, kInfoTextColor);
  EXPECT_EQ(list.Record(1).back, Grey().window);
  EXPECT_EQ(list.Record(2).text, Grey().windowText);
  EXPECT_EQ(list.InsertMessageLine(99, "past the end appends"), 3);
}

TEST(ColorLines, WhiteHighlightHidesSelectionOfInfoLines) {
  ColorLines list(Grey());
  list.AddInfoLine("info");
  EXPECT_EQ(list.SetHighlightColor(kWhite), Grey().highlight);
  const LineColors c = list.Colors(0, true);
  EXPECT_EQ(c.text, kInfoTextColor);
  EXPECT_EQ(c.back, kWhite);
}

TEST(ColorLines, SystemHighlightInvertsWindowTextLines) {
  ColorLines list(Grey());
  list.InsertMessageLine(-1, "status");
  list.AddInfoLine("info");
  EXPECT_EQ(list.Colors(0, true).text, kWhite);
  EXPECT_EQ(list.Colors(0, true).back, Grey().highlight);
  EXPECT_EQ(list.Colors(1, true).text, kInfoTextColor) << "own text colour kept on the highlight";
  EXPECT_EQ(list.Colors(0, false).back, Grey().window);
}

TEST(ColorLines, LineWithoutRecordUsesSystemColours) {
  const LineColors c = DrawColors(nullptr, false, Grey().highlight, Grey());
  EXPECT_EQ(c.text, Grey().windowText);
  EXPECT_EQ(c.back, Grey().window);
}

TEST(ColorLines, SelectionFollowsInsertsAndIgnoresBadIndexes) {
  ColorLines list;
  list.AddInfoLine("a");
  list.AddInfoLine("b");
  list.Select(1);
  list.InsertMessageLine(0, "top");
  EXPECT_EQ(list.Selection(), 2);
  list.Select(7);
  EXPECT_EQ(list.Selection(), -1);
  list.Clear();
  EXPECT_EQ(list.LineCount(), 0);
  EXPECT_EQ(list.WidestLine(), 3u) << "the extent never shrinks, as a list box's does not";
}

TEST(PowerBroadcast, SuspendRefusedOnlyWhileProgramming) {
  EXPECT_EQ(PowerBroadcastAnswer(kPbtApmQuerySuspend, true), kBroadcastQueryDeny);
  EXPECT_FALSE(PowerBroadcastAnswer(kPbtApmQuerySuspend, false).has_value());
  EXPECT_FALSE(PowerBroadcastAnswer(7 /* resume */, true).has_value());
}

TEST(BrowseFilter, QuorvelOffersRomAndQzwOthersBin) {
  EXPECT_EQ(BrowseFilter(true), "ROMFiles (*.rom) | *.rom|QZWFiles (*.qzw) | *.qzw||");
  EXPECT_EQ(BrowseFilter(false), "BINFiles (*.bin) | *.bin||");
  const std::vector<FilterEntry> q = ParseFilter(BrowseFilter(true));
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(q[0].description, "ROMFiles (*.rom)");
  EXPECT_EQ(q[0].pattern, "*.rom");
  EXPECT_EQ(q[1].pattern, "*.qzw");
  ASSERT_EQ(ParseFilter(BrowseFilter(false)).size(), 1u);
  EXPECT_TRUE(ParseFilter("no bars").empty());
}

TEST(ProgressText, PercentOfTheBarAndElapsedMinutes) {
  EXPECT_EQ(ProgressText(0, 20000, 0), "0 %  0:00");
  EXPECT_EQ(ProgressText(16000, 20000, 65), "80 %  1:05");
  EXPECT_EQ(ProgressText(20000, 20000, 3599), "100 %  59:59");
  EXPECT_EQ(ProgressText(19999, 20000, 600), "99 %  10:00") << "100 % only when the bar is full";
  EXPECT_EQ(ProgressText(25000, 20000, -3), "100 %  0:00") << "clamped";
  EXPECT_EQ(ProgressText(-5, 20000, 7), "0 %  0:07");
  EXPECT_EQ(ElapsedText(65), "1:05") << "no number while the driver cannot tell";
  EXPECT_EQ(ElapsedText(-2), "0:00");
}

}  // namespace
}  // namespace brim
