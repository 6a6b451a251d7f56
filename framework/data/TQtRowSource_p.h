#pragma once

#include "FisDataExport.h"
#include "TRowSource.h"

#include <QSqlQuery>

// Rows read through an executed forward-only QSqlQuery, for a driver without a reader of
// its own (SQLite, PostgreSQL and Firebird have theirs). The query was moved once onto its
// first row: onRow says whether there was one.
class FIS_DATA_EXPORT TQtRowSource : public TRowSource
{
public:
    TQtRowSource(QSqlQuery&& query, bool onRow);

    QStringList columnNames() const override { return m_columns; }
    void read(int count, std::vector<Row>& rows) override;
    bool atEnd() const override { return m_atEnd; }
    void cancel() override;

private:
    QSqlQuery m_query;
    QStringList m_columns;
    bool m_atEnd = false;
    bool m_onRow;
};
