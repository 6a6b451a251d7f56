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
    // The --driver value in lower case; false with errorText unless it names one of the
    // three databases.
    static bool readDriver(const QString& given, QString& driver, QString& errorText);
    // The --port value; false with errorText unless it is a port number.
    static bool readPort(const QString& given, int& port, QString& errorText);
};
