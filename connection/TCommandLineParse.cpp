#include "TCommandLineParse.h"

#include <QCommandLineParser>

TCommandLineParse::Outcome TCommandLineParse::parse(QCommandLineParser& parser,
                                                    const QStringList& arguments,
                                                    const QCommandLineOption& help,
                                                    QString& errorText)
{
    if (!parser.parse(arguments)) {
        errorText = parser.unknownOptionNames().isEmpty()
                        ? QStringLiteral("Linha de comando inválida: %1").arg(parser.errorText())
                        : QStringLiteral("Opção desconhecida: %1.")
                              .arg(parser.unknownOptionNames().first());
        return Outcome::Failed;
    }
    if (parser.isSet(help))
        return Outcome::Help;
    if (!parser.positionalArguments().isEmpty()) {
        errorText =
            QStringLiteral("Argumento não esperado: %1.").arg(parser.positionalArguments().first());
        return Outcome::Failed;
    }
    return Outcome::Proceed;
}

bool TCommandLineParse::readDriver(const QString& given, QString& driver, QString& errorText)
{
    static const QStringList drivers = {QStringLiteral("sqlite"), QStringLiteral("postgresql"),
                                        QStringLiteral("firebird")};
    const QString lower = given.toLower();
    if (!drivers.contains(lower)) {
        errorText =
            QStringLiteral("Banco de dados desconhecido: %1 (use sqlite, postgresql ou firebird).")
                .arg(given);
        return false;
    }
    driver = lower;
    return true;
}

bool TCommandLineParse::readPort(const QString& given, int& port, QString& errorText)
{
    bool ok = false;
    port = given.toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        return true;
    errorText = QStringLiteral("Porta inválida: %1.").arg(given);
    return false;
}
