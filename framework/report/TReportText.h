#pragma once

#include "FisReportExport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Report text as it is laid out and written: Windows-1252 bytes (the system's code page,
// the PDF's WinAnsiEncoding) measured with Helvetica's metrics, which URW Nimbus Sans
// shares, so the screen, the printer and the PDF break lines and pages alike.
class FIS_REPORT_EXPORT TReportText
{
public:
    // A character the code page lacks becomes '?'.
    static QByteArray encode(const QString& text);
    static QString decode(QByteArrayView text);
    // Width in points of the text at that size.
    static double width(QByteArrayView text, bool bold, double size);
    // The longest start of text, with an ellipsis when cut, that fits in room points.
    static QByteArray elided(QByteArrayView text, bool bold, double size, double room);
    // elided without a copy: how many bytes of text are kept, whether an ellipsis
    // follows, and the width of the whole.
    static qsizetype fit(QByteArrayView text, bool bold, double size, double room, bool& ellipsis,
                         double& advance);
    // The family the widths come from; the painter draws with it.
    static QString family();
};
