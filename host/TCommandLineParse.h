#pragma once

#include <QString>
#include <QStringList>

class QCommandLineOption;
class QCommandLineParser;

// What every program here checks once QCommandLineParser has read its arguments:
// unknown options, a bad command line, a help request and stray arguments.
class TCommandLineParse
{
public:
    enum class Outcome
    {
        Proceed,
        Help,
        Failed
    };

    // Failed leaves the message in errorText.
    static Outcome parse(QCommandLineParser& parser, const QStringList& arguments,
                         const QCommandLineOption& help, QString& errorText);
};
