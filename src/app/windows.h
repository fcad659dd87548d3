#pragma once
// The one place through which the reader opens its other windows and unloads
// them at the end. A window registers how it is made; until then opening it does
// nothing (and says so in the log).

#include <functional>
#include <optional>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace sonorel::app {

enum class WindowId {
    HowTo,  // help and office macros
    Mp3End, // speech saved as MP3
    ClockSettings,
    About,
    Update,
    Converter, // WAV to MP3
    ConverterEnd,
    Batch,
    Slides,
    QuickMenu,
};

// The window a lower-case name stands for ("slides", "clocksettings"), as the
// SONOREL_OPEN variable names it; nothing for any other name.
std::optional<WindowId> windowIdFromName(const QString& name);

class Windows final {
public:
    using Factory = std::function<QWidget*()>;
    ~Windows(); // deletes the windows still open

    void registerWindow(WindowId id, Factory factory);
    // Shows the window (made on first use), not modal. False when none is registered.
    bool show(WindowId id);
    QWidget* find(WindowId id) const;
    bool isOpen(WindowId id) const;
    // Closes and deletes the window if it exists.
    void unload(WindowId id);
    // Unloads every window at the end of the program, in the one order: the
    // small windows, then the main window (`closeMain`), then the tool windows.
    void unloadAll(const std::function<void()>& closeMain);

private:
    QHash<WindowId, Factory> m_factories;
    QHash<WindowId, QPointer<QWidget>> m_open;
};

} // namespace sonorel::app
