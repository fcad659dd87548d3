#include "app/windowlist.h"

#include "about/aboutsonorel.h"
#include "batch/batchtext2sound.h"
#include "clock/setmyclock.h"
#include "export/mp3end.h"
#include "help/howto.h"
#include "mp3conv/wavtomp3.h"
#include "quickmenu/sorelmenu.h"
#include "shared/elapsed.h"
#include "slides/slidereadaloud.h"
#include "update/updatewin.h"

namespace sonorel::app {

void registerWindows(Windows& windows, const WindowContext& c) {
    // The finish notice of a speech export reads the values as they are when it
    // opens.
    windows.registerWindow(WindowId::Mp3End, [c] {
        const Program& p = c.program;
        return new exporting::mp3end({p.RecTarget,
                                      elapsedText(p.RecStart.secsTo(c.services.clock.now())),
                                      p.RecVoice, p.RecRate, p.RecPitch},
                                     c.services.shell);
    });
    windows.registerWindow(WindowId::Batch, [c] {
        return new batch::BatchText2Sound(c.services, c.program, c.reader);
    });
    mp3conv::registerConverter(windows, c.services);
    windows.registerWindow(WindowId::ClockSettings,
                           [c] { return new clock::setmyclock(c.services, c.program, c.reader); });
    windows.registerWindow(WindowId::Slides, [c] {
        return new slides::SlideReadAloud(c.services, c.program, c.reader);
    });
    windows.registerWindow(WindowId::HowTo, [c] { return new help::howto(c.services); });
    windows.registerWindow(WindowId::QuickMenu, [c, &windows] {
        return new quickmenu::sorelMenu(c.services, c.program, c.reader, windows);
    });
    windows.registerWindow(WindowId::About, [c] { return new about::AboutSonorel(c.services); });
    update::registerUpdate(windows, c.services, c.program, c.reader);
}

} // namespace sonorel::app
