#include "TReportActions.h"

#include "TReportFilterChecks.h"

#include <QWidget>

bool TReportActions::isEnabledSetting(const QWidget* control)
{
    return !control->testAttribute(Qt::WA_ForceDisabled);
}

void TReportActions::checkRequiredFilter(TReportFilterChecks& filter)
{
    using C = TReportFilterChecks;
    if (isEnabledSetting(filter.codeField(C::Empresa)))
        filter.Vd_Empresa(true);
    if (isEnabledSetting(filter.codeField(C::InscEstad)))
        filter.Vd_InscEstad(true);
    if (isEnabledSetting(filter.codeField(C::InscMuni)))
        filter.Vd_InscMuni(true);
    if (isEnabledSetting(filter.codeField(C::Filial)))
        filter.Vd_Filial(true);
    filter.Vd_Data();
    filter.Vd_EntrSaida();
}

void TReportActions::print(TReportFilterChecks& filter, const Run& run)
{
    checkRequiredFilter(filter);
    run();
}

void TReportActions::preview(TReportFilterChecks& filter, const Run& run)
{
    checkRequiredFilter(filter);
    if (filter.isWithholdingReport())
        filter.Vd_TipoOper();
    run();
}

void TReportActions::reportEdit(TReportFilterChecks& filter, const Run& run)
{
    filter.Vd_Empresa(false);
    filter.Vd_InscEstad(false);
    filter.Vd_InscMuni(false);
    filter.Vd_Filial(false);
    filter.Vd_Data();
    filter.Vd_EntrSaida();
    run();
}
