// A stand-in screen module for the host's tests: it exports the host's entries
// and tells the tests, through a journal they install, what the host called.
#include "EFrameworkError.h"

#include <QByteArray>
#include <QVariant>

#define TEST_MODULE_EXPORT extern "C" Q_DECL_EXPORT

namespace {

QVariant lastParameter;
QByteArray failureText;
void (*journal)(const char*) = nullptr;

void record(const char* event)
{
    if (journal)
        journal(event);
}

// Runs when the library is really unmapped, not merely released by one handle.
struct UnloadWitness
{
    ~UnloadWitness() { record("unload"); }
} unloadWitness;

} // namespace

TEST_MODULE_EXPORT void Initialize()
{
    record("Initialize");
}

#ifndef FIS_TEST_MODULE_WITHOUT_FINALIZE
TEST_MODULE_EXPORT void Finalize()
{
    record("Finalize");
}
#endif

TEST_MODULE_EXPORT void IniProc(QVariant Param)
{
    lastParameter = Param;
    record("IniProc");
    if (!failureText.isEmpty()) {
        // Built at run time: a literal would point into this library after it is gone.
        const QString text = QString::fromUtf8(failureText);
        failureText.clear();
        throw EFrameworkError(text);
    }
}

TEST_MODULE_EXPORT const QVariant* testLastParameter()
{
    return &lastParameter;
}

TEST_MODULE_EXPORT void testFailNextIniProc(const char* text)
{
    failureText = text;
}

TEST_MODULE_EXPORT void testSetJournal(void (*sink)(const char*))
{
    journal = sink;
}
