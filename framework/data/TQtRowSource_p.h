#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QSqlQuery>
#include <memory>

struct sqlite3_stmt;

// Rows of an executed forward-only QSqlQuery; PostgreSQL and Firebird have readers of their
// own. On SQLite the rows past the first are read through libsqlite3 itself: Qt's result
// keeps each row in a list of values and copies them out once more, which at a million rows
// costs as much as SQLite's own reading. The values are those Qt's driver gives (checked on
// the first row: where they differ, Qt reads on).
//
// The query may be kept by its owner to run again; it is let go of here (its cursor and
// locks released, the statement kept prepared) once read to its end, cancelled or dropped.
class FIS_DATA_EXPORT TQtRowSource : public TRowSource
{
public:
    // The query stands on its first row when onRow is set.
    TQtRowSource(std::shared_ptr<QSqlQuery> query, bool onRow);
    ~TQtRowSource() override;

    QStringList columnNames() const override { return m_columns; }
    void read(int count, std::vector<Row>& rows) override;
    bool atEnd() const override { return m_atEnd; }
    void cancel() override;

private:
    void end();

    std::shared_ptr<QSqlQuery> m_query;
    QStringList m_columns;
    sqlite3_stmt* m_statement = nullptr;
    bool m_atEnd;
    bool m_onRow;
};
