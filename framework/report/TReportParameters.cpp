#include "TReportParameters.h"

namespace {

TReportParameters& current()
{
    static TReportParameters parameters;
    return parameters;
}

} // namespace

const TReportParameters& TReportParameters::installed()
{
    return current();
}

void TReportParameters::install(const TReportParameters& parameters)
{
    current() = parameters;
}
