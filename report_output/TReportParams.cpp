#include "TReportParams.h"

#include "EFrameworkError.h"
#include "TParams.h"

#include <QDate>
#include <QRegularExpression>

const QString TReportParams::Empresa = QStringLiteral("P_CDEMPRESA");
const QString TReportParams::InscEstad = QStringLiteral("P_CDINSCESTA");
const QString TReportParams::InscMuni = QStringLiteral("P_CDINSCMUNI");
const QString TReportParams::Filial = QStringLiteral("P_CDFILIAL");
const QString TReportParams::Direction = QStringLiteral("P_IDENTRSAID");
const QString TReportParams::DateStart = QStringLiteral("P_DTENTRINI");
const QString TReportParams::DateEnd = QStringLiteral("P_DTENTRFIM");
const QString TReportParams::TypeList = QStringLiteral("P_CDTIPOOPER");
const QString TReportParams::AllTypes = QStringLiteral("P_TCDTIPOOPER");
const QString TReportParams::All = QStringLiteral("T");
const QString TReportParams::BothDirections = QStringLiteral("A");

namespace {

using P = TReportParams;

QStringList codeNames()
{
    return {P::Empresa, P::InscEstad, P::InscMuni, P::Filial};
}

[[noreturn]] void refuse(const QString& text)
{
    throw EFrameworkError(text);
}

QDate isoDate(const QString& name, const QString& value)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate date = QDate::fromString(value.trimmed(), Qt::ISODate);
    if (!shape.match(value.trimmed()).hasMatch() || !date.isValid())
        refuse(QStringLiteral("Data inválida em %1: \"%2\" (use AAAA-MM-DD).").arg(name, value));
    return date;
}

// "E01,S05" or the screen's "'E01','S05'": the quoted list the queries look keys up in.
QString typeList(const QString& value)
{
    QStringList keys;
    for (QString key : value.split(u',', Qt::SkipEmptyParts)) {
        key = key.trimmed();
        if (key.size() > 2 && key.startsWith(u'\'') && key.endsWith(u'\''))
            key = key.mid(1, key.size() - 2);
        if (key.isEmpty() || key.contains(u'\''))
            refuse(QStringLiteral("Tipo de operação inválido em %1: \"%2\" (use, por exemplo, "
                                  "E01,S05).")
                       .arg(P::TypeList, value));
        keys << u'\'' + key.toUpper() + u'\'';
    }
    return keys.join(u',');
}

} // namespace

QStringList TReportParams::names()
{
    return {Empresa,   InscEstad, InscMuni, Filial,  Direction,
            DateStart, DateEnd,   TypeList, AllTypes};
}

QList<TReportDefinition::FilterItem> TReportParams::standardFilters()
{
    const auto item = [](const char* label, const QString& parameter,
                         QMap<QString, QString> values = {}) {
        TReportDefinition::FilterItem f;
        f.label = QString::fromUtf8(label);
        f.parameter = parameter;
        f.values = std::move(values);
        return f;
    };
    const QMap<QString, QString> all{{All, QStringLiteral("Todas")}};
    QList<TReportDefinition::FilterItem> out{
        item("Empresa", Empresa, all),
        item("Insc. Estadual", InscEstad, all),
        item("Insc. Municipal", InscMuni, all),
        item("Filial", Filial, all),
        item("Operação", Direction,
             {{QStringLiteral("E"), QStringLiteral("Entrada")},
              {QStringLiteral("S"), QStringLiteral("Saída")},
              {BothDirections, QStringLiteral("Ambos")}}),
        item("Período", DateStart),
        item("Tipos de Operação", AllTypes, {{All, QStringLiteral("Todos")}}),
        item("Tipos de Operação", TypeList)};
    out[5].toParameter = DateEnd;
    out[5].format = TReportDefinition::Format::Date;
    out[7].list = true;
    return out;
}

void TReportParams::allValues(TParams& params, bool&)
{
    const auto set = [&](const QString& name, const QVariant& value) {
        if (ExistParam(params, name))
            params.ParamByName(name).SetAsVariant(value);
    };
    for (const QString& code : codeNames())
        set(code, All);
    set(Direction, BothDirections);
    // Without a filter every date counts, so the preview shows the data there is.
    if (ExistParam(params, DateStart))
        params.ParamByName(DateStart).SetAsDate(QDate(1900, 1, 1));
    if (ExistParam(params, DateEnd))
        params.ParamByName(DateEnd).SetAsDate(QDate(2099, 12, 31));
    set(TypeList, QString());
    set(AllTypes, All);
}

TReportParameters TReportParams::parameters()
{
    TReportParameters parameters;
    parameters.names = names();
    parameters.filters = standardFilters();
    parameters.allValues = &TReportParams::allValues;
    return parameters;
}

void TReportParams::install()
{
    TReportParameters::install(parameters());
}

bool TReportParams::readPairs(const QStringList& texts, QMap<QString, QString>& pairs,
                              QString& error)
{
    for (const QString& param : texts) {
        const qsizetype equals = param.indexOf(u'=');
        const QString name = param.left(equals).trimmed().toUpper();
        if (equals < 1 || name.isEmpty()) {
            error = QStringLiteral("Parâmetro sem nome ou sem valor: %1 (use --param "
                                   "NOME=VALOR).")
                        .arg(param);
            return false;
        }
        if (pairs.contains(name)) {
            error = QStringLiteral("O parâmetro %1 foi informado mais de uma vez.").arg(name);
            return false;
        }
        pairs.insert(name, param.mid(equals + 1));
    }
    return true;
}

TReportParamBinder::Filter TReportParams::readFilter(const QMap<QString, QString>& params)
{
    const QStringList known = names();
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!known.contains(it.key()))
            refuse(QStringLiteral("Parâmetro desconhecido: %1 (use %2).")
                       .arg(it.key(), known.join(QStringLiteral(", "))));
    }

    TReportParamBinder::Filter filter;
    TReportParamBinder::Code* codes[] = {&filter.empresa, &filter.inscEstad, &filter.inscMuni,
                                         &filter.filial};
    const QStringList codeNameList = codeNames();
    for (qsizetype i = 0; i < codeNameList.size(); ++i) {
        const QString value = params.value(codeNameList[i], All).trimmed();
        if (value.isEmpty())
            refuse(QStringLiteral("O parâmetro %1 está vazio (use um código ou T para todos).")
                       .arg(codeNameList[i]));
        *codes[i] = {value.compare(All, Qt::CaseInsensitive) == 0 ? QString() : value, true};
    }

    filter.direction = params.value(Direction, BothDirections).trimmed().toUpper();
    if (!QStringList{QStringLiteral("E"), QStringLiteral("S"), BothDirections}.contains(
            filter.direction))
        refuse(QStringLiteral("Direção inválida em %1: \"%2\" (use E, S ou A).")
                   .arg(Direction, params.value(Direction)));

    if (params.contains(DateStart))
        filter.start = isoDate(DateStart, params.value(DateStart));
    if (params.contains(DateEnd))
        filter.end = isoDate(DateEnd, params.value(DateEnd));
    if (filter.start.isValid() && filter.end.isValid() && filter.end < filter.start)
        refuse(QStringLiteral("A data final (%1) é anterior à inicial (%2).")
                   .arg(params.value(DateEnd), params.value(DateStart)));

    filter.listaTp = typeList(params.value(TypeList));
    filter.list = !filter.listaTp.isEmpty();
    if (params.contains(AllTypes)) {
        const QString all = params.value(AllTypes).trimmed().toUpper();
        if (all != All && !all.isEmpty())
            refuse(QStringLiteral("Valor inválido em %1: \"%2\" (use T para todos os tipos, ou "
                                  "vazio com a lista em %3).")
                       .arg(AllTypes, params.value(AllTypes), TypeList));
        if (all.isEmpty() != filter.list)
            refuse(filter.list ? QStringLiteral("%1=T (todos os tipos) contradiz a lista em %2.")
                                     .arg(AllTypes, TypeList)
                               : QStringLiteral("%1 vazio pede a lista de tipos em %2.")
                                     .arg(AllTypes, TypeList));
    }
    return filter;
}
