#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

// Inserts rows into one table through a prepared multi-row INSERT, so a million
// rows cost a few thousand statements. Values are bound, never spliced.
class TBatchInserter
{
public:
    // rowsPerStatement 1 gives a plain one-row INSERT (Firebird has no VALUES lists).
    TBatchInserter(const QSqlDatabase& db, const QString& table, const QStringList& columns,
                   int rowsPerStatement);

    // Throws EFrameworkError with the driver's text when the database refuses a batch.
    void add(const QVariantList& row);
    void finish();
    qint64 count() const { return m_count; }

private:
    QString statement(int rows) const;
    void execute(QSqlQuery& query, int rows);

    QSqlDatabase m_db;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    QSqlQuery m_full;
    bool m_fullPrepared = false;
    QVariantList m_pending;
    qint64 m_count = 0;
};
