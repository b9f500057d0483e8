// Texts read out of a BIOS (version, serial number, date, model) are
// single-byte: shown on a UTF-8 display they are converted byte by byte.
#pragma once
#include <string>

namespace brim {

// Each byte as the Latin-1 character of that value, in UTF-8, so no byte
// is dropped and a line never goes blank. Control characters (C0, DEL, C1)
// become '?': they would draw nothing in a list, and a terminal would act
// on them.
std::string BiosTextToUtf8(const std::string& text);

}  // namespace brim
