// Whether the automatic load of the window's first paint has an image to
// read. An installed brimlet or one started from a menu carries no package
// and names no /F: file: its window is then for the buttons only.
#pragma once
#include <string>

namespace brim {

// True only when the file was read to its end and holds no package header
// ("HOLB" "RIKE"); a file that cannot be read is left to the loader, which
// reports it.
bool FileLacksPackage(const std::string& path);

// False when neither a /F: file nor an FTP file is named and the program
// file holds no package.
bool AutomaticImageAvailable();

}  // namespace brim
