#pragma once

#include "FisDataExport.h"

#include <QString>

#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlDriver;

// A statement waiting for its database's first answer, on a worker thread while the thread
// that started it waits. A fast one is simply waited for; one still running after a short
// grace is handed to the wait handler the application installed (a dialog the clerk may
// cancel), or waited for when none is. Cancelling uses the driver's own thread-safe cancel
// on the connection, and past the timeout the statement is cancelled too, so a connection
// is never left busy. One connection runs one statement at a time: one started while
// another runs on it (a timer firing during the wait) first waits for it, processing no
// events.
class FIS_DATA_EXPORT TRunningStatement
{
public:
    using WaitHandler = std::function<void(TRunningStatement& statement)>;
    // The handler returns once waitFor(0) is true. An empty one restores the plain wait.
    static void setWaitHandler(WaitHandler handler);
    static constexpr int graceMilliseconds = 500;

    // Runs job (the statement's execution and the wait for its first answer) on a worker
    // thread. Cancelled by the clerk: throws EAbort, the silent abort. Past timeout
    // (milliseconds, 0 none): throws the clerk's timeout message. Otherwise rethrows what
    // the job threw.
    static void run(const QSqlDatabase& db, int timeout, const std::function<void()>& job);
    // Waits, processing no events, until no statement runs on the driver's connection.
    static void awaitIdle(const QSqlDriver* driver);
    // Stops what another thread reads on db (a report's rows read ahead), for which ended
    // waits up to its milliseconds: the driver's cancel, then, left unanswered (a frozen
    // server), the session given up; true when it was.
    static bool interrupt(const QSqlDatabase& db, const std::function<bool(int)>& ended);
    // What the clerk is told of a statement stopped at its time limit.
    static QString timeoutText();

    ~TRunningStatement();
    TRunningStatement(const TRunningStatement&) = delete;
    TRunningStatement& operator=(const TRunningStatement&) = delete;

    // True once the statement has ended, blocking up to milliseconds (-1: until it ends).
    bool waitFor(int milliseconds);
    // Asks the database to stop the statement; it ends soon after. Thread of the caller of run.
    void cancel();

private:
    struct State;
    TRunningStatement(std::function<void()> driverCancel, int timeout);
    void stop(bool byClerk);

    std::shared_ptr<State> m_state;
};
