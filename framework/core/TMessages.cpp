#include "TMessages.h"

#include "EFrameworkError.h"

TMessages::TMessages(QObject* parent) : QObject(parent)
{
}

void TMessages::setMessages(const QStringList& lines)
{
    m_lines = lines;
}

static qsizetype findKey(const QStringList& lines, const QString& key)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const qsizetype bar = line.indexOf(u'|');
        if (bar >= 0 && QStringView(line).left(bar) == key)
            return i;
    }
    return -1;
}

QString TMessages::Msg(const QString& key) const
{
    const qsizetype i = findKey(m_lines, key);
    if (i < 0)
        throw EFrameworkError(
            QStringLiteral("Mensagem '%1' não encontrada em %2.").arg(key, objectName()));
    const QString& line = m_lines.at(i);
    return line.mid(line.indexOf(u'|') + 1);
}

bool TMessages::contains(const QString& key) const
{
    return findKey(m_lines, key) >= 0;
}
