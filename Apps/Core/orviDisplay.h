// Whether orvi-viewer can open its window at all.
#ifndef orviDisplay_h
#define orviDisplay_h

#include <string>

namespace orvi
{

/// VTK's X11 render window aborts the whole process when it cannot reach an
/// X server, so the viewer looks first. Every mode opens a window, the
/// headless ones (--screenshot, --script) included. Returns false with a
/// message naming the problem and the way out (an X server such as Xvfb).
bool CanOpenWindow(std::string& error);

} // namespace orvi

#endif
