#pragma once

class QWidget;

// What the output actions need of a filter form: its checks, the code fields whose
// own Enabled setting decides whether print and preview require them, and the report
// selection. A check that returns has passed; a failing one ends the action.
class TReportFilterChecks
{
public:
    enum Code
    {
        Empresa,
        InscEstad,
        InscMuni,
        Filial
    };

    virtual ~TReportFilterChecks() = default;

    virtual void Vd_Empresa(bool Required) = 0;
    virtual void Vd_InscEstad(bool Required) = 0;
    virtual void Vd_InscMuni(bool Required) = 0;
    virtual void Vd_Filial(bool Required) = 0;
    virtual void Vd_Data() = 0;
    virtual void Vd_EntrSaida() = 0;
    virtual void Vd_TipoOper() = 0;

    virtual const QWidget* codeField(Code code) const = 0;
    virtual bool isWithholdingReport() const = 0;

protected:
    TReportFilterChecks() = default;
    TReportFilterChecks(const TReportFilterChecks&) = default;
    TReportFilterChecks& operator=(const TReportFilterChecks&) = default;
};
