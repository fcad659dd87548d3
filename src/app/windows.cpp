#include "app/windows.h"

#include <optional>
#include <QDebug>

namespace sonorel::app {

std::optional<WindowId> windowIdFromName(const QString& name) {
    static const QHash<QString, WindowId> names = {
        {"howto", WindowId::HowTo},
        {"mp3end", WindowId::Mp3End},
        {"clocksettings", WindowId::ClockSettings},
        {"about", WindowId::About},
        {"update", WindowId::Update},
        {"converter", WindowId::Converter},
        {"converterend", WindowId::ConverterEnd},
        {"batch", WindowId::Batch},
        {"slides", WindowId::Slides},
        {"quickmenu", WindowId::QuickMenu},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return *it;
}

Windows::~Windows() {
    for (const QPointer<QWidget>& window : std::as_const(m_open))
        delete window.data();
}

void Windows::registerWindow(WindowId id, Factory factory) {
    m_factories.insert(id, std::move(factory));
}

bool Windows::show(WindowId id) {
    QWidget* window = find(id);
    if (!window) {
        const auto factory = m_factories.value(id);
        if (!factory) {
            qInfo() << "window" << int(id) << "is not part of this build";
            return false;
        }
        window = factory();
        window->setAttribute(Qt::WA_DeleteOnClose);
        m_open.insert(id, window);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

QWidget* Windows::find(WindowId id) const {
    return m_open.value(id).data();
}

bool Windows::isOpen(WindowId id) const {
    return find(id) != nullptr;
}

void Windows::unloadAll(const std::function<void()>& closeMain) {
    // Empty: the main window's turn.
    const std::optional<WindowId> order[] = {
        WindowId::HowTo, WindowId::Mp3End, WindowId::ClockSettings, WindowId::About,
        std::nullopt,    WindowId::Update, WindowId::Converter,     WindowId::ConverterEnd,
        WindowId::Batch, WindowId::Slides, WindowId::QuickMenu,
    };
    for (const std::optional<WindowId>& id : order) {
        if (id)
            unload(*id);
        else
            closeMain();
    }
}

void Windows::unload(WindowId id) {
    if (QWidget* window = find(id)) {
        window->close();
        delete window;
    }
    m_open.remove(id);
}

} // namespace sonorel::app
