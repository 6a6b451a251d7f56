#include "TReportParamBinder.h"

#include "Helpers.h"
#include "TReportParams.h"

namespace {

using P = TReportParams;

void bindCode(TParams& params, const QString& name, const TReportParamBinder::Code& code)
{
    if (!ExistParam(params, name))
        return;
    // "T" only when nothing is typed and the box says all; a typed code always wins.
    params.ParamByName(name).SetAsString(EmptyString(code.text) && code.all ? P::All : code.text);
}

void bindDate(TParams& params, const QString& name, const QDate& date)
{
    if (ExistParam(params, name))
        params.ParamByName(name).SetAsDate(date);
}

} // namespace

void TReportParamBinder::Bind(TParams& params, const Filter& filter)
{
    bindCode(params, P::Empresa, filter.empresa);
    bindCode(params, P::InscEstad, filter.inscEstad);
    bindCode(params, P::InscMuni, filter.inscMuni);
    bindCode(params, P::Filial, filter.filial);
    if (ExistParam(params, P::Direction))
        params.ParamByName(P::Direction).SetAsString(filter.direction.left(1));
    bindDate(params, P::DateStart, filter.start);
    bindDate(params, P::DateEnd, filter.end);

    // An empty value is an empty text, never NULL.
    const auto text = [](const QString& s) {
        return QVariant(s.isNull() ? QStringLiteral("") : s);
    };
    if (ExistParam(params, P::TypeList))
        params.ParamByName(P::TypeList)
            .SetAsVariant(text(filter.list ? filter.listaTp : QString()));
    if (ExistParam(params, P::AllTypes))
        params.ParamByName(P::AllTypes).SetAsVariant(text(filter.list ? QString() : P::All));
}
