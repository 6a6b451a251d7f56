#include "TReportDesignModel.h"

#include "EFrameworkError.h"
#include "TApplication.h"
#include "TReadStatement.h"
#include "TReportDesignCommand_p.h"
#include "TReportParameters.h"
#include "TSqlText.h"
#include "TUserReports.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUndoStack>

namespace {

using Column = TReportDefinition::Column;
using Format = TReportDefinition::Format;

bool summable(Format f)
{
    return f == Format::Money || f == Format::Integer;
}

int indexOfField(const QList<Column>& columns, const QString& field)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Leaves out of the totals and group footers whatever is no longer a summable column.
void keepTotalsConsistent(TReportDefinition& d)
{
    TReportDefinition::Totals totals = d.TotalsBy();
    totals.fields.removeIf([&](const QString& f) {
        const int i = indexOfField(d.Columns(), f);
        return i < 0 || !summable(d.Columns()[i].format);
    });
    d.setTotals(totals);
    const auto trim = [&](TReportDefinition::Group g) {
        g.sums.removeIf([&](const QString& f) { return !totals.fields.contains(f); });
        return g;
    };
    if (d.HasGroup())
        d.setGroupBy(trim(d.GroupBy()));
    if (d.HasSubGroup())
        d.setSubGroup(trim(d.SubGroup()));
}

} // namespace

TReportDesignModel::TReportDesignModel(const TReportDefinition& definition,
                                       const QString& shippedDirectory, QObject* parent)
    : QObject(parent), m_definition(definition), m_shippedDirectory(shippedDirectory),
      m_undo(new QUndoStack(this))
{
    if (m_shippedDirectory.isEmpty())
        m_shippedDirectory = TApplication::instance()->reportDirectory();
}

TReportDesignModel::~TReportDesignModel() = default;

QStringList TReportDesignModel::parameterNames()
{
    return TReportParameters::installed().names;
}

QList<TReportDefinition::FilterItem> TReportDesignModel::standardFilters()
{
    return TReportParameters::installed().filters;
}

TReportDefinition TReportDesignModel::emptyReport(const QString& reportCode)
{
    TReportDefinition d;
    d.setReportCode(reportCode);
    d.setFilters(standardFilters());
    return d;
}

void TReportDesignModel::apply(const TReportDefinition& definition)
{
    // The file and the listed name belong to the save, not to the edits undone.
    const QString path = m_definition.FilePath();
    const QString name = m_definition.Name();
    m_definition = definition;
    m_definition.setFilePath(path);
    m_definition.setName(name);
    Q_EMIT changed();
}

void TReportDesignModel::push(const QString& text, const TReportDefinition& after,
                              const QString& mergeKey)
{
    if (after.toJson() == m_definition.toJson())
        return;
    m_undo->push(new TReportDesignCommand(text, mergeKey, m_definition, after,
                                          [this](const TReportDefinition& d) { apply(d); }));
}

int TReportDesignModel::checkedColumn(int index) const
{
    if (index < 0 || index >= m_definition.Columns().size())
        throw EFrameworkError(QStringLiteral("Coluna %1 inexistente.").arg(index + 1));
    return index;
}

void TReportDesignModel::addColumn(const QString& field, int at)
{
    const QString name = field.trimmed();
    if (name.isEmpty())
        throw EFrameworkError(QStringLiteral("Informe o campo da coluna."));
    QList<Column> columns = m_definition.Columns();
    if (indexOfField(columns, name) >= 0)
        throw EFrameworkError(QStringLiteral("A coluna '%1' já está no relatório.").arg(name));
    Column c;
    c.field = name;
    c.title = name;
    // The house's naming tells values and dates apart; the clerk can change it.
    if (name.startsWith(QStringLiteral("VL"), Qt::CaseInsensitive)) {
        c.format = Format::Money;
        c.alignment = Qt::AlignRight;
    } else if (name.startsWith(QStringLiteral("QT"), Qt::CaseInsensitive)) {
        c.format = Format::Integer;
        c.alignment = Qt::AlignRight;
    } else if (name.startsWith(QStringLiteral("DT"), Qt::CaseInsensitive)) {
        c.format = Format::Date;
        c.alignment = Qt::AlignHCenter;
    }
    columns.insert(at < 0 || at > columns.size() ? columns.size() : at, c);
    TReportDefinition d = m_definition;
    d.setColumns(columns);
    push(QStringLiteral("Incluir coluna %1").arg(name), d);
}

void TReportDesignModel::removeColumn(int index)
{
    QList<Column> columns = m_definition.Columns();
    const QString field = columns.takeAt(checkedColumn(index)).field;
    TReportDefinition d = m_definition;
    d.setColumns(columns);
    keepTotalsConsistent(d);
    push(QStringLiteral("Excluir coluna %1").arg(field), d);
}

void TReportDesignModel::moveColumn(int from, int to)
{
    QList<Column> columns = m_definition.Columns();
    checkedColumn(from);
    checkedColumn(to);
    columns.move(from, to);
    TReportDefinition d = m_definition;
    d.setColumns(columns);
    push(QStringLiteral("Mover coluna %1").arg(columns[to].field), d);
}

TReportDefinition TReportDesignModel::withColumn(int index,
                                                 const std::function<void(Column&)>& change) const
{
    QList<Column> columns = m_definition.Columns();
    change(columns[checkedColumn(index)]);
    TReportDefinition d = m_definition;
    d.setColumns(columns);
    return d;
}

void TReportDesignModel::setColumnTitle(int index, const QString& title)
{
    TReportDefinition d = m_definition;
    d.setColumnTitle(checkedColumn(index), title);
    push(QStringLiteral("Título da coluna"), d, QStringLiteral("title:%1").arg(index));
}

void TReportDesignModel::setColumnWidth(int index, double width)
{
    if (!(width > 0))
        throw EFrameworkError(QStringLiteral("A largura da coluna deve ser maior que zero."));
    TReportDefinition d = withColumn(index, [&](Column& c) { c.width = width; });
    push(QStringLiteral("Largura da coluna"), d, QStringLiteral("width:%1").arg(index));
}

void TReportDesignModel::setColumnAlignment(int index, Qt::Alignment alignment)
{
    TReportDefinition d = withColumn(index, [&](Column& c) { c.alignment = alignment; });
    push(QStringLiteral("Alinhamento da coluna"), d);
}

void TReportDesignModel::setColumnFormat(int index, Format format)
{
    TReportDefinition d = withColumn(index, [&](Column& c) { c.format = format; });
    keepTotalsConsistent(d);
    push(QStringLiteral("Formato da coluna"), d);
}

void TReportDesignModel::setColumnValues(int index, const QMap<QString, QString>& values)
{
    TReportDefinition d = withColumn(index, [&](Column& c) { c.values = values; });
    push(QStringLiteral("Tabela de valores da coluna"), d);
}

void TReportDesignModel::setColumnVisible(int index, bool visible)
{
    TReportDefinition d = withColumn(index, [&](Column& c) { c.visible = visible; });
    push(visible ? QStringLiteral("Mostrar coluna") : QStringLiteral("Ocultar coluna"), d);
}

void TReportDesignModel::setSort(const QStringList& sort)
{
    TReportDefinition d = m_definition;
    d.setSort(sort);
    validate(d);
    push(QStringLiteral("Ordem"), d);
}

void TReportDesignModel::setGroup(int level, const Group& group)
{
    if (level != 0 && level != 1)
        throw EFrameworkError(QStringLiteral("O relatório tem no máximo dois níveis de grupo."));
    TReportDefinition d = m_definition;
    Group g = group;
    g.field = g.field.trimmed();
    if (g.field.isEmpty()) {
        if (level == 0)
            d.setGroupBy({});
        d.setSubGroup({});
        push(QStringLiteral("Excluir grupo"), d);
        return;
    }
    if (level == 1 && !m_definition.HasGroup())
        throw EFrameworkError(QStringLiteral("Defina o primeiro grupo antes do segundo."));
    if (g.textColumns.isEmpty()) {
        if (g.textFields.isEmpty())
            g.textFields << g.field;
        for (const QString& f : std::as_const(g.textFields)) {
            const int i = indexOfField(d.Columns(), f);
            Column c;
            c.field = c.title = f;
            if (i >= 0) {
                c.title = d.Columns()[i].title;
                c.format = d.Columns()[i].format;
            }
            g.textColumns << c;
        }
    }
    g.textFields.clear();
    for (const Column& c : std::as_const(g.textColumns))
        g.textFields << c.field;
    TReportDefinition::Totals totals = d.TotalsBy();
    for (const QString& f : std::as_const(g.sums)) {
        const int i = indexOfField(d.Columns(), f);
        if (i < 0 || !summable(d.Columns()[i].format))
            throw EFrameworkError(
                QStringLiteral("O subtotal '%1' não é uma coluna de valor.").arg(f));
        if (!totals.fields.contains(f, Qt::CaseInsensitive))
            totals.fields << f;
    }
    d.setTotals(totals);
    if (level == 0)
        d.setGroupBy(g);
    else
        d.setSubGroup(g);
    // A group is a run of equal values: a query without an order gets one.
    static const QRegularExpression orderBy(QStringLiteral("\\bORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (d.Sort().isEmpty() && !orderBy.match(d.SQL().join(u'\n')).hasMatch())
        d.setSort({g.field});
    validate(d);
    push(QStringLiteral("Grupo %1").arg(level + 1), d);
}

void TReportDesignModel::setTotals(const QStringList& fields, const QString& caption,
                                   const QString& countLabel)
{
    for (const QString& f : fields) {
        const int i = indexOfField(m_definition.Columns(), f);
        if (i < 0 || !summable(m_definition.Columns()[i].format))
            throw EFrameworkError(QStringLiteral("O total '%1' não é uma coluna de valor.").arg(f));
    }
    TReportDefinition d = m_definition;
    TReportDefinition::Totals totals;
    totals.fields = fields;
    totals.caption = caption;
    totals.countLabel = countLabel;
    d.setTotals(totals);
    keepTotalsConsistent(d);
    push(QStringLiteral("Totais"), d);
}

void TReportDesignModel::setOrientation(QPageLayout::Orientation orientation)
{
    TReportDefinition d = m_definition;
    d.setOrientation(orientation);
    push(QStringLiteral("Orientação da página"), d);
}

void TReportDesignModel::setTitle(const QString& title)
{
    TReportDefinition d = m_definition;
    d.setTitle(title);
    push(QStringLiteral("Título do relatório"), d, QStringLiteral("report-title"));
}

void TReportDesignModel::setFilterLine(bool on)
{
    TReportDefinition d = m_definition;
    d.setFilterLine(on);
    if (on && d.Filters().isEmpty())
        d.setFilters(standardFilters());
    push(on ? QStringLiteral("Mostrar linha do filtro") : QStringLiteral("Ocultar linha do filtro"),
         d);
}

void TReportDesignModel::setQuery(Dialect dialect, const QString& text)
{
    const QStringList known = parameterNames();
    for (const QString& name : TSqlText::parameterNames(text))
        if (!known.contains(name, Qt::CaseInsensitive))
            throw EFrameworkError(QStringLiteral("A consulta usa o parâmetro '%1', que a tela não "
                                                 "informa. Parâmetros disponíveis: %2.")
                                      .arg(name, known.join(QStringLiteral(", "))));
    QStringList lines = text.split(u'\n');
    if (text.trimmed().isEmpty())
        lines.clear();
    TReportDefinition d = m_definition;
    if (dialect == Dialect::Firebird)
        d.setSQL_IB(lines);
    else
        d.setSQL(lines);
    push(dialect == Dialect::Firebird ? QStringLiteral("Consulta (Firebird)")
                                      : QStringLiteral("Consulta"),
         d, dialect == Dialect::Firebird ? QStringLiteral("sql-ib") : QStringLiteral("sql"));
}

QString TReportDesignModel::query(Dialect dialect) const
{
    return (dialect == Dialect::Firebird ? m_definition.SQL_IB() : m_definition.SQL()).join(u'\n');
}

void TReportDesignModel::validate(const TReportDefinition& definition, bool complete) const
{
    const QString origin =
        definition.FilePath().isEmpty() ? definition.Title() : definition.FilePath();
    QJsonObject o = definition.toJson();
    if (!complete) {
        if (definition.Name().isEmpty())
            o.insert(QStringLiteral("name"), QStringLiteral("-"));
        if (definition.SQL().isEmpty())
            o.insert(QStringLiteral("query"),
                     QJsonObject{{QStringLiteral("SQL"), QStringLiteral("SELECT 1")}});
        if (definition.Columns().isEmpty())
            o.insert(QStringLiteral("columns"),
                     QJsonArray{QJsonObject{{QStringLiteral("field"), QStringLiteral("-")}}});
    }
    TReportDefinition::fromJson(o, origin);
    if (!complete)
        return;
    for (const QStringList& text : {definition.SQL(), definition.SQL_IB()})
        if (const QString problem = TReadStatement::problem(text.join(u'\n'));
            !text.isEmpty() && !problem.isEmpty())
            throw EFrameworkError(problem);
}

bool TReportDesignModel::canSave() const
{
    return TUserReports::isUserReport(m_definition.FilePath());
}

QString TReportDesignModel::save()
{
    if (!canSave())
        throw EFrameworkError(QStringLiteral("O relatório '%1' é fornecido com o sistema e não "
                                             "pode ser alterado: use \"Salvar como…\".")
                                  .arg(m_definition.Name()));
    TReportDefinition d = m_definition;
    validate(d, true);
    d.save(d.FilePath());
    m_undo->setClean();
    Q_EMIT saved(d.FilePath());
    return d.FilePath();
}

QString TReportDesignModel::saveAs(const QString& title)
{
    TUserReports::checkTitle(title, m_shippedDirectory, m_definition.ReportCode());
    TReportDefinition d = m_definition;
    d.setName(title.trimmed());
    d.setTitle(title.trimmed());
    validate(d, true);
    const QString path = TUserReports::saveNew(d);
    d.setFilePath(path);
    m_definition = d;
    m_undo->setClean();
    Q_EMIT changed();
    Q_EMIT saved(path);
    return path;
}
