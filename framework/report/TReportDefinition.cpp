#include "TReportDefinition.h"

#include "TReportFolder.h"

#include "EFrameworkError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

using Column = TReportDefinition::Column;

// Thrown inside the parser and turned into the one message that names the file.
struct DefinitionFault
{
    QString reason;
};

[[noreturn]] void fault(const QString& reason)
{
    throw DefinitionFault{reason};
}

QString requiredText(const QJsonObject& o, const QString& key, const QString& where)
{
    const QJsonValue v = o.value(key);
    if (!v.isString() || v.toString().trimmed().isEmpty())
        fault(QStringLiteral("falta o texto '%1'%2").arg(key, where));
    return v.toString();
}

QString optionalText(const QJsonObject& o, const QString& key, const QString& where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isString())
        fault(QStringLiteral("'%1'%2 deve ser um texto").arg(key, where));
    return v.toString();
}

// A text given as one string or as an array of lines.
QStringList lines(const QJsonValue& v, const QString& key)
{
    if (v.isUndefined() || v.isNull())
        return {};
    if (v.isString())
        return v.toString().split(u'\n');
    if (!v.isArray())
        fault(QStringLiteral("'%1' deve ser um texto ou uma lista de linhas").arg(key));
    QStringList out;
    for (const QJsonValue& line : v.toArray()) {
        if (!line.isString())
            fault(QStringLiteral("'%1' deve conter apenas linhas de texto").arg(key));
        out << line.toString();
    }
    return out;
}

QStringList textList(const QJsonValue& v, const QString& key)
{
    if (v.isUndefined())
        return {};
    if (!v.isArray())
        fault(QStringLiteral("'%1' deve ser uma lista").arg(key));
    QStringList out;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString() || item.toString().isEmpty())
            fault(QStringLiteral("'%1' deve conter apenas nomes de colunas").arg(key));
        out << item.toString();
    }
    return out;
}

TReportDefinition::Format format(const QJsonObject& o, const QString& where)
{
    const QString f = optionalText(o, QStringLiteral("format"), where);
    if (f.isEmpty() || f == u"text")
        return TReportDefinition::Format::Text;
    if (f == u"date")
        return TReportDefinition::Format::Date;
    if (f == u"money")
        return TReportDefinition::Format::Money;
    if (f == u"integer")
        return TReportDefinition::Format::Integer;
    if (f == u"cnpjcpf")
        return TReportDefinition::Format::CnpjCpf;
    fault(QStringLiteral("formato '%1'%2 desconhecido (use text, date, money, integer ou cnpjcpf)")
              .arg(f, where));
}

QString formatName(TReportDefinition::Format f)
{
    switch (f) {
    case TReportDefinition::Format::Date:
        return QStringLiteral("date");
    case TReportDefinition::Format::Money:
        return QStringLiteral("money");
    case TReportDefinition::Format::Integer:
        return QStringLiteral("integer");
    case TReportDefinition::Format::CnpjCpf:
        return QStringLiteral("cnpjcpf");
    case TReportDefinition::Format::Text:
        break;
    }
    return QStringLiteral("text");
}

QMap<QString, QString> valueMap(const QJsonObject& o, const QString& where)
{
    const QJsonValue v = o.value(QStringLiteral("values"));
    QMap<QString, QString> out;
    if (v.isUndefined())
        return out;
    if (!v.isObject())
        fault(QStringLiteral("'values'%1 deve associar valores a textos").arg(where));
    const QJsonObject map = v.toObject();
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (!it.value().isString())
            fault(QStringLiteral("'values'%1 deve associar valores a textos").arg(where));
        out.insert(it.key(), it.value().toString());
    }
    return out;
}

QJsonObject valueMapJson(const QMap<QString, QString>& values)
{
    QJsonObject o;
    for (auto it = values.begin(); it != values.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

QJsonArray linesJson(const QStringList& lines)
{
    QJsonArray a;
    for (const QString& line : lines)
        a.append(line);
    return a;
}

QString alignmentName(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        return QStringLiteral("right");
    if (a & Qt::AlignHCenter)
        return QStringLiteral("center");
    return QStringLiteral("left");
}

Column column(const QJsonObject& co, const QString& where)
{
    Column c;
    c.field = requiredText(co, QStringLiteral("field"), where);
    c.title = optionalText(co, QStringLiteral("title"), where);
    const QJsonValue width = co.value(QStringLiteral("width"));
    if (!width.isUndefined()) {
        // Shares of the line: past these bounds one column squeezes the others to nothing.
        constexpr double least = 0.1, most = 1000;
        const double w = width.toDouble();
        if (!width.isDouble() || !std::isfinite(w) || w < least || w > most)
            fault(QStringLiteral("a largura%1 (%2) deve ser um número entre 0,1 e 1.000")
                      .arg(where, c.field));
        c.width = w;
    }
    const QString align = optionalText(co, QStringLiteral("alignment"), where);
    if (align.isEmpty() || align == u"left")
        c.alignment = Qt::AlignLeft;
    else if (align == u"right")
        c.alignment = Qt::AlignRight;
    else if (align == u"center")
        c.alignment = Qt::AlignHCenter;
    else
        fault(QStringLiteral("alinhamento '%1'%2 desconhecido (use left, center ou right)")
                  .arg(align, where));
    c.format = format(co, where);
    c.values = valueMap(co, where);
    c.visible = co.value(QStringLiteral("visible")).toBool(true);
    return c;
}

QJsonObject columnJson(const Column& c)
{
    QJsonObject co;
    co.insert(QStringLiteral("field"), c.field);
    co.insert(QStringLiteral("title"), c.title);
    co.insert(QStringLiteral("width"), c.width);
    co.insert(QStringLiteral("alignment"), alignmentName(c.alignment));
    if (c.format != TReportDefinition::Format::Text)
        co.insert(QStringLiteral("format"), formatName(c.format));
    if (!c.values.isEmpty())
        co.insert(QStringLiteral("values"), valueMapJson(c.values));
    if (!c.visible)
        co.insert(QStringLiteral("visible"), false);
    return co;
}

// Group texts: a column name, or a column object when the export needs its title.
QList<Column> groupColumns(const QJsonValue& v)
{
    if (v.isUndefined())
        return {};
    if (!v.isArray())
        fault(QStringLiteral("'text' do grupo deve ser uma lista"));
    QList<Column> out;
    for (const QJsonValue& item : v.toArray()) {
        const QString where = QStringLiteral(" do texto %1 do grupo").arg(out.size() + 1);
        if (item.isObject()) {
            out << column(item.toObject(), where);
            continue;
        }
        if (!item.isString() || item.toString().isEmpty())
            fault(QStringLiteral("'text' do grupo deve conter nomes ou objetos de colunas"));
        Column c;
        c.field = c.title = item.toString();
        out << c;
    }
    return out;
}

TReportDefinition::Group groupOf(const QJsonObject& go, const QString& where)
{
    TReportDefinition::Group g;
    g.field = requiredText(go, QStringLiteral("field"), where);
    g.caption = optionalText(go, QStringLiteral("caption"), where);
    g.textColumns = groupColumns(go.value(QStringLiteral("text")));
    if (g.textColumns.isEmpty()) {
        Column c;
        c.field = c.title = g.field;
        g.textColumns << c;
    }
    for (const Column& c : g.textColumns)
        g.textFields << c.field;
    g.footer = optionalText(go, QStringLiteral("footer"), where);
    g.sums = textList(go.value(QStringLiteral("sums")), QStringLiteral("sums"));
    return g;
}

QJsonObject groupJson(const TReportDefinition::Group& g)
{
    QJsonObject go;
    go.insert(QStringLiteral("field"), g.field);
    go.insert(QStringLiteral("caption"), g.caption);
    QJsonArray text;
    for (const Column& c : g.textColumns)
        text.append(c.title == c.field && c.format == TReportDefinition::Format::Text
                        ? QJsonValue(c.field)
                        : QJsonValue(columnJson(c)));
    go.insert(QStringLiteral("text"), text);
    go.insert(QStringLiteral("footer"), g.footer);
    if (!g.sums.isEmpty())
        go.insert(QStringLiteral("sums"), linesJson(g.sums));
    return go;
}

QPageLayout::Orientation orientationOf(const QJsonObject& o)
{
    const QString orientation = optionalText(o, QStringLiteral("orientation"), {});
    if (orientation.isEmpty() || orientation == u"portrait")
        return QPageLayout::Portrait;
    if (orientation == u"landscape")
        return QPageLayout::Landscape;
    fault(QStringLiteral("orientação '%1' desconhecida (use portrait ou landscape)")
              .arg(orientation));
}

// The query texts: SQL for every database, SQL_IB for Firebird when it differs.
void readQuery(const QJsonObject& o, TReportDefinition& d)
{
    const QJsonValue query = o.value(QStringLiteral("query"));
    if (!query.isObject())
        fault(QStringLiteral("falta a consulta ('query')"));
    const QStringList sql =
        lines(query.toObject().value(QStringLiteral("SQL")), QStringLiteral("SQL"));
    d.setSQL_IB(lines(query.toObject().value(QStringLiteral("SQL_IB")), QStringLiteral("SQL_IB")));
    if (sql.join(QString()).trimmed().isEmpty())
        fault(QStringLiteral("falta o texto 'SQL' da consulta"));
    d.setSQL(sql);
}

QList<Column> columnsOf(const QJsonObject& o)
{
    const QJsonValue columns = o.value(QStringLiteral("columns"));
    if (!columns.isArray() || columns.toArray().isEmpty())
        fault(QStringLiteral("falta a lista de colunas ('columns')"));
    QList<Column> out;
    int n = 0;
    for (const QJsonValue& cv : columns.toArray()) {
        ++n;
        const QString where = QStringLiteral(" da coluna %1").arg(n);
        if (!cv.isObject())
            fault(QStringLiteral("a coluna %1 não é um objeto").arg(n));
        out << column(cv.toObject(), where);
    }
    return out;
}

TReportDefinition::FilterItem filterItem(const QJsonObject& fo, const QString& where)
{
    TReportDefinition::FilterItem f;
    f.label = requiredText(fo, QStringLiteral("label"), where);
    f.parameter = requiredText(fo, QStringLiteral("parameter"), where);
    f.toParameter = optionalText(fo, QStringLiteral("to"), where);
    f.format = format(fo, where);
    f.values = valueMap(fo, where);
    f.list = fo.value(QStringLiteral("list")).toBool(false);
    return f;
}

QList<TReportDefinition::FilterItem> filtersOf(const QJsonObject& o)
{
    const QJsonValue filters = o.value(QStringLiteral("filters"));
    if (!filters.isUndefined() && !filters.isArray())
        fault(QStringLiteral("'filters' deve ser uma lista"));
    QList<TReportDefinition::FilterItem> out;
    int n = 0;
    for (const QJsonValue& fv : filters.toArray()) {
        ++n;
        const QString where = QStringLiteral(" do filtro %1").arg(n);
        if (!fv.isObject())
            fault(QStringLiteral("o filtro %1 não é um objeto").arg(n));
        out << filterItem(fv.toObject(), where);
    }
    return out;
}

// Totals are read after the columns: each field must be a money or integer column.
void readTotals(const QJsonObject& o, TReportDefinition& d)
{
    const QJsonValue totals = o.value(QStringLiteral("totals"));
    if (totals.isUndefined())
        return;
    if (!totals.isObject())
        fault(QStringLiteral("'totals' deve ser um objeto"));
    const QJsonObject to = totals.toObject();
    const QString where = QStringLiteral(" dos totais");
    TReportDefinition::Totals t;
    t.fields = textList(to.value(QStringLiteral("fields")), QStringLiteral("fields"));
    t.caption = optionalText(to, QStringLiteral("caption"), where);
    t.countLabel = optionalText(to, QStringLiteral("countLabel"), where);
    const QList<Column> columns = d.Columns();
    for (const QString& field : t.fields) {
        const auto it = std::find_if(columns.begin(), columns.end(), [&](const Column& c) {
            return c.field.compare(field, Qt::CaseInsensitive) == 0;
        });
        if (it == columns.end() || (it->format != TReportDefinition::Format::Money &&
                                    it->format != TReportDefinition::Format::Integer))
            fault(QStringLiteral("o total '%1' não é uma coluna de valor (money ou integer)")
                      .arg(field));
    }
    d.setTotals(t);
}

// The keys added with the designer: a second group level, the sort fields and the
// filter line switch. Files without them read as before.
void readDesignKeys(const QJsonObject& o, TReportDefinition& d)
{
    const QJsonValue sub = o.value(QStringLiteral("subgroup"));
    if (!sub.isUndefined()) {
        if (!sub.isObject() || !d.HasGroup())
            fault(QStringLiteral("'subgroup' deve ser um objeto e exige 'group'"));
        d.setSubGroup(groupOf(sub.toObject(), QStringLiteral(" do subgrupo")));
    }
    const QStringList sort = textList(o.value(QStringLiteral("sort")), QStringLiteral("sort"));
    static const QRegularExpression sortItem(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*( (ASC|DESC))?$"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& item : sort)
        if (!sortItem.match(item).hasMatch())
            fault(QStringLiteral("ordem '%1' inválida (use NOME ou NOME DESC)").arg(item));
    d.setSort(sort);
    d.setFilterLine(o.value(QStringLiteral("filterLine")).toBool(true));
    const QStringList totals = d.TotalsBy().fields;
    for (const TReportDefinition::Group& g : {d.GroupBy(), d.SubGroup()})
        for (const QString& f : g.sums)
            if (!totals.contains(f, Qt::CaseInsensitive))
                fault(QStringLiteral("o subtotal '%1' não está entre os totais").arg(f));
}

// Report files are "<code>.json" or "<code>_<anything>.json".
bool isFileOfCode(const QString& fileName, const QString& reportCode)
{
    const QString base = QFileInfo(fileName).completeBaseName();
    return base.compare(reportCode, Qt::CaseInsensitive) == 0 ||
           base.startsWith(reportCode + u'_', Qt::CaseInsensitive);
}

} // namespace

TReportDefinition TReportDefinition::fromJson(const QJsonObject& o, const QString& origin)
{
    try {
        TReportDefinition d;
        d.m_filePath = origin;
        d.m_name = requiredText(o, QStringLiteral("name"), {});
        d.m_reportCode = requiredText(o, QStringLiteral("reportCode"), {});
        d.m_title = optionalText(o, QStringLiteral("title"), {});
        if (d.m_title.isEmpty())
            d.m_title = d.m_name;
        d.m_orientation = orientationOf(o);
        readQuery(o, d);
        d.m_columns = columnsOf(o);
        d.m_filters = filtersOf(o);
        const QJsonValue group = o.value(QStringLiteral("group"));
        if (!group.isUndefined()) {
            if (!group.isObject())
                fault(QStringLiteral("'group' deve ser um objeto"));
            d.m_group = groupOf(group.toObject(), QStringLiteral(" do grupo"));
        }
        readTotals(o, d);
        readDesignKeys(o, d);
        return d;
    } catch (const DefinitionFault& f) {
        throw EFrameworkError(
            QStringLiteral("A definição de relatório do arquivo '%1' é inválida: %2.")
                .arg(origin, f.reason));
    }
}

TReportDefinition TReportDefinition::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFrameworkError(
            QStringLiteral("Não foi possível ler o arquivo de definição de relatório '%1': %2.")
                .arg(path, file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        throw EFrameworkError(QStringLiteral("A definição de relatório do arquivo '%1' é "
                                             "inválida: o texto não é JSON válido (posição %2).")
                                  .arg(path)
                                  .arg(error.offset));
    if (!doc.isObject())
        throw EFrameworkError(QStringLiteral("A definição de relatório do arquivo '%1' é "
                                             "inválida: o arquivo não contém um objeto JSON.")
                                  .arg(path));
    return fromJson(doc.object(), path);
}

QList<TReportDefinition> TReportDefinition::listForCode(const QString& directory,
                                                        const QString& reportCode)
{
    if (const QString refused = TReportFolder::unsafe(directory); !refused.isEmpty())
        throw EFrameworkError(refused);
    QList<TReportDefinition> out;
    const QDir dir(directory);
    const QStringList files =
        dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& fileName : files) {
        if (!isFileOfCode(fileName, reportCode))
            continue;
        TReportDefinition d = load(dir.filePath(fileName));
        if (d.ReportCode().compare(reportCode, Qt::CaseInsensitive) == 0)
            out << d;
    }
    return out;
}

QList<TReportDefinition> TReportDefinition::listForCode(const QString& directory,
                                                        const QString& reportCode,
                                                        QStringList& faults)
{
    QList<TReportDefinition> out;
    if (const QString refused = TReportFolder::unsafe(directory); !refused.isEmpty()) {
        faults << refused;
        return out;
    }
    const QDir dir(directory);
    // Unreadable files too: they are reported, not passed over in silence.
    for (const QString& fileName :
         dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        if (!isFileOfCode(fileName, reportCode))
            continue;
        try {
            TReportDefinition d = load(dir.filePath(fileName));
            if (d.ReportCode().compare(reportCode, Qt::CaseInsensitive) == 0)
                out << d;
        } catch (const EFrameworkError& e) {
            faults << e.message();
        }
    }
    return out;
}

QString TReportDefinition::newFilePath(const QString& directory, const QString& reportCode)
{
    const QDir dir(directory);
    const QRegularExpression numbered(
        QStringLiteral("^%1_(\\d+)\\.json$").arg(QRegularExpression::escape(reportCode)),
        QRegularExpression::CaseInsensitiveOption);
    int last = 0;
    for (const QString& fileName : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        const QRegularExpressionMatch m = numbered.match(fileName);
        if (m.hasMatch())
            last = std::max(last, m.captured(1).toInt());
    }
    return dir.filePath(
        QStringLiteral("%1_%2.json").arg(reportCode).arg(last + 1, 2, 10, QChar(u'0')));
}

void TReportDefinition::setColumnTitle(int column, const QString& title)
{
    if (column >= 0 && column < m_columns.size())
        m_columns[column].title = title;
}

QJsonObject TReportDefinition::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), m_name);
    o.insert(QStringLiteral("reportCode"), m_reportCode);
    o.insert(QStringLiteral("title"), m_title);
    o.insert(QStringLiteral("orientation"), m_orientation == QPageLayout::Landscape
                                                ? QStringLiteral("landscape")
                                                : QStringLiteral("portrait"));
    QJsonObject query;
    query.insert(QStringLiteral("SQL"), linesJson(m_sql));
    if (!m_sqlIb.isEmpty())
        query.insert(QStringLiteral("SQL_IB"), linesJson(m_sqlIb));
    o.insert(QStringLiteral("query"), query);

    QJsonArray filters;
    for (const FilterItem& f : m_filters) {
        QJsonObject fo;
        fo.insert(QStringLiteral("label"), f.label);
        fo.insert(QStringLiteral("parameter"), f.parameter);
        if (!f.toParameter.isEmpty())
            fo.insert(QStringLiteral("to"), f.toParameter);
        if (f.format != Format::Text)
            fo.insert(QStringLiteral("format"), formatName(f.format));
        if (!f.values.isEmpty())
            fo.insert(QStringLiteral("values"), valueMapJson(f.values));
        if (f.list)
            fo.insert(QStringLiteral("list"), true);
        filters.append(fo);
    }
    if (!filters.isEmpty())
        o.insert(QStringLiteral("filters"), filters);

    QJsonArray columns;
    for (const Column& c : m_columns)
        columns.append(columnJson(c));
    o.insert(QStringLiteral("columns"), columns);

    if (HasGroup())
        o.insert(QStringLiteral("group"), groupJson(m_group));
    if (HasSubGroup())
        o.insert(QStringLiteral("subgroup"), groupJson(m_subGroup));
    if (!m_sort.isEmpty())
        o.insert(QStringLiteral("sort"), linesJson(m_sort));
    if (!m_filterLine)
        o.insert(QStringLiteral("filterLine"), false);
    if (HasTotals()) {
        QJsonObject to;
        to.insert(QStringLiteral("fields"), linesJson(m_totals.fields));
        to.insert(QStringLiteral("caption"), m_totals.caption);
        to.insert(QStringLiteral("countLabel"), m_totals.countLabel);
        o.insert(QStringLiteral("totals"), to);
    }
    return o;
}

void TReportDefinition::save(const QString& path) const
{
    if (const QString link = TReportFolder::symlinked(path, QStringLiteral("O relatório"));
        !link.isEmpty())
        throw EFrameworkError(link);
    const unsigned mode = TReportFolder::publishMode(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(toJson()).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        throw EFrameworkError(
            QStringLiteral("Não foi possível gravar a definição de relatório em '%1': %2.")
                .arg(path, file.errorString()));
    TReportFolder::applyMode(path, mode);
}

namespace {

bool sameField(const QString& a, const QString& b)
{
    return a.section(u' ', 0, 0).compare(b.section(u' ', 0, 0), Qt::CaseInsensitive) == 0;
}

QStringList ordered(const QStringList& sql, const QStringList& order)
{
    if (sql.join(QString()).trimmed().isEmpty())
        return sql;
    QStringList by;
    for (const QString& item : order)
        by << QStringLiteral("Q.") + item;
    QStringList out{QStringLiteral("SELECT * FROM (")};
    out << sql;
    out << QStringLiteral(") Q ORDER BY ") + by.join(QStringLiteral(", "));
    return out;
}

} // namespace

TReportDefinition TReportDefinition::printable() const
{
    TReportDefinition d = *this;
    QStringList hidden;
    d.m_columns.clear();
    for (const Column& c : m_columns) {
        if (c.visible)
            d.m_columns << c;
        else
            hidden << c.field;
    }
    const auto shownOnly = [&hidden](QStringList fields) {
        fields.removeIf(
            [&hidden](const QString& f) { return hidden.contains(f, Qt::CaseInsensitive); });
        return fields;
    };
    d.m_totals.fields = shownOnly(m_totals.fields);
    d.m_group.sums = shownOnly(m_group.sums);
    d.m_subGroup.sums = shownOnly(m_subGroup.sums);
    if (!m_filterLine)
        d.m_filters.clear();
    if (!m_sort.isEmpty()) {
        // The groups come first: a group is a run of equal values.
        QStringList order;
        for (const QString& f : {m_group.field, HasSubGroup() ? m_subGroup.field : QString()})
            if (!f.isEmpty())
                order << f;
        for (const QString& item : m_sort)
            if (std::none_of(order.begin(), order.end(),
                             [&](const QString& o) { return sameField(o, item); }))
                order << item;
        d.m_sql = ordered(m_sql, order);
        d.m_sqlIb = ordered(m_sqlIb, order);
        d.m_sort.clear();
    }
    return d;
}
