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
