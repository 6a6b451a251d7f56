#include "TReportParamBinder.h"

#include "Helpers.h"

namespace {

const QString All = QStringLiteral("T");

void bindCode(TParams& params, const QString& name, const TReportParamBinder::Code& code)
{
    if (!ExistParam(params, name))
        return;
    // "T" only when nothing is typed and the box says all; a typed code always wins.
    params.ParamByName(name).SetAsString(EmptyString(code.text) && code.all ? All : code.text);
}

void bindDate(TParams& params, const QString& name, const QDate& date)
{
    if (ExistParam(params, name))
        params.ParamByName(name).SetAsDate(date);
}

} // namespace

void TReportParamBinder::Bind(TParams& params, const Filter& filter)
{
    bindCode(params, QStringLiteral("P_CDEMPRESA"), filter.empresa);
    bindCode(params, QStringLiteral("P_CDINSCESTA"), filter.inscEstad);
    bindCode(params, QStringLiteral("P_CDINSCMUNI"), filter.inscMuni);
    bindCode(params, QStringLiteral("P_CDFILIAL"), filter.filial);
    if (ExistParam(params, QStringLiteral("P_IDENTRSAID")))
        params.ParamByName(QStringLiteral("P_IDENTRSAID")).SetAsString(filter.direction.left(1));
    bindDate(params, QStringLiteral("P_DTENTRINI"), filter.start);
    bindDate(params, QStringLiteral("P_DTENTRFIM"), filter.end);

    // An empty value is an empty text, never NULL.
    const auto text = [](const QString& s) {
        return QVariant(s.isNull() ? QStringLiteral("") : s);
    };
    if (ExistParam(params, QStringLiteral("P_CDTIPOOPER")))
        params.ParamByName(QStringLiteral("P_CDTIPOOPER"))
            .SetAsVariant(text(filter.list ? filter.listaTp : QString()));
    if (ExistParam(params, QStringLiteral("P_TCDTIPOOPER")))
        params.ParamByName(QStringLiteral("P_TCDTIPOOPER"))
            .SetAsVariant(text(filter.list ? QString() : All));
}
