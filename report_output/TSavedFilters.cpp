#include "TSavedFilters.h"

#include "EFrameworkError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace {

[[noreturn]] void refuse(const QString& text)
{
    throw EFrameworkError(text);
}

const char* const periodKeys[] = {"fixo", "mes_anterior", "mes_atual", "ano_anterior", "ano_atual"};

QJsonObject codeJson(const TReportParamBinder::Code& code)
{
    return {{QStringLiteral("codigo"), code.text}, {QStringLiteral("todas"), code.all}};
}

TReportParamBinder::Code codeOf(const QJsonValue& value)
{
    const QJsonObject o = value.toObject();
    return {o.value(QStringLiteral("codigo")).toString(),
            o.value(QStringLiteral("todas")).toBool()};
}

QJsonObject toJson(const TSavedFilters::Entry& e)
{
    const TReportParamBinder::Filter& f = e.filter;
    QJsonObject o{{QStringLiteral("nome"), e.name},
                  {QStringLiteral("relatorio"), e.reportName},
                  {QStringLiteral("empresa"), codeJson(f.empresa)},
                  {QStringLiteral("inscricaoEstadual"), codeJson(f.inscEstad)},
                  {QStringLiteral("inscricaoMunicipal"), codeJson(f.inscMuni)},
                  {QStringLiteral("filial"), codeJson(f.filial)},
                  {QStringLiteral("entradaSaida"), f.direction},
                  {QStringLiteral("periodo"), QLatin1String(periodKeys[int(e.period)])},
                  {QStringLiteral("lista"), f.list},
                  {QStringLiteral("tiposOperacao"), f.listaTp}};
    if (e.period == TSavedFilters::Period::Fixed) {
        o.insert(QStringLiteral("dataInicial"), f.start.toString(Qt::ISODate));
        o.insert(QStringLiteral("dataFinal"), f.end.toString(Qt::ISODate));
    }
    return o;
}

TSavedFilters::Entry fromJson(const QJsonObject& o)
{
    TSavedFilters::Entry e;
    e.name = o.value(QStringLiteral("nome")).toString();
    e.reportName = o.value(QStringLiteral("relatorio")).toString();
    e.filter.empresa = codeOf(o.value(QStringLiteral("empresa")));
    e.filter.inscEstad = codeOf(o.value(QStringLiteral("inscricaoEstadual")));
    e.filter.inscMuni = codeOf(o.value(QStringLiteral("inscricaoMunicipal")));
    e.filter.filial = codeOf(o.value(QStringLiteral("filial")));
    e.filter.direction = o.value(QStringLiteral("entradaSaida")).toString();
    const QString period = o.value(QStringLiteral("periodo")).toString();
    for (int i = 0; i < int(std::size(periodKeys)); ++i)
        if (period == QLatin1String(periodKeys[i]))
            e.period = TSavedFilters::Period(i);
    e.filter.start =
        QDate::fromString(o.value(QStringLiteral("dataInicial")).toString(), Qt::ISODate);
    e.filter.end = QDate::fromString(o.value(QStringLiteral("dataFinal")).toString(), Qt::ISODate);
    e.filter.list = o.value(QStringLiteral("lista")).toBool();
    e.filter.listaTp = o.value(QStringLiteral("tiposOperacao")).toString();
    return e;
}

} // namespace

TSavedFilters::TSavedFilters(const QString& reportCode) : m_reportCode(reportCode)
{
}

QString TSavedFilters::directory()
{
    const QString overridden = qEnvironmentVariable("FIS_USER_FILTERS");
    if (!overridden.isEmpty())
        return overridden;
    // Beside the host's user reports, whichever program (host or fisreport) asks.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/fis01200/fishost/filters");
}

QString TSavedFilters::filePath() const
{
    return QDir(directory()).filePath(m_reportCode + QStringLiteral(".json"));
}

TSavedFilters::Store TSavedFilters::read() const
{
    Store store;
    QFile file(filePath());
    if (!file.exists())
        return store;
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("Não foi possível ler os filtros salvos em '%1': %2.")
                   .arg(QDir::toNativeSeparators(filePath()), file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        refuse(QStringLiteral("O arquivo de filtros salvos '%1' está danificado: %2.")
                   .arg(QDir::toNativeSeparators(filePath()), error.errorString()));
    for (const QJsonValue& v : doc.object().value(QStringLiteral("filtros")).toArray())
        store.entries << fromJson(v.toObject());
    const QJsonValue last = doc.object().value(QStringLiteral("ultimo"));
    if (last.isObject())
        store.last = fromJson(last.toObject());
    return store;
}

void TSavedFilters::write(const Store& store) const
{
    QJsonArray entries;
    for (const Entry& e : store.entries)
        entries << toJson(e);
    QJsonObject root{{QStringLiteral("filtros"), entries}};
    if (store.last)
        root.insert(QStringLiteral("ultimo"), toJson(*store.last));
    QDir().mkpath(directory());
    // Write-then-rename: a full disk never leaves half a file of filters behind.
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 ||
        !file.commit())
        refuse(QStringLiteral("Não foi possível gravar os filtros salvos em '%1': %2.")
                   .arg(QDir::toNativeSeparators(filePath()), file.errorString()));
}

QStringList TSavedFilters::names() const
{
    QStringList out;
    for (const Entry& e : read().entries)
        out << e.name;
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a, b) < 0;
    });
    return out;
}

std::optional<TSavedFilters::Entry> TSavedFilters::find(const QString& name) const
{
    for (const Entry& e : read().entries)
        if (e.name == name)
            return e;
    return std::nullopt;
}

void TSavedFilters::save(const Entry& entry)
{
    if (entry.name.trimmed().isEmpty())
        refuse(QStringLiteral("Informe o nome do filtro."));
    Store store = read();
    Entry saved = entry;
    saved.name = entry.name.trimmed();
    auto same = std::find_if(store.entries.begin(), store.entries.end(),
                             [&](const Entry& e) { return e.name == saved.name; });
    if (same != store.entries.end())
        *same = saved;
    else
        store.entries << saved;
    write(store);
}

void TSavedFilters::rename(const QString& name, const QString& newName)
{
    const QString trimmed = newName.trimmed();
    if (trimmed.isEmpty())
        refuse(QStringLiteral("Informe o nome do filtro."));
    Store store = read();
    Entry* found = nullptr;
    for (Entry& e : store.entries) {
        if (e.name == trimmed && e.name != name)
            refuse(QStringLiteral("Já existe um filtro chamado \"%1\".").arg(trimmed));
        if (e.name == name)
            found = &e;
    }
    if (!found)
        refuse(QStringLiteral("O filtro \"%1\" não existe.").arg(name));
    found->name = trimmed;
    write(store);
}

void TSavedFilters::remove(const QString& name)
{
    Store store = read();
    const qsizetype removed =
        store.entries.removeIf([&](const Entry& e) { return e.name == name; });
    if (removed == 0)
        refuse(QStringLiteral("O filtro \"%1\" não existe.").arg(name));
    write(store);
}

void TSavedFilters::saveLast(const Entry& entry)
{
    Store store = read();
    store.last = entry;
    write(store);
}

std::optional<TSavedFilters::Entry> TSavedFilters::last() const
{
    return read().last;
}

std::pair<QDate, QDate> TSavedFilters::dates(Period period, const QDate& today)
{
    const QDate month(today.year(), today.month(), 1);
    switch (period) {
    case Period::PreviousMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case Period::CurrentMonth:
        return {month, month.addMonths(1).addDays(-1)};
    case Period::PreviousYear:
        return {QDate(today.year() - 1, 1, 1), QDate(today.year() - 1, 12, 31)};
    case Period::CurrentYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case Period::Fixed:
        break;
    }
    return {};
}

QString TSavedFilters::periodName(Period period)
{
    switch (period) {
    case Period::PreviousMonth:
        return QStringLiteral("mês anterior");
    case Period::CurrentMonth:
        return QStringLiteral("mês atual");
    case Period::PreviousYear:
        return QStringLiteral("ano anterior");
    case Period::CurrentYear:
        return QStringLiteral("ano atual");
    case Period::Fixed:
        break;
    }
    return QStringLiteral("datas fixas");
}

QList<TSavedFilters::Period> TSavedFilters::periods()
{
    return {Period::Fixed, Period::PreviousMonth, Period::CurrentMonth, Period::PreviousYear,
            Period::CurrentYear};
}

TSavedFilters::Entry TSavedFilters::resolved(Entry entry, const QDate& today)
{
    if (entry.period != Period::Fixed)
        std::tie(entry.filter.start, entry.filter.end) = dates(entry.period, today);
    return entry;
}
