// JSON text for brimlet's own files (history lines, backup records).
//
// Strings are kept as they are where they are UTF-8; a byte that is not part
// of a valid UTF-8 sequence (a Latin-1 file name, say) is written as the
// escape \udcXX (XX its value), which reads back to the same byte, so every
// path round-trips and every line is valid UTF-8.
#pragma once
#include <map>
#include <string>

namespace brim {

std::string JsonQuoted(const std::string& text);

// A flat object: {"key": "text" | number | true | false | null, ...}. Values
// come back as their text (strings unescaped). False on anything else.
bool ParseFlatJsonObject(const std::string& text, std::map<std::string, std::string>* values);

// The string or number value of a top-level key of one JSON object line
// (keys of nested objects are not looked at); false when it has none.
bool JsonTopLevelValue(const std::string& line, const std::string& key, std::string* value);

}  // namespace brim
