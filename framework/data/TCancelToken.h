#pragma once

#include "FisDataExport.h"

#include <atomic>

// A request to stop, made from anywhere (a signal handler, the GUI thread, another
// thread) and seen by every read and wait that watches it: the row loops ask
// isCancelled(), a wait on a socket polls fd() beside it. A cancel is never taken back,
// except by reset() before a new run.
class FIS_DATA_EXPORT TCancelToken
{
public:
    TCancelToken();
    ~TCancelToken();
    TCancelToken(const TCancelToken&) = delete;
    TCancelToken& operator=(const TCancelToken&) = delete;

    // Async-signal-safe.
    void cancel() noexcept;
    bool isCancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }
    void reset() noexcept;
    // Readable once cancelled, for poll(); -1 where none could be made.
    int fd() const noexcept { return m_fd; }

    // The process's own: what SIGTERM and SIGINT cancel, and what every statement wait,
    // row read and report run of the process watches.
    static TCancelToken& process();

private:
    std::atomic<bool> m_cancelled{false};
    int m_fd = -1;
};
