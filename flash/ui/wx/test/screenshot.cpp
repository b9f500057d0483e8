// Screenshots straight from the X server: wx's screen DC hands back its
// first picture again on GTK 3.
#include <wx/image.h>
#include <wx/utils.h>

#include <filesystem>

#include "wx_test_support.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace brim {

void Screenshot(wxWindow* w, const std::string& name) {
  const char* chosen = std::getenv("BRIMLET_SCREENSHOT_DIR");
  const std::string dir = chosen && *chosen ? chosen : SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  // GTK draws on its frame clock: give it a few frames.
  w->Refresh();
  for (int i = 0; i < 25; ++i) {
    Yield(2);
    wxMilliSleep(20);
  }
  const wxRect r = w->GetScreenRect();
  Display* display = XOpenDisplay(nullptr);
  ASSERT_TRUE(display);
  XImage* shot = XGetImage(display, DefaultRootWindow(display), r.x, r.y, r.width, r.height, AllPlanes, ZPixmap);
  ASSERT_TRUE(shot);
  wxImage image(r.width, r.height);
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      const unsigned long p = XGetPixel(shot, x, y);
      image.SetRGB(x, y, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
  XDestroyImage(shot);
  XCloseDisplay(display);
  EXPECT_TRUE(image.SaveFile(dir + "/" + name, wxBITMAP_TYPE_PNG)) << name;
}

}  // namespace brim
