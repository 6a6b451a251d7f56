#pragma once

#include "FisDataExport.h"

#include <QStringList>
#include <QVariant>
#include <vector>

// The rows of one executed statement, read forward as the dataset asks for them.
class FIS_DATA_EXPORT TRowSource
{
public:
    using Row = std::vector<QVariant>;

    virtual ~TRowSource() = default;

    virtual QStringList columnNames() const = 0;
    // Appends up to count rows; fewer once the result ends. A database error raises
    // EFrameworkError with the driver's text.
    virtual void read(int count, std::vector<Row>& rows) = 0;
    // True once no more rows will come: all were read, or the rest was given up.
    virtual bool atEnd() const = 0;
    // Gives up the rows not read yet, as cheaply as the driver allows.
    virtual void cancel() = 0;
};
