#include "orviDisplay.h"

#include <cstdlib>

#ifdef ORVI_VIEWER_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace orvi
{

bool CanOpenWindow(std::string& error)
{
  const char* name = std::getenv("DISPLAY");
  const bool named = name && *name;
#ifdef ORVI_VIEWER_HAVE_X11
  if (Display* display = XOpenDisplay(nullptr))
  {
    XCloseDisplay(display);
    return true;
  }
  error = named ? "cannot connect to the X display '" + std::string(name) + "'"
                : std::string("no X display (DISPLAY is not set)");
#else
  if (named)
  {
    return true;
  }
  error = "no X display (DISPLAY is not set)";
#endif
  error += "; every mode, --screenshot and --script included, renders into a window: "
           "run under an X server such as xvfb-run";
  return false;
}

} // namespace orvi
