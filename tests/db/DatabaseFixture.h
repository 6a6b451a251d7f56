#pragma once

#include "TConnectionOptions.h"
#include "TDemoData.h"
#include "TdtmDBGeral.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

// The demo databases the cross-database tests run on, each opened read-only through
// the host's TDataModuleFactory: SQLite always (the demo file is made on first use in a
// temporary folder), PostgreSQL and Firebird when scripts/db-servers.sh has started
// them and its "env" variables are set. All three hold the rows of TDemoData's default
// scale. A server that is not configured skips its tests, unless FIS_REQUIRE_SERVERS=1;
// one that is configured but cannot be opened fails them.
//
// Use: a test class calls addEngineRows() in initTestCase_data(), open() in
// initTestCase(), and FIS_FETCH_DATABASE at the top of each test function.
class DatabaseFixture
{
public:
    DatabaseFixture();
    ~DatabaseFixture();
    DatabaseFixture(const DatabaseFixture&) = delete;
    DatabaseFixture& operator=(const DatabaseFixture&) = delete;

    static QStringList engines(); // "sqlite", "postgresql", "firebird"
    // Global rows, one per engine, in the column "engine"; withServer adds
    // "firebird-server", the Firebird SuperServer with real passwords.
    static void addEngineRows(bool withServer = false);
    static bool serversRequired();

    void open();
    // The password in the file a FIS_*_PASSWORD_FILE variable names, or an empty one.
    static QString passwordFrom(const char* variable);

    // The data module of the engine, or nullptr (then problem() says why).
    TdtmDBGeral* module(const QString& engine) const;
    QSqlDatabase database(const QString& engine) const;
    TDemoData::Engine engineOf(const QString& engine) const;
    // The options the module was opened with (the Firebird file is the fixture's copy).
    TConnectionOptions options(const QString& engine) const;
    QString problem(const QString& engine) const;
    // True when the engine was configured but failed to open: a failure, not a skip.
    bool broken(const QString& engine) const;
    // A folder that lives as long as the fixture.
    QString scratchPath() const { return m_dir.path(); }

private:
    struct Entry
    {
        TConnectionOptions options;
        std::unique_ptr<TdtmDBGeral> module;
        QString problem;
        bool broken = false;
    };
    void openEngine(const QString& engine, const TConnectionOptions& options);

    QTemporaryDir m_dir;
    std::map<QString, Entry> m_entries;
};

// Declares `engine` (the global row's engine name) and `variable` (its data module), or
// ends the test: skipped when the engine is not configured, failed when it is broken or
// when FIS_REQUIRE_SERVERS=1.
#define FIS_FETCH_DATABASE(fixture, variable)                                                      \
    QFETCH_GLOBAL(QString, engine);                                                                \
    TdtmDBGeral* variable = (fixture).module(engine);                                              \
    if (!variable) {                                                                               \
        if ((fixture).broken(engine) || DatabaseFixture::serversRequired())                        \
            QFAIL(qPrintable((fixture).problem(engine)));                                          \
        QSKIP(qPrintable((fixture).problem(engine)));                                              \
    }
