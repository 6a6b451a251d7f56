#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QSqlQuery>

struct sqlite3_stmt;

// Rows of an executed forward-only SQLite query, read on from its first row through
// libsqlite3 itself. Qt's result keeps each row in a list of values and copies them out
// once more, which at a million rows costs as much as SQLite's own reading. The values are
// those Qt's driver gives (checked on the first row: where they differ, Qt reads on).
class FIS_DATA_EXPORT TSqliteRowSource : public TRowSource
{
public:
    // The query stands on its first row when onRow is set.
    TSqliteRowSource(QSqlQuery&& query, bool onRow);

    QStringList columnNames() const override { return m_columns; }
    void read(int count, std::vector<Row>& rows) override;
    bool atEnd() const override { return m_atEnd; }
    void cancel() override;

    // The current row of the statement as Qt's driver gives it.
    static Row currentRow(sqlite3_stmt* statement, int columns);

private:
    QSqlQuery m_query;
    QStringList m_columns;
    sqlite3_stmt* m_statement = nullptr;
    bool m_atEnd;
    bool m_onRow;
};
