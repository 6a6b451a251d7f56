#pragma once

#include "EFrameworkError.h"
#include "TRowSource.h"

#include <QStringList>
#include <vector>

// Rows held in memory as a statement's result, for an exporter or a layout without a
// database; failAt (0-based) makes that row's read fail as a lost connection does.
class VectorRows : public TRowSource
{
public:
    VectorRows(QStringList names, std::vector<Row> rows, int failAt = -1)
        : m_names(std::move(names)), m_rows(std::move(rows)), m_failAt(failAt)
    {
    }
    QStringList columnNames() const override { return m_names; }
    void read(int count, std::vector<Row>& out) override
    {
        for (; count > 0 && m_next < m_rows.size(); --count, ++m_next) {
            if (int(m_next) == m_failAt)
                throw EFrameworkError(QStringLiteral("conexão perdida"));
            out.push_back(m_rows[m_next]);
        }
    }
    bool atEnd() const override { return m_next >= m_rows.size(); }
    void cancel() override { m_next = m_rows.size(); }

private:
    QStringList m_names;
    std::vector<Row> m_rows;
    size_t m_next = 0;
    int m_failAt;
};
