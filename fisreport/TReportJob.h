#pragma once

#include "TReportCommandLine.h"
#include "TReportParamBinder.h"

// One report run to a file without a window: the definition found by code and name, the
// parameters checked and bound as the screen binds them, the host's read-only data module
// and the engine's export, which writes nothing when the run fails. Every failure is an
// EFrameworkError in Portuguese.
class TReportJob
{
public:
    struct Result
    {
        int pages = 0; // 0 for the formats without pages
        qint64 rows = 0;
    };

    explicit TReportJob(const TReportCommandLine& commandLine) : m_commandLine(commandLine) {}

    Result run();
    // Shows the run's progress as a line on standard error that updates in place.
    void setProgressLine(bool on) { m_progressLine = on; }

    // Asks the run in progress to stop at its next page, leaving no file; safe to call
    // from a signal handler.
    static void requestStop();

private:
    void checkOutput() const;

    const TReportCommandLine& m_commandLine;
    bool m_progressLine = false;
};
