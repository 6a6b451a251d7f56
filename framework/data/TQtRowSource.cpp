#include "TQtRowSource_p.h"

#include "EFrameworkError.h"
#include "TRunningStatement.h"

#include <QSqlError>
#include <QSqlRecord>
#include <utility>

TQtRowSource::TQtRowSource(QSqlQuery&& query, bool onRow)
    : m_query(std::move(query)), m_atEnd(!onRow), m_onRow(onRow)
{
    const QSqlRecord record = m_query.record();
    for (int i = 0; i < record.count(); ++i)
        m_columns << record.fieldName(i);
    // An empty result lets its cursor go at once, as one read to its end does.
    if (!onRow)
        m_query.finish();
}

void TQtRowSource::read(int count, std::vector<Row>& rows)
{
    const int columns = int(m_columns.size());
    if (!m_atEnd)
        TRunningStatement::awaitIdle(m_query.driver());
    for (int read = 0; read < count && !m_atEnd; ++read) {
        if (!std::exchange(m_onRow, false) && !m_query.next()) {
            m_atEnd = true;
            const QSqlError error = m_query.lastError();
            m_query.finish();
            if (error.isValid())
                throw EFrameworkError(error.text());
            break;
        }
        Row row;
        row.reserve(size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(m_query.value(c));
        rows.push_back(std::move(row));
    }
}

void TQtRowSource::cancel()
{
    if (!m_atEnd)
        TRunningStatement::awaitIdle(m_query.driver());
    m_atEnd = true;
    m_onRow = false;
    m_query.finish();
}
