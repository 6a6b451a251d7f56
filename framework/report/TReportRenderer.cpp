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
    const bool grouped = d.HasGroup();
    const TReportDefinition::Group group = d.GroupBy();
    const int groupIndex = grouped ? run.column(group.field) : -1;
    std::vector<int> groupTextIndex;
    for (const QString& f : group.textFields)
        groupTextIndex.push_back(run.column(f));

    // Totals are summed in cents so that the sum of the printed values is printed.
    std::vector<qint64> groupSums(sumColumns.size(), 0), reportSums(sumColumns.size(), 0);
    qint64 groupCount = 0;
    const auto sumsBand = [&](const QString& caption, qint64 count, const std::vector<qint64>& sums,
                              bool grand) {
        QStringList parts;
        if (!caption.isEmpty())
            parts << caption;
        if (!totals.countLabel.isEmpty())
            parts << QStringLiteral("%1: %2").arg(totals.countLabel, brazil().toString(count));
        std::vector<QByteArray> texts;
        for (size_t t = 0; t < sums.size(); ++t)
            texts.push_back(TReportText::encode(
                TValueFormat::sum(sums[t], columns[size_t(sumColumns[t])].format)));
        m_layout->sums(TReportText::encode(parts.join(QStringLiteral(" - "))), texts, grand);
    };

    QVariant groupKey;
    bool inGroup = false;
    std::vector<QByteArray> cells(columns.size());
    while (const TRowSource::Row* row = run.next()) {
        if (grouped && (!inGroup || (*row)[size_t(groupIndex)] != groupKey)) {
            if (inGroup && d.HasTotals()) {
                sumsBand(group.footer, groupCount, groupSums, false);
                std::fill(groupSums.begin(), groupSums.end(), 0);
                groupCount = 0;
            }
            groupKey = (*row)[size_t(groupIndex)];
            QStringList parts;
            for (size_t g = 0; g < groupTextIndex.size(); ++g) {
                const QString part = formatValue((*row)[size_t(groupTextIndex[g])],
                                                 group.textColumns[qsizetype(g)].format);
                if (!part.isEmpty())
                    parts << part;
            }
            const QString text = parts.join(QStringLiteral(" - "));
            m_layout->group(
                TReportText::encode(group.caption.isEmpty() ? text : group.caption + u' ' + text));
            inGroup = true;
        }
        for (size_t c = 0; c < cells.size(); ++c) {
            const auto& col = columns[qsizetype(c)];
            cells[c] = TReportText::encode(
                shown(formatValue((*row)[size_t(index[c])], col.format), col.values));
        }
        m_layout->row(cells);
        for (size_t t = 0; t < sumColumns.size(); ++t) {
            const qint64 cents = toCents((*row)[size_t(index[size_t(sumColumns[t])])]);
            groupSums[t] += cents;
            reportSums[t] += cents;
        }
        ++groupCount;
    }
    if (run.cancelled())
        return false;

    if (run.rowsRead() == 0)
        m_layout->message(
            TReportText::encode(QStringLiteral("Não há dados para o filtro informado.")));
    if (inGroup && d.HasTotals())
        sumsBand(group.footer, groupCount, groupSums, false);
    if (d.HasTotals())
        sumsBand(totals.caption, run.rowsRead(), reportSums, true);
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
