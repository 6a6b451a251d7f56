#include "TSqlScript.h"

#include <QRegularExpression>

namespace {

// The dollar-quote tag starting at i ("$$" or "$name$"), or an empty text.
QString dollarTag(const QString& s, qsizetype i)
{
    qsizetype j = i + 1;
    while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
        ++j;
    if (j < s.size() && s[j] == u'$' && (j == i + 1 || !s[i + 1].isDigit()))
        return s.mid(i, j - i + 1);
    return {};
}

} // namespace

QStringList TSqlScript::statements(const QString& script)
{
    static const QRegularExpression setTerm(QStringLiteral(R"(^\s*SET\s+TERM\s+(\S+)\s*$)"),
                                            QRegularExpression::CaseInsensitiveOption);

    QStringList result;
    QString terminator = QStringLiteral(";");
    QString current;
    qsizetype i = 0;
    const qsizetype n = script.size();

    auto flush = [&] {
        const QString statement = current.trimmed();
        current.clear();
        if (statement.isEmpty())
            return;
        const QRegularExpressionMatch m = setTerm.match(statement);
        if (m.hasMatch())
            terminator = m.captured(1);
        else
            result.append(statement);
    };

    while (i < n) {
        const QChar c = script[i];
        if (c == u'-' && i + 1 < n && script[i + 1] == u'-') {
            const qsizetype end = script.indexOf(u'\n', i);
            i = end < 0 ? n : end;
            continue;
        }
        if (c == u'/' && i + 1 < n && script[i + 1] == u'*') {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            current += u' ';
            continue;
        }
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside is an escaped quote: the scan simply goes on.
            qsizetype end = script.indexOf(c, i + 1);
            end = end < 0 ? n : end + 1;
            current += script.mid(i, end - i);
            i = end;
            continue;
        }
        if (c == u'$') {
            const QString tag = dollarTag(script, i);
            if (!tag.isEmpty()) {
                qsizetype end = script.indexOf(tag, i + tag.size());
                end = end < 0 ? n : end + tag.size();
                current += script.mid(i, end - i);
                i = end;
                continue;
            }
        }
        if (script.mid(i, terminator.size()) == terminator) {
            flush();
            i += terminator.size();
            continue;
        }
        current += c;
        ++i;
    }
    flush();
    return result;
}

bool TSqlScript::isIndexStatement(const QString& statement)
{
    static const QRegularExpression index(QStringLiteral(R"(^\s*CREATE\s+(UNIQUE\s+)?INDEX\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return index.match(statement).hasMatch();
}
