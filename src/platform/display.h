#pragma once

namespace sonorel::platform {

// True when a window can be shown: a Qt platform was chosen explicitly, or an X11
// or Wayland display is set. Otherwise prints one line to stderr saying so and how
// to run under Xvfb, and returns false.
bool haveDisplayOrExplain(const char* program); // program = argv[0]

} // namespace sonorel::platform
