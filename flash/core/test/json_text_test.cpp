#include "core/json_text.h"

#include <gtest/gtest.h>

namespace brim {
namespace {

// Every string, UTF-8 or not, is written as valid UTF-8 JSON and reads back
// to the same bytes.
TEST(JsonText, EveryStringRoundTripsThroughValidUtf8) {
  const struct {
    std::string text, json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"/tmp/b\xC3\xAFos", "\"/tmp/b\xC3\xAFos\""},  // UTF-8 as it is
      {"/tmp/b\xEFos", "\"/tmp/b\\udcefos\""},        // a Latin-1 byte, escaped reversibly
      {"\xE2\x82", "\"\\udce2\\udc82\""},             // a cut sequence
      {"q\"b\\\n\t\x01", "\"q\\\"b\\\\\\n\\t\\u0001\""},
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonQuoted(c.text), c.json);
    std::map<std::string, std::string> values;
    ASSERT_TRUE(ParseFlatJsonObject("{\"k\":" + c.json + ",\"n\":12}", &values)) << c.json;
    EXPECT_EQ(values["k"], c.text);
    EXPECT_EQ(values["n"], "12");
  }
  std::map<std::string, std::string> values;
  EXPECT_TRUE(ParseFlatJsonObject("{\"e\":\"\\u00e9\\ud83d\\ude00\"}", &values));
  EXPECT_EQ(values["e"], "\xC3\xA9\xF0\x9F\x98\x80");
  for (const char* bad : {"", "{", "{\"a\":}", "{\"a\":\"x\"", "{\"a\":{}}", "{\"a\":\"\\ud800\"}",
                          "{\"a\":\"x\"} trailing", "{\"a\":\"\\q\"}"})
    EXPECT_FALSE(ParseFlatJsonObject(bad, &values)) << bad;
}

TEST(JsonText, TopLevelValuesOnly) {
  const std::string line =
      "{\"time\":\"T\",\"old\":{\"version\":\"inner\",\"x\":[1,{\"a\":2}]},\"version\":\"outer\","
      "\"exitStatus\":5}";
  std::string v;
  ASSERT_TRUE(JsonTopLevelValue(line, "version", &v));
  EXPECT_EQ(v, "outer");
  ASSERT_TRUE(JsonTopLevelValue(line, "exitStatus", &v));
  EXPECT_EQ(v, "5");
  EXPECT_FALSE(JsonTopLevelValue(line, "a", &v));
  EXPECT_FALSE(JsonTopLevelValue("{\"time\":", "time", &v));
}

}  // namespace
}  // namespace brim
