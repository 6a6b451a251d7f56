#include "TReadStatement.h"

#include "TSqlText.h"

#include <QRegularExpression>
#include <QStringList>

QString TReadStatement::problem(const QString& sql)
{
    // The text outside quotes and comments, each of them replaced by a blank.
    QString bare;
    bare.reserve(sql.size());
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype after = TSqlText::skipQuotedOrComment(sql, i); after != i) {
            // A quoted name keeps a word in place, so "SELECT "X"" is still a select.
            bare += sql[i] == u'"' ? QStringLiteral(" X ") : QStringLiteral(" ");
            i = after;
            continue;
        }
        bare += sql[i++];
    }
    QString body = bare.trimmed();
    while (body.endsWith(u';'))
        body = body.chopped(1).trimmed();
    if (body.isEmpty())
        return QStringLiteral("A consulta do relatório está vazia.");
    if (body.contains(u';'))
        return QStringLiteral("A consulta do relatório deve ser um único comando: tire o ';' "
                              "que separa mais de um comando.");
    static const QRegularExpression firstWord(QStringLiteral("^\\(*\\s*([A-Za-z_]+)"));
    const QString first = firstWord.match(body).captured(1).toUpper();
    if (first != u"SELECT" && first != u"WITH")
        return QStringLiteral("A consulta do relatório deve ser um comando SELECT, que só lê o "
                              "banco de dados; \"%1\" não é permitido.")
            .arg(first.isEmpty() ? body.left(20) : first);
    // Words that write or reach outside the query, anywhere in it.
    static const QRegularExpression writing(
        QStringLiteral("\\b(INSERT|UPDATE|DELETE|MERGE|UPSERT|DROP|CREATE|ALTER|GRANT|REVOKE|"
                       "TRUNCATE|VACUUM|ATTACH|DETACH|PRAGMA|COPY|EXECUTE|CALL|LOCK|NOTIFY|"
                       "LISTEN|RETURNING|INTO)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch found = writing.match(body);
    if (found.hasMatch())
        return QStringLiteral("A consulta do relatório só pode ler o banco de dados; o comando "
                              "\"%1\" não é permitido.")
            .arg(found.captured(1).toUpper());
    return QString();
}
