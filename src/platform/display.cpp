#include "platform/display.h"

#include <cstdio>
#include <cstdlib>

namespace sonorel::platform {

namespace {
bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
} // namespace

bool haveDisplayOrExplain(const char* program) {
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return true;
    std::fprintf(stderr,
                 "%s: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                 "to run without a screen use: xvfb-run -a %s\n",
                 program, program);
    return false;
}

} // namespace sonorel::platform
