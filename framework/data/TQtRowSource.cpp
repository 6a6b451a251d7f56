#include "TQtRowSource_p.h"

#include "EFrameworkError.h"
#include "TDriverHandles.h"
#include "TRunningStatement.h"

#include <QSqlError>
#include <QSqlRecord>
#include <sqlite3.h>
#include <utility>

namespace {

// The current row of an SQLite statement as Qt's driver gives it.
TRowSource::Row currentRow(sqlite3_stmt* statement, int columns)
{
    TRowSource::Row row;
    row.reserve(size_t(columns));
    for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(statement, c)) {
        case SQLITE_BLOB:
            row.emplace_back(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, c)),
                                        sqlite3_column_bytes(statement, c)));
            break;
        case SQLITE_INTEGER:
            row.emplace_back(qlonglong(sqlite3_column_int64(statement, c)));
            break;
        case SQLITE_FLOAT:
            row.emplace_back(sqlite3_column_double(statement, c));
            break;
        case SQLITE_NULL:
            row.emplace_back(QMetaType::fromType<QString>());
            break;
        default: {
            // Qt's driver asks SQLite for UTF-16, which costs SQLite a conversion and an
            // allocation per value; Qt decodes the stored UTF-8 faster. Bytes that are not
            // UTF-8 (each decoder replaces them its own way) are read as Qt's driver reads them.
            const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
            QString text = QString::fromUtf8(utf8, sqlite3_column_bytes(statement, c));
            if (text.contains(QChar::ReplacementCharacter)) {
                const auto* utf16 = static_cast<const QChar*>(sqlite3_column_text16(statement, c));
                text = QString(utf16, qsizetype(sqlite3_column_bytes16(statement, c)) /
                                          qsizetype(sizeof(QChar)));
            }
            row.emplace_back(std::move(text));
        }
        }
    }
    return row;
}

} // namespace

TQtRowSource::TQtRowSource(std::shared_ptr<QSqlQuery> query, bool onRow)
    : m_query(std::move(query)), m_atEnd(!onRow), m_onRow(onRow)
{
    const QSqlRecord record = m_query->record();
    for (int i = 0; i < record.count(); ++i)
        m_columns << record.fieldName(i);
    // An empty result lets its cursor go at once, as one read to its end does.
    if (!onRow) {
        m_query->finish();
        return;
    }
    sqlite3_stmt* statement = TDriverHandles::sqlite(*m_query);
    if (!statement || sqlite3_column_count(statement) != int(m_columns.size()))
        return;
    const Row first = currentRow(statement, int(m_columns.size()));
    for (int c = 0; c < int(m_columns.size()); ++c) {
        const QVariant qt = m_query->value(c);
        if (qt.metaType() != first[size_t(c)].metaType() ||
            qt.isNull() != first[size_t(c)].isNull() || qt != first[size_t(c)])
            return;
    }
    m_statement = statement;
}

TQtRowSource::~TQtRowSource()
{
    // A statement kept prepared would otherwise hold its read lock on the file.
    if (!m_atEnd)
        m_query->finish();
}

void TQtRowSource::read(int count, std::vector<Row>& rows)
{
    const int columns = int(m_columns.size());
    if (!m_atEnd)
        TRunningStatement::awaitIdle(m_query->driver());
    for (int read = 0; read < count && !m_atEnd; ++read) {
        if (std::exchange(m_onRow, false) || (!m_statement && m_query->next())) {
            Row row;
            row.reserve(size_t(columns));
            for (int c = 0; c < columns; ++c)
                row.push_back(m_query->value(c));
            rows.push_back(std::move(row));
            continue;
        }
        if (!m_statement) {
            const QSqlError error = m_query->lastError();
            end();
            if (error.isValid())
                throw EFrameworkError(error.text());
            break;
        }
        const int status = sqlite3_step(m_statement);
        if (status == SQLITE_ROW) {
            rows.push_back(currentRow(m_statement, columns));
            continue;
        }
        // Worded as Qt's driver words it.
        const QString error =
            status == SQLITE_DONE
                ? QString()
                : QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement))) +
                      QStringLiteral(" Unable to fetch row");
        end();
        if (!error.isEmpty())
            throw EFrameworkError(error);
    }
}

void TQtRowSource::cancel()
{
    if (!m_atEnd)
        TRunningStatement::awaitIdle(m_query->driver());
    end();
}

void TQtRowSource::end()
{
    m_atEnd = true;
    m_onRow = false;
    m_query->finish();
}
