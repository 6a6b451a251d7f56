#pragma once

#include "FisReportExport.h"

#include <QByteArrayView>
#include <QRectF>

// Where a report page is drawn: the PDF writer, a printer or the preview's image. Units
// are points from the top-left corner of the page; texts are Windows-1252 (TReportText).
class FIS_REPORT_EXPORT TReportCanvas
{
public:
    virtual ~TReportCanvas() = default;

    virtual void beginPage() = 0;
    virtual void endPage() = 0;
    // The text with the left end of its baseline at (x, y).
    virtual void text(double x, double y, bool bold, double size, QByteArrayView text) = 0;
    // gray from 0 (black) to 255 (white).
    virtual void fill(const QRectF& rect, int gray) = 0;
};
