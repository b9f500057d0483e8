// Placing controls by the dialog-unit rectangles of the window templates.
#pragma once
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

namespace brim {

// The templates' 8-point font.
inline wxFont TemplateFont() { return wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL); }

inline wxPoint DuPoint(wxWindow* w, int x, int y) { return w->ConvertDialogToPixels(wxPoint(x, y)); }
inline wxSize DuSize(wxWindow* w, int cx, int cy) { return w->ConvertDialogToPixels(wxSize(cx, cy)); }

}  // namespace brim
