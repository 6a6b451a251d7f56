#include "TCancelToken.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

TCancelToken::TCancelToken() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

TCancelToken::~TCancelToken()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TCancelToken::cancel() noexcept
{
    m_cancelled.store(true, std::memory_order_relaxed);
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
    }
}

void TCancelToken::reset() noexcept
{
    m_cancelled.store(false, std::memory_order_relaxed);
    if (m_fd >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
    }
}

TCancelToken& TCancelToken::process()
{
    // Never destroyed: a signal may come while static objects are torn down.
    static TCancelToken* token = new TCancelToken;
    return *token;
}
