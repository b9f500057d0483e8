#include "ui/brimlet_art.h"

#include <wx/dcmemory.h>

namespace brim {

namespace {

// A flash chip: a dark body with pins and a bright notch.
void DrawChip(wxDC& dc, int x, int y, int size) {
  const int pin = size / 8;
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(wxColour(200, 170, 60)));
  for (int i = 0; i < 4; ++i) {
    const int at = y + size / 5 + i * (size * 3 / 16);
    dc.DrawRectangle(x, at, pin, pin);
    dc.DrawRectangle(x + size - pin, at, pin, pin);
  }
  dc.SetBrush(wxBrush(wxColour(30, 40, 90)));
  dc.DrawRoundedRectangle(x + pin, y + size / 8, size - 2 * pin, size * 3 / 4, size / 16 + 1);
  dc.SetBrush(wxBrush(wxColour(120, 200, 255)));
  dc.DrawCircle(x + size / 3, y + size / 4 + 1, size / 14 + 1);
}

}  // namespace

wxBitmap AppIconBitmap() {
  wxBitmap bmp(32, 32);
  wxMemoryDC dc(bmp);
  dc.SetBackground(wxBrush(wxColour(236, 236, 236)));
  dc.Clear();
  DrawChip(dc, 0, 0, 32);
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

wxIcon AppIcon() {
  wxIcon icon;
  icon.CopyFromBitmap(AppIconBitmap());
  return icon;
}

wxBitmap LogoBitmap() {
  wxBitmap bmp(512, 384);
  wxMemoryDC dc(bmp);
  dc.GradientFillLinear(wxRect(0, 0, 512, 384), wxColour(20, 30, 80), wxColour(70, 110, 190), wxSOUTH);
  DrawChip(dc, 40, 112, 160);
  dc.SetTextForeground(*wxWHITE);
  dc.SetFont(wxFont(40, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
  dc.DrawText("Brimlet", 230, 140);
  dc.SetFont(wxFont(14, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
  dc.DrawText("BIOS flash utility  V1.05.08", 232, 210);
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

}  // namespace brim
