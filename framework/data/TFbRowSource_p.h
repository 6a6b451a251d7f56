#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <memory>

// The rows of a Firebird statement read through the client library on the Qt connection's
// own attachment, in a read-only transaction of their own: Qt's driver starts every
// transaction with the default parameters, which may write, and a statement that runs
// another one (EXECUTE STATEMENT … AS USER, ON EXTERNAL, an autonomous transaction) starts
// its transaction with the parameters of this one. Only statements that return rows run.
//
// A legacy byte with no character in WIN1252 shows as U+FFFD (and a warning is logged)
// instead of cutting the text short. Values come as Qt's QIBASE driver gives them.
class FIS_DATA_EXPORT TFbRowSource : public TRowSource
{
public:
    // Prepares sql (with ? markers), binds values in order, executes it and reads the first
    // row, the execution as a TRunningStatement (timeout in milliseconds, 0 none). A database
    // error raises EFrameworkError with its text.
    static std::unique_ptr<TFbRowSource> start(const QSqlDatabase& db, const QString& sql,
                                               const QVariantList& values, int timeout = 0);

    ~TFbRowSource() override;
    TFbRowSource(const TFbRowSource&) = delete;
    TFbRowSource& operator=(const TFbRowSource&) = delete;

    QStringList columnNames() const override { return m_columns; }
    void read(int count, std::vector<Row>& rows) override;
    bool atEnd() const override { return m_atEnd; }
    void cancel() override;

private:
    struct Handles;
    explicit TFbRowSource(QSqlDriver* driver);
    bool fetch();
    Row currentRow();
    void finish();

    QPointer<QSqlDriver> m_driver;
    std::unique_ptr<Handles> m_handles;
    QStringList m_columns;
    bool m_atEnd = false;
    bool m_onRow = false;
};
