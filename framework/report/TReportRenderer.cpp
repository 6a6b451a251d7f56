#include "TReportRenderer.h"

#include "EFrameworkError.h"
#include "TListText.h"
#include "TReportCellFormat_p.h"
#include "TReportLayout_p.h"
#include "TReportPainterCanvas_p.h"
#include "TReportPdfWriter_p.h"
#include "TReportRun.h"
#include "TReportText.h"
#include "TValueFormat.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QPainter>
#include <QScopeGuard>
#include <cmath>

namespace {

const QLocale& brazil()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

QString shown(const QString& text, const QMap<QString, QString>& values)
{
    const auto it = values.constFind(text);
    return it == values.constEnd() ? text : it.value();
}

QString progressText(int page, int pages)
{
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    return QStringLiteral("Gerando página %1 de %2…")
        .arg(brazil.toString(page), brazil.toString(pages));
}

} // namespace

TReportRenderer::TReportRenderer(const TReportDefinition& definition, const TParams& params,
                                 const QDateTime& printedAt)
    : m_definition(definition), m_params(params),
      m_printedAt(printedAt.isValid() ? printedAt : QDateTime::currentDateTime())
{
}

QString TReportRenderer::formatValue(const QVariant& value, TReportDefinition::Format format)
{
    return TValueFormat::text(value, format);
}

qint64 TReportRenderer::toCents(const QVariant& value)
{
    return TValueFormat::toCents(value);
}

QString TReportRenderer::formatCents(qint64 cents)
{
    return TValueFormat::cents(cents);
}

QString TReportRenderer::filterText() const
{
    QStringList items;
    for (const TReportDefinition::FilterItem& f : m_definition.Filters()) {
        auto valueOf = [&](const QString& name) {
            const TParam* p = m_params.FindParam(name);
            if (!p || p->IsNull())
                return QString();
            QString text = f.format == TReportDefinition::Format::Date
                               ? formatValue(p->Value(), f.format)
                               : shown(p->AsString(), f.values);
            if (f.list)
                text = TListText::parse(text).join(QStringLiteral(", "));
            return text;
        };
        QString text = valueOf(f.parameter);
        if (!f.toParameter.isEmpty()) {
            const QString to = valueOf(f.toParameter);
            if (!text.isEmpty() && !to.isEmpty())
                text += QStringLiteral(" a ") + to;
            else if (!to.isEmpty())
                text = QStringLiteral("até ") + to;
        }
        if (!text.trimmed().isEmpty())
            items << f.label + QStringLiteral(": ") + text;
    }
    return items.join(QStringLiteral("    "));
}

// What the read of the rows carries from one slice to the next.
struct TReportRenderer::Pass
{
    QList<TReportDefinition::Column> columns;
    std::vector<TReportCellFormat> formats;
    std::vector<int> index;
    TReportDefinition::Totals totals;
    // One level per group, outer first. Totals are summed in cents so that the sum of
    // the printed values is printed.
    struct Level
    {
        TReportDefinition::Group group;
        int index = -1;
        std::vector<int> textIndex;
        // Which of the summed columns this level's footer shows.
        std::vector<bool> shows;
        std::vector<TReportSum> sums;
        qint64 count = 0;
        QVariant key;
        bool open = false;
    };
    std::vector<Level> levels;
    std::vector<TReportSum> reportSums;
    std::vector<QByteArray> cells;
    bool over = false;
};

TReportRenderer::~TReportRenderer() = default;

void TReportRenderer::sumsBand(const QString& caption, qint64 count,
                               const std::vector<TReportSum>& sums, bool grand,
                               const std::vector<bool>& shows)
{
    const Pass& p = *m_pass;
    QStringList parts;
    if (!caption.isEmpty())
        parts << caption;
    if (!p.totals.countLabel.isEmpty())
        parts << QStringLiteral("%1: %2").arg(p.totals.countLabel, brazil().toString(count));
    std::vector<QByteArray> texts;
    const std::vector<int>& sumColumns = m_layout->sumColumns();
    for (size_t t = 0; t < sums.size(); ++t)
        texts.push_back(
            t < shows.size() && !shows[t]
                ? QByteArray("")
                : TReportText::encode(sums[t].text(p.columns[qsizetype(sumColumns[t])].format)));
    m_layout->sums(TReportText::encode(parts.join(QStringLiteral(" - "))), texts, grand);
}

void TReportRenderer::beginPass(TReportRun& run)
{
    run.checkColumns();
    beginPass([&run](const QString& field) { return run.column(field); });
    m_layout->setPageStarted([&run](int page) {
        run.progress(QStringLiteral("Preparando página %1…").arg(page), page, 0);
    });
}

void TReportRenderer::beginPass(const std::function<int(const QString&)>& column)
{
    const TReportDefinition& d = m_definition;
    m_layout = std::make_unique<TReportLayout>(d, filterText(), m_printedAt);
    m_pass = std::make_unique<Pass>();
    Pass& p = *m_pass;
    p.columns = d.Columns();
    for (const auto& c : p.columns) {
        p.index.push_back(column(c.field));
        p.formats.emplace_back(c);
    }
    p.totals = d.TotalsBy();
    for (const TReportDefinition::Group& g : {d.GroupBy(), d.SubGroup()}) {
        if (g.field.isEmpty() || (!p.levels.empty() && !d.HasSubGroup()))
            continue;
        Pass::Level level;
        level.group = g;
        level.index = column(g.field);
        for (const QString& f : g.textFields)
            level.textIndex.push_back(column(f));
        for (const int c : m_layout->sumColumns())
            level.shows.push_back(g.sums.isEmpty() ||
                                  g.sums.contains(p.columns[c].field, Qt::CaseInsensitive));
        level.sums.assign(m_layout->sumColumns().size(), TReportSum());
        p.levels.push_back(std::move(level));
    }
    p.reportSums.assign(m_layout->sumColumns().size(), TReportSum());
    p.cells.resize(size_t(p.columns.size()));
}

void TReportRenderer::closeLevels(size_t first)
{
    Pass& p = *m_pass;
    for (size_t l = p.levels.size(); l-- > first;) {
        Pass::Level& level = p.levels[l];
        if (level.open && m_definition.HasTotals())
            sumsBand(level.group.footer, level.count, level.sums, false, level.shows);
        for (TReportSum& sum : level.sums)
            sum.clear();
        level.count = 0;
        level.open = false;
    }
}

bool TReportRenderer::paginate(TReportRun& run)
{
    beginPass(run);
    continuePass(run, -1);
    return !run.cancelled();
}

bool TReportRenderer::paginate(TReportRun& run, int pages, int budgetMs)
{
    beginPass(run);
    QElapsedTimer clock;
    clock.start();
    while (!continuePass(run, 20) && (pageCount() < pages || clock.elapsed() < budgetMs)) {
    }
    return !run.cancelled();
}

bool TReportRenderer::paginated() const
{
    return m_layout && m_layout->finished();
}

QByteArray TReportRenderer::groupText(size_t level, const TRowSource::Row& row) const
{
    const Pass::Level& opened = m_pass->levels[level];
    QStringList parts;
    for (size_t g = 0; g < opened.textIndex.size(); ++g) {
        const QString part = formatValue(row[size_t(opened.textIndex[g])],
                                         opened.group.textColumns[qsizetype(g)].format);
        if (!part.isEmpty())
            parts << part;
    }
    const QString text = parts.join(QStringLiteral(" - "));
    return TReportText::encode(opened.group.caption.isEmpty() ? text
                                                              : opened.group.caption + u' ' + text);
}

void TReportRenderer::layRow(const TRowSource::Row& row)
{
    Pass& p = *m_pass;
    for (size_t c = 0; c < p.cells.size(); ++c)
        p.formats[c].format(row[size_t(p.index[c])], p.cells[c]);
    m_layout->row(p.cells);
}

bool TReportRenderer::continuePass(TReportRun& run, int budgetMs)
{
    if (!m_pass || m_pass->over)
        return true;
    Pass& p = *m_pass;
    const std::vector<int>& sumColumns = m_layout->sumColumns();
    QElapsedTimer clock;
    clock.start();
    qint64 rows = 0;
    while (const TRowSource::Row* row = run.next()) {
        for (size_t l = 0; l < p.levels.size(); ++l) {
            if (p.levels[l].open && (*row)[size_t(p.levels[l].index)] == p.levels[l].key)
                continue;
            closeLevels(l);
            for (size_t inner = l; inner < p.levels.size(); ++inner) {
                Pass::Level& opened = p.levels[inner];
                opened.key = (*row)[size_t(opened.index)];
                m_layout->group(groupText(inner, *row));
                opened.open = true;
            }
            break;
        }
        layRow(*row);
        for (size_t t = 0; t < sumColumns.size(); ++t) {
            const size_t c = size_t(sumColumns[t]);
            qint64 cents = 0;
            const bool valid = p.formats[c].cents((*row)[size_t(p.index[c])], cents);
            const auto take = [&](TReportSum& sum) {
                if (valid)
                    sum.add(cents);
                else
                    sum.spoil();
            };
            for (Pass::Level& level : p.levels)
                take(level.sums[t]);
            take(p.reportSums[t]);
        }
        for (Pass::Level& level : p.levels)
            ++level.count;
        if (budgetMs >= 0 && ++rows % 64 == 0 && clock.elapsed() >= budgetMs)
            return false;
    }
    if (run.late())
        return false;
    p.over = true;
    if (run.cancelled())
        return true;
    finishPass(run.rowsRead());
    return true;
}

void TReportRenderer::finishPass(qint64 rows)
{
    Pass& p = *m_pass;
    p.over = true;
    if (rows == 0)
        m_layout->message(
            TReportText::encode(QStringLiteral("Não há dados para o filtro informado.")));
    closeLevels(0);
    if (m_definition.HasTotals())
        sumsBand(p.totals.caption, rows, p.reportSums, true);
    m_layout->finish();
    m_layout->setPageStarted({});
}

int TReportRenderer::rowsPerPageAtMost() const
{
    return m_layout ? m_layout->rowsPerPageAtMost() : 0;
}

bool TReportRenderer::paginate(const std::vector<Span>& spans,
                               const std::vector<TRowSource::Row>& lastRows,
                               const QStringList& columns)
{
    const auto column = [&](const QString& field) {
        for (qsizetype c = 0; c < columns.size(); ++c)
            if (columns[c].compare(field, Qt::CaseInsensitive) == 0)
                return int(c);
        throw EFrameworkError(QStringLiteral("Relatório '%1': a consulta não traz a coluna '%2'.")
                                  .arg(m_definition.Name(), field));
    };
    qint64 total = 0;
    for (const Span& span : spans)
        total += span.rows;
    // Where the last page begins follows from the sizes alone; then the same layout again,
    // with the texts of the rows from there on.
    beginPass(column);
    const qint64 lastPageFrom = layOutSpans(spans, total, nullptr);
    if (total - lastPageFrom > qint64(lastRows.size())) {
        m_layout.reset();
        m_pass.reset();
        return false;
    }
    beginPass(column);
    layOutSpans(spans, total, &lastRows);
    return true;
}

qint64 TReportRenderer::layOutSpans(const std::vector<Span>& spans, qint64 total,
                                    const std::vector<TRowSource::Row>* lastRows)
{
    Pass& p = *m_pass;
    qint64 at = 0, lastPageFrom = 0;
    m_layout->setPageStarted([&](int) { lastPageFrom = at; });
    const qint64 textsFrom = lastRows ? total - qint64(lastRows->size()) : total;
    const auto rowAt = [&](qint64 i) -> const TRowSource::Row& {
        return (*lastRows)[size_t(i - textsFrom)];
    };
    for (size_t s = 0; s < spans.size(); ++s) {
        const Span& span = spans[s];
        const size_t first = span.opensOuter || p.levels.empty() ? 0 : p.levels.size() - 1;
        closeLevels(first);
        for (size_t l = first; l < p.levels.size(); ++l) {
            qint64 end = at + span.rows;
            if (l + 1 < p.levels.size())
                for (size_t next = s + 1; next < spans.size() && !spans[next].opensOuter; ++next)
                    end += spans[next].rows;
            // A group before the rows read shows on no page drawn; every row of a group
            // carries the same texts.
            m_layout->group(end > textsFrom ? groupText(l, rowAt(qMax(at, textsFrom)))
                                            : QByteArray(""));
            p.levels[l].open = true;
        }
        for (size_t t = 0; t < p.reportSums.size() && t < span.sums.size(); ++t) {
            for (Pass::Level& level : p.levels)
                level.sums[t].add(span.sums[t]);
            p.reportSums[t].add(span.sums[t]);
        }
        for (Pass::Level& level : p.levels)
            level.count += span.rows;
        for (qint64 i = 0; i < span.rows; ++i, ++at) {
            if (at >= textsFrom)
                layRow(rowAt(at));
            else
                m_layout->skipRow();
        }
    }
    finishPass(total);
    return lastPageFrom;
}

int TReportRenderer::pageCount() const
{
    return m_layout ? m_layout->pageCount() : 0;
}

QSizeF TReportRenderer::pageSize() const
{
    return m_layout ? m_layout->pageSize() : QSizeF();
}

void TReportRenderer::drawPage(int page, QPainter* painter, double scale,
                               const QPointF& origin) const
{
    TReportPainterCanvas canvas(painter, scale, origin);
    m_layout->drawPage(page, canvas);
}

QImage TReportRenderer::pageImage(int page, double dpi) const
{
    const double scale = dpi / 72.0;
    const QSizeF size = pageSize() * scale;
    QImage image(qMax(1, qRound(size.width())), qMax(1, qRound(size.height())),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawPage(page, &painter, scale);
    return image;
}

bool TReportRenderer::writePdf(QIODevice* device, TReportRun& run) const
{
    TReportPdfWriter pdf(device, pageSize(), m_definition.Title(), m_definition.ReportCode());
    const int pages = pageCount();
    for (int page = 1; page <= pages; ++page) {
        if (!run.progress(progressText(page, pages), page, pages))
            return false;
        m_layout->drawPage(page, pdf, false);
    }
    return pdf.finish([this, &pdf](int page) {
        m_layout->drawPageNumber(page, pdf);
        return true;
    });
}

bool TReportRenderer::paginateToPdf(TReportRun& run, QIODevice* device)
{
    beginPass(run);
    m_layout->setPageStarted([&run](int page) {
        run.progress(QStringLiteral("Gerando página %1…").arg(page), page, 0);
    });
    TReportPdfWriter pdf(device, pageSize(), m_definition.Title(), m_definition.ReportCode());
    m_layout->drawAsClosed(&pdf);
    const auto detach = qScopeGuard([this] { m_layout->drawAsClosed(nullptr); });
    continuePass(run, -1);
    if (run.cancelled())
        return false;
    const int pages = pageCount();
    return pdf.finish([&](int page) {
        if (!run.progress(progressText(page, pages), page, pages))
            return false;
        m_layout->drawPageNumber(page, pdf);
        return true;
    });
}

bool TReportRenderer::paintPages(QPainter* painter, double scale, const QPointF& origin,
                                 const std::function<void()>& newPage, TReportRun& run) const
{
    TReportPainterCanvas canvas(painter, scale, origin, newPage);
    const int pages = pageCount();
    for (int page = 1; page <= pages; ++page) {
        if (!run.progress(progressText(page, pages), page, pages))
            return false;
        m_layout->drawPage(page, canvas);
    }
    return true;
}
