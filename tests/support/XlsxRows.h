#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The cells of every sheet of a workbook as openpyxl reads them: one line per row,
// "sheet|cell|cell...", numbers as Python prints them, dates as ISO text.
inline QStringList xlsxRows(const QString& path)
{
    const char* script = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
for ws in wb.worksheets:
    for row in ws.iter_rows(values_only=True):
        cells = ['' if v is None else (v.date().isoformat() if hasattr(v, 'date') else str(v))
                 for v in row]
        print(ws.title + '|' + '|'.join(cells))
)";
    QProcess p;
    // Debian's interpreter, where python3-openpyxl is installed.
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromUtf8(script), path});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
