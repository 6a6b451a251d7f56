#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// A stage of a report run on a thread of its own beside the caller's, the two joined by a
// bounded queue: the rows read while the pages are laid out, a page compressed and written
// while the next is drawn. The queue's bound keeps memory flat however long the report.
// The stage either fills the queue (push, then end) or empties it (pop); what it throws
// ends the queue and comes back to the caller from join.
template <typename Item> class TReportPipeline
{
public:
    explicit TReportPipeline(size_t capacity) : m_capacity(capacity) {}
    ~TReportPipeline()
    {
        stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    TReportPipeline(const TReportPipeline&) = delete;
    TReportPipeline& operator=(const TReportPipeline&) = delete;

    // FIS_REPORT_THREADS=1 runs every stage on the caller's thread, as the engine once did:
    // the figure a benchmark compares with, and the output the tests compare with.
    static bool threaded() { return qEnvironmentVariableIntValue("FIS_REPORT_THREADS") != 1; }

    void start(std::function<void()> stage)
    {
        m_thread = std::thread([this, stage = std::move(stage)] {
            // SIGTERM and SIGINT go to the caller's thread: one taken here would break the
            // stage's wait on a socket (EINTR), which a client library reports as a failure.
            sigset_t signals;
            sigemptyset(&signals);
            sigaddset(&signals, SIGTERM);
            sigaddset(&signals, SIGINT);
            pthread_sigmask(SIG_BLOCK, &signals, nullptr);
            try {
                stage();
            } catch (...) {
                const std::lock_guard lock(m_mutex);
                m_error = std::current_exception();
            }
            {
                const std::lock_guard lock(m_mutex);
                m_ended = m_finished = true;
            }
            m_changed.notify_all();
        });
    }

    // Waits for room; false once stopped, or once the stage that empties the queue has
    // returned (join tells why). The item is then dropped.
    bool push(Item item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock,
                       [this] { return m_stopped || m_finished || m_items.size() < m_capacity; });
        if (m_stopped || m_finished)
            return false;
        m_items.push_back(std::move(item));
        // Only an empty queue has a reader waiting: each wake-up costs a scheduler's delay
        // on a busy machine.
        const bool wake = m_items.size() == 1;
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        return true;
    }

    // Waits for an item; false once the queue is ended and empty, or stopped.
    bool pop(Item& item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped || !m_items.empty() || m_ended; });
        return take(lock, item);
    }

    enum class Wait
    {
        Got,
        End,
        TimedOut
    };
    // As pop, waiting no longer than wait: a stage stuck on a server that stopped answering
    // must leave its caller free to serve a cancel.
    Wait popFor(Item& item, std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, wait,
                                [this] { return m_stopped || !m_items.empty() || m_ended; }))
            return Wait::TimedOut;
        return take(lock, item) ? Wait::Got : Wait::End;
    }

    // Without waiting: false when full (the item is left with the caller) or stopped.
    bool tryPush(Item& item)
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopped || m_items.size() >= m_capacity)
            return false;
        m_items.push_back(std::move(item));
        return true;
    }

    // Without waiting: false when empty.
    bool tryPop(Item& item)
    {
        const std::lock_guard lock(m_mutex);
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

    // No more items will be pushed.
    void end()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_changed.notify_all();
    }

    // Gives up: both sides return false from here on, whatever is queued.
    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
            m_items.clear();
        }
        m_changed.notify_all();
    }

    bool stopped() const
    {
        const std::lock_guard lock(m_mutex);
        return m_stopped;
    }

    // True once the stage has returned, waiting up to wait.
    bool finishedWithin(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, wait, [this] { return m_finished; });
    }

    // Waits for the stage to return, then rethrows what it threw.
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
    }

private:
    bool take(std::unique_lock<std::mutex>& lock, Item& item)
    {
        if (m_stopped || m_items.empty())
            return false;
        item = std::move(m_items.front());
        const bool wake = m_items.size() == m_capacity;
        m_items.pop_front();
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        return true;
    }

    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_items;
    bool m_ended = false;
    bool m_finished = false;
    bool m_stopped = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};
