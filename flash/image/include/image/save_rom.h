// Saving the BIOS that is in the machine into a plain image file.
#pragma once
#include <string>

namespace brim {

// Writes the current ROM image's bytes to `path`, replacing the file, and
// reports the outcome in a box and the message list. False on any failure,
// also when the ROM has not been read (then without a message).
bool WriteRomFile(const std::string& path);

// The "Save ROM BIOS to File" action: asks for the name through the load
// host's file-name dialog, then WriteRomFile. Nothing happens on cancel.
void SaveRomToFile();

}  // namespace brim
