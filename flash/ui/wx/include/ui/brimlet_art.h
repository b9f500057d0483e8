// Brimlet's own pictures: the application icon (128) and the logo (138).
#pragma once
#include <wx/bitmap.h>
#include <wx/icon.h>

namespace brim {

wxIcon AppIcon();
wxBitmap AppIconBitmap();
// 512 x 384 pixels.
wxBitmap LogoBitmap();

}  // namespace brim
