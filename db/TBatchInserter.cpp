#include "TBatchInserter.h"

#include "EFrameworkError.h"

#include <QSqlError>

TBatchInserter::TBatchInserter(const QSqlDatabase& db, const QString& table,
                               const QStringList& columns, int rowsPerStatement)
    : m_db(db), m_table(table), m_columns(columns), m_rowsPerStatement(qMax(1, rowsPerStatement)),
      m_full(db)
{
    m_pending.reserve(m_rowsPerStatement * columns.size());
}

QString TBatchInserter::statement(int rows) const
{
    QString one = QStringLiteral("(?");
    for (qsizetype i = 1; i < m_columns.size(); ++i)
        one += QStringLiteral(", ?");
    one += u')';
    QStringList tuples;
    for (int i = 0; i < rows; ++i)
        tuples.append(one);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(m_table, m_columns.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", ")));
}

void TBatchInserter::execute(QSqlQuery& query, int rows)
{
    const qsizetype values = qsizetype(rows) * m_columns.size();
    for (qsizetype i = 0; i < values; ++i)
        query.bindValue(int(i), m_pending.at(i));
    if (!query.exec())
        throw EFrameworkError(QStringLiteral("Falha ao gravar na tabela %1: %2")
                                  .arg(m_table, query.lastError().text()));
    m_pending.clear();
    m_count += rows;
}

void TBatchInserter::add(const QVariantList& row)
{
    Q_ASSERT(row.size() == m_columns.size());
    m_pending.append(row);
    if (m_pending.size() < qsizetype(m_rowsPerStatement) * m_columns.size())
        return;
    if (!m_fullPrepared) {
        if (!m_full.prepare(statement(m_rowsPerStatement)))
            throw EFrameworkError(QStringLiteral("Falha ao preparar a gravação na tabela %1: %2")
                                      .arg(m_table, m_full.lastError().text()));
        m_fullPrepared = true;
    }
    execute(m_full, m_rowsPerStatement);
}

void TBatchInserter::finish()
{
    const int rows = int(m_pending.size() / m_columns.size());
    if (rows == 0)
        return;
    QSqlQuery rest(m_db);
    if (!rest.prepare(statement(rows)))
        throw EFrameworkError(QStringLiteral("Falha ao preparar a gravação na tabela %1: %2")
                                  .arg(m_table, rest.lastError().text()));
    execute(rest, rows);
}
