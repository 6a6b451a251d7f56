#include "TReportRenderer.h"

#include "EFrameworkError.h"
#include "TListText.h"
#include "TReportLayout.h"
#include "TReportPainterCanvas.h"
#include "TReportPdfWriter.h"
#include "TReportRun.h"
#include "TReportText.h"
#include "TValueFormat.h"

#include <QLocale>
#include <QPainter>
#include <QPrinter>
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
    return QStringLiteral("Gerando página %1 de %2…").arg(page).arg(pages);
}

} // namespace

TReportRenderer::TReportRenderer(const TReportDefinition& definition, const TParams& params)
    : m_definition(definition), m_params(params), m_printedAt(QDateTime::currentDateTime())
{
}

TReportRenderer::~TReportRenderer() = default;

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

bool TReportRenderer::paginate(TReportRun& run)
{
    const TReportDefinition& d = m_definition;
    run.checkColumns();
    m_layout = std::make_unique<TReportLayout>(d, filterText(), m_printedAt);
    m_layout->setPageStarted([&run](int page) {
        run.progress(QStringLiteral("Preparando página %1…").arg(page), page, 0);
    });

    const QList<TReportDefinition::Column> columns = d.Columns();
    std::vector<int> index;
    for (const auto& c : columns)
        index.push_back(run.column(c.field));
    const TReportDefinition::Totals totals = d.TotalsBy();
    const std::vector<int>& sumColumns = m_layout->sumColumns();

    // One level per group, outer first; each sums its rows in cents so that the sum of
    // the printed values is printed.
    struct Level
    {
        TReportDefinition::Group group;
        int index = -1;
        std::vector<int> textIndex;
        std::vector<bool> shows;
        std::vector<qint64> sums;
        qint64 count = 0;
        QVariant key;
        bool open = false;
    };
    std::vector<Level> levels;
    for (const TReportDefinition::Group& g : {d.GroupBy(), d.SubGroup()}) {
        if (g.field.isEmpty() || (!levels.empty() && !d.HasSubGroup()))
            continue;
        Level level;
        level.group = g;
        level.index = run.column(g.field);
        for (const QString& f : g.textFields)
            level.textIndex.push_back(run.column(f));
        for (const int c : sumColumns)
            level.shows.push_back(g.sums.isEmpty() ||
                                  g.sums.contains(columns[c].field, Qt::CaseInsensitive));
        level.sums.assign(sumColumns.size(), 0);
        levels.push_back(std::move(level));
    }
    std::vector<qint64> reportSums(sumColumns.size(), 0);
    const auto sumsBand = [&](const QString& caption, qint64 count, const std::vector<qint64>& sums,
                              const std::vector<bool>& shows, bool grand) {
        QStringList parts;
        if (!caption.isEmpty())
            parts << caption;
        if (!totals.countLabel.isEmpty())
            parts << QStringLiteral("%1: %2").arg(totals.countLabel, brazil().toString(count));
        std::vector<QByteArray> texts;
        for (size_t t = 0; t < sums.size(); ++t)
            texts.push_back(t < shows.size() && !shows[t]
                                ? QByteArray("")
                                : TReportText::encode(TValueFormat::sum(
                                      sums[t], columns[size_t(sumColumns[t])].format)));
        m_layout->sums(TReportText::encode(parts.join(QStringLiteral(" - "))), texts, grand);
    };
    // Closes the levels from the innermost up to first.
    const auto close = [&](size_t first) {
        for (size_t l = levels.size(); l-- > first;) {
            Level& level = levels[l];
            if (level.open && d.HasTotals())
                sumsBand(level.group.footer, level.count, level.sums, level.shows, false);
            std::fill(level.sums.begin(), level.sums.end(), 0);
            level.count = 0;
            level.open = false;
        }
    };

    std::vector<QByteArray> cells(columns.size());
    while (const TRowSource::Row* row = run.next()) {
        for (size_t l = 0; l < levels.size(); ++l) {
            Level& level = levels[l];
            if (level.open && (*row)[size_t(level.index)] == level.key)
                continue;
            close(l);
            for (size_t inner = l; inner < levels.size(); ++inner) {
                Level& opened = levels[inner];
                opened.key = (*row)[size_t(opened.index)];
                QStringList parts;
                for (size_t g = 0; g < opened.textIndex.size(); ++g) {
                    const QString part = formatValue((*row)[size_t(opened.textIndex[g])],
                                                     opened.group.textColumns[qsizetype(g)].format);
                    if (!part.isEmpty())
                        parts << part;
                }
                const QString text = parts.join(QStringLiteral(" - "));
                m_layout->group(TReportText::encode(
                    opened.group.caption.isEmpty() ? text : opened.group.caption + u' ' + text));
                opened.open = true;
            }
            break;
        }
        for (size_t c = 0; c < cells.size(); ++c) {
            const auto& col = columns[qsizetype(c)];
            cells[c] = TReportText::encode(
                shown(formatValue((*row)[size_t(index[c])], col.format), col.values));
        }
        m_layout->row(cells);
        for (size_t t = 0; t < sumColumns.size(); ++t) {
            const qint64 cents = toCents((*row)[size_t(index[size_t(sumColumns[t])])]);
            for (Level& level : levels)
                level.sums[t] += cents;
            reportSums[t] += cents;
        }
        for (Level& level : levels)
            ++level.count;
    }
    if (run.cancelled())
        return false;

    if (run.rowsRead() == 0)
        m_layout->message(
            TReportText::encode(QStringLiteral("Não há dados para o filtro informado.")));
    close(0);
    if (d.HasTotals())
        sumsBand(totals.caption, run.rowsRead(), reportSums, {}, true);
    m_layout->finish();
    return true;
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
        m_layout->drawPage(page, pdf);
    }
    pdf.finish();
    return true;
}

bool TReportRenderer::print(QPrinter* device, TReportRun& run) const
{
    QPainter painter;
    if (!painter.begin(device))
        throw EFrameworkError(QStringLiteral("Não foi possível iniciar a impressão do relatório."));
    // The layout has its own margins: the page is drawn from the paper's corner.
    const QRect paper = device->pageLayout().fullRectPixels(device->logicalDpiX());
    const QRect paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const double scale = paper.width() / pageSize().width();
    TReportPainterCanvas canvas(&painter, scale, QPointF(paper.topLeft() - paint.topLeft()),
                                [device] { device->newPage(); });
    const int pages = pageCount();
    for (int page = 1; page <= pages; ++page) {
        if (!run.progress(progressText(page, pages), page, pages)) {
            // The pages drawn so far are not sent either.
            device->abort();
            painter.end();
            return false;
        }
        m_layout->drawPage(page, canvas);
    }
    painter.end();
    return true;
}
