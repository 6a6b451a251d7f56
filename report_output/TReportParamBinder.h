#pragma once

#include "TParams.h"

#include <QDate>
#include <QString>

// Fills a report query's known parameters from the filter. It fills only names the
// query declares, never adds or clears one, and validates nothing: the output
// actions have checked the filter before the run.
class TReportParamBinder
{
public:
    struct Code
    {
        QString text;
        bool all = false; // its "Todas" box is checked
    };

    struct Filter
    {
        Code empresa, inscEstad, inscMuni, filial;
        QString direction; // the direction combo's text
        QDate start, end;
        bool list = false; // "Lista" is checked
        QString listaTp;   // the chosen operation-type keys
    };

    static void Bind(TParams& params, const Filter& filter);
};
