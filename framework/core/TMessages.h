#pragma once

#include "FisCoreExport.h"

#include <QObject>
#include <QStringList>

// A keyed message table: one "key|text" line per entry.
class FIS_CORE_EXPORT TMessages : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Messages READ messages WRITE setMessages)

public:
    explicit TMessages(QObject* parent = nullptr);

    QStringList messages() const { return m_lines; }
    void setMessages(const QStringList& lines);

    // The text of the entry with that key; a missing key is an error, not an empty message.
    QString Msg(const QString& key) const;
    bool contains(const QString& key) const;

private:
    QStringList m_lines;
};
