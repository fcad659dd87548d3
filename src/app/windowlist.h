#pragma once
// Every window the reader opens, registered in one place: a new window is one
// entry here and a folder of its own.

#include "app/program.h"
#include "app/reader.h"
#include "app/services.h"
#include "app/windows.h"

namespace sonorel::app {

// What a window is made with. Nothing else of the reader reaches it.
struct WindowContext {
    Services& services;
    Program& program;
    Reader& reader;
};

void registerWindows(Windows& windows, const WindowContext& context);

} // namespace sonorel::app
