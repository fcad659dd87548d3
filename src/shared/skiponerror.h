#pragma once
// Most handlers run a list of steps where a failing step is skipped and the next
// one runs. A step fails by throwing; nothing thrown ever leaves the handler.

#include <exception>
#include <QDebug>
#include <utility>

namespace sonorel {

// Runs `step`; returns false (and logs `what`) when it threw.
template <class Step> bool skipOnError(const char* what, Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << "skipped step" << what << ":" << e.what();
    } catch (...) {
        qWarning().noquote() << "skipped step" << what;
    }
    return false;
}

// A step that fails without an exception of its own (a call returning false)
// says so with this.
class StepFailed final : public std::exception {
public:
    explicit StepFailed(const char* why) : m_why(why) {}
    const char* what() const noexcept override { return m_why; }

private:
    const char* m_why;
};

inline void require(bool ok, const char* why) {
    if (!ok)
        throw StepFailed(why);
}

} // namespace sonorel
