#include "TRunningStatement.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TDriverHandles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct TRunningStatement::State
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    // done, readable without the lock.
    std::atomic<bool> answered{false};
    bool cancelled = false;
    bool timedOut = false;
    std::exception_ptr error;
    std::function<void()> driverCancel;
    std::function<void()> driverAbort;
    QDeadlineTimer deadline{QDeadlineTimer::Forever};
    // Set by a cancel: past it, the session is given up.
    QDeadlineTimer abortAt{QDeadlineTimer::Forever};
    int timeout = 0;
};

namespace {

TRunningStatement::WaitHandler& waitHandler()
{
    static TRunningStatement::WaitHandler handler;
    return handler;
}

// The statement running on each connection, per thread: a connection is used by the thread
// that opened it, and a report's last page is read beside the GUI thread on connections of
// its own.
std::map<const QSqlDriver*, TRunningStatement*>& running()
{
    thread_local std::map<const QSqlDriver*, TRunningStatement*> statements;
    return statements;
}

bool inHandler = false;

// Threads kept for the next statement: starting one costs about as much as a fast lookup.
struct Worker
{
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> job;
    std::atomic<bool> posted{false};
    bool quit = false;
    std::thread thread;
};

// A cancel the database has not acted on by then is taken as undeliverable (a frozen
// server answers nothing): the stop must be seen within a second.
constexpr int abortAfterMilliseconds = 600;
// How often a waiting thread looks at the process's cancel token, which a signal sets.
constexpr int tokenPollMilliseconds = 100;

// Both sides spin a while before they sleep: a fast lookup is then handed over and back
// without the scheduler's wake-up latency, which costs more than the lookup itself (a
// scheduler tick, 4 ms, on a busy machine). The caller waits longer than the worker: a
// Firebird lookup takes about a millisecond.
constexpr auto spinTime = std::chrono::microseconds(300);
constexpr auto answerSpinTime = std::chrono::milliseconds(2);

// A moment's wait that keeps the core: a yield would give it away, on a busy machine for a
// whole slice.
inline void pauseBriefly()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

template <typename Ready>
bool spinUntil(Ready ready, std::chrono::steady_clock::duration time = spinTime)
{
    const auto until = std::chrono::steady_clock::now() + time;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        pauseBriefly();
    }
    return true;
}

struct Pool
{
    std::mutex mutex;
    std::vector<std::shared_ptr<Worker>> idle;
    std::vector<std::shared_ptr<Worker>> all;
    // PostgreSQL cancel requests still being sent.
    int sending = 0;
    std::condition_variable sent;
    bool stopped = false;
};

void stopWorkers();

// Never destroyed: a statement may still be posted from a static object's destructor.
Pool& pool()
{
    static Pool* threads = [] {
        std::atexit(stopWorkers);
        return new Pool;
    }();
    return *threads;
}

// At exit the parked threads are joined, and cancel requests given a moment to go out: a
// thread still running while the process ends (and the leak checker stops every thread)
// is a hazard of its own. A thread still busy is left to the end of the process.
void stopWorkers()
{
    Pool& p = pool();
    std::vector<std::shared_ptr<Worker>> parked;
    {
        std::unique_lock lock(p.mutex);
        p.stopped = true;
        // A process stopped by a signal does not wait on a server that may not answer.
        const auto grace = TCancelToken::process().isCancelled() ? std::chrono::seconds(0)
                                                                 : std::chrono::seconds(2);
        p.sent.wait_for(lock, grace, [&] { return p.sending == 0; });
        parked = p.idle;
        for (const std::shared_ptr<Worker>& w : p.all)
            if (std::find(parked.begin(), parked.end(), w) == parked.end())
                w->thread.detach();
        p.idle.clear();
        p.all.clear();
    }
    for (const std::shared_ptr<Worker>& w : parked) {
        {
            const std::lock_guard lock(w->mutex);
            w->quit = true;
        }
        w->wake.notify_one();
        w->thread.join();
    }
}

void workOn(const std::shared_ptr<Worker>& worker)
{
    for (;;) {
        spinUntil([&] { return worker->posted.load(std::memory_order_acquire); });
        std::unique_lock lock(worker->mutex);
        worker->wake.wait(lock, [&] { return bool(worker->job) || worker->quit; });
        if (!worker->job)
            return;
        const std::function<void()> next = std::exchange(worker->job, nullptr);
        worker->posted.store(false, std::memory_order_relaxed);
        lock.unlock();
        next();
    }
}

// Runs job on a parked thread (a new one when none is free), then ended, once the thread is
// free again. Once the workers are stopped, on the caller's thread.
void post(std::function<void()> job, std::function<void()> ended)
{
    std::shared_ptr<Worker> worker;
    {
        const std::lock_guard lock(pool().mutex);
        Pool& p = pool();
        if (!p.stopped && !p.idle.empty()) {
            worker = std::move(p.idle.back());
            p.idle.pop_back();
        } else if (!p.stopped) {
            worker = std::make_shared<Worker>();
            worker->thread = std::thread([worker] { workOn(worker); });
            p.all.push_back(worker);
        }
    }
    if (!worker) {
        job();
        ended();
        return;
    }
    const std::lock_guard lock(worker->mutex);
    worker->job = [worker, job = std::move(job), ended = std::move(ended)] {
        job();
        {
            const std::lock_guard parked(pool().mutex);
            pool().idle.push_back(worker);
        }
        ended();
    };
    worker->posted.store(true, std::memory_order_release);
    worker->wake.notify_one();
}

// Each driver's cancel of the connection's running statement, safe from another thread.
std::function<void()> driverCancelOf(const QSqlDatabase& db)
{
    std::function<void()> cancel = TDriverHandles::cancelOf(db);
    if (!cancel || db.driver()->dbmsType() != QSqlDriver::PostgreSQL)
        return cancel;
    // Sent from a thread of its own: it opens a connection to the server, which may be
    // out of reach. A cancel that arrives once the statement has ended is ignored.
    return [cancel] {
        {
            const std::lock_guard lock(pool().mutex);
            if (pool().stopped)
                return;
            ++pool().sending;
        }
        std::thread([cancel] {
            cancel();
            const std::lock_guard lock(pool().mutex);
            --pool().sending;
            pool().sent.notify_all();
        }).detach();
    };
}

} // namespace

void TRunningStatement::setWaitHandler(WaitHandler handler)
{
    waitHandler() = std::move(handler);
}

bool TRunningStatement::interrupt(const QSqlDatabase& db, const std::function<bool(int)>& ended)
{
    if (const std::function<void()> cancel = driverCancelOf(db))
        cancel();
    if (ended(abortAfterMilliseconds))
        return false;
    const std::function<void()> abort = TDriverHandles::abortOf(db);
    if (abort)
        abort();
    return bool(abort);
}

QString TRunningStatement::timeoutText()
{
    return QStringLiteral("A consulta passou do tempo limite do banco de dados e foi interrompida. "
                          "Restrinja o filtro (empresa, período) e repita a operação.");
}

TRunningStatement::TRunningStatement(std::function<void()> driverCancel, int timeout)
    : m_state(std::make_shared<State>())
{
    m_state->driverCancel = std::move(driverCancel);
    m_state->timeout = timeout;
    if (timeout > 0)
        m_state->deadline = QDeadlineTimer(timeout);
}

TRunningStatement::~TRunningStatement()
{
    // Left early (the handler threw): the statement must still end before its connection
    // is touched again.
    if (!waitFor(0))
        stop(false);
    waitFor(-1);
}

void TRunningStatement::run(const QSqlDatabase& db, int timeout, const std::function<void()>& job)
{
    const QSqlDriver* driver = db.driver();
    awaitIdle(driver);
    TRunningStatement statement(driverCancelOf(db), timeout);
    statement.m_state->driverAbort = TDriverHandles::abortOf(db);
    running()[driver] = &statement;
    struct Unregister
    {
        const QSqlDriver* driver;
        ~Unregister() { running().erase(driver); }
    } unregister{driver};

    std::shared_ptr<State> state = statement.m_state;
    auto error = std::make_shared<std::exception_ptr>();
    post(
        [job, error] {
            try {
                job();
            } catch (...) {
                *error = std::current_exception();
            }
        },
        [state, error] {
            const std::lock_guard lock(state->mutex);
            state->error = *error;
            state->done = true;
            state->answered.store(true, std::memory_order_release);
            state->ended.notify_all();
        });

    spinUntil([&] { return state->answered.load(std::memory_order_acquire); }, answerSpinTime);
    if (!statement.waitFor(graceMilliseconds)) {
        // One dialog at a time, on the GUI thread: a statement started from inside the
        // handler, or off that thread, just waits.
        if (waitHandler() && !inHandler && QCoreApplication::instance() &&
            QThread::currentThread() == QCoreApplication::instance()->thread()) {
            inHandler = true;
            struct Leave
            {
                ~Leave() { inHandler = false; }
            } leave;
            const WaitHandler handler = waitHandler();
            handler(statement);
        }
        statement.waitFor(-1);
    }

    if (state->cancelled)
        throw EAbort();
    if (state->timedOut)
        throw EFrameworkError(timeoutText(),
                              QStringLiteral("cancelada após %1 ms").arg(state->timeout));
    if (state->error)
        std::rethrow_exception(state->error);
}

void TRunningStatement::awaitIdle(const QSqlDriver* driver)
{
    const auto it = running().find(driver);
    if (it != running().end())
        it->second->waitFor(-1);
}

bool TRunningStatement::waitFor(int milliseconds)
{
    std::unique_lock lock(m_state->mutex);
    const QDeadlineTimer until =
        milliseconds < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(milliseconds);
    const TCancelToken& token = TCancelToken::process();
    for (;;) {
        if (m_state->done)
            return true;
        if (token.isCancelled() && !m_state->cancelled) {
            lock.unlock();
            stop(true);
            lock.lock();
            continue;
        }
        if (m_state->abortAt.hasExpired()) {
            m_state->abortAt = QDeadlineTimer(QDeadlineTimer::Forever);
            if (m_state->driverAbort)
                m_state->driverAbort();
            continue;
        }
        if (m_state->deadline.hasExpired()) {
            // Past the time limit: cancelled once, then waited for as the caller asked.
            m_state->deadline = QDeadlineTimer(QDeadlineTimer::Forever);
            lock.unlock();
            stop(false);
            lock.lock();
            continue;
        }
        if (until.hasExpired())
            return false;
        const QDeadlineTimer next = std::min(
            {until, m_state->deadline, m_state->abortAt, QDeadlineTimer(tokenPollMilliseconds)});
        m_state->ended.wait_for(lock, std::chrono::nanoseconds(next.remainingTimeNSecs()));
    }
}

void TRunningStatement::cancel()
{
    stop(true);
}

// Under the lock, so the driver is never told to cancel once the statement has ended:
// its cancel would then hit whatever the connection runs next.
void TRunningStatement::stop(bool byClerk)
{
    const std::lock_guard lock(m_state->mutex);
    if (m_state->done || m_state->cancelled)
        return;
    // A clerk's cancel after the time limit's still counts as the clerk's: it ends quietly.
    const bool again = m_state->timedOut;
    (byClerk ? m_state->cancelled : m_state->timedOut) = true;
    if (again)
        return;
    if (m_state->driverCancel)
        m_state->driverCancel();
    m_state->abortAt = QDeadlineTimer(abortAfterMilliseconds);
}
