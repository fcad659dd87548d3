#pragma once
// Makes real file writes fail, even for root (permissions do not stop root):
// while an instance lives, the process may not grow any file beyond `maxBytes`.
// Writes past it fail with EFBIG instead of raising SIGXFSZ.

#include <csignal>
#include <sys/resource.h>

namespace sonorel::test {

class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t maxBytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = maxBytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace sonorel::test
