#include "TReportRenderer.h"

#include "EFrameworkError.h"
#include "TADOIBDataSet.h"
#include "TListText.h"
#include "TValueFormat.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
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

int findColumn(const TADOIBDataSet* rows, const QString& field, const QString& report)
{
    const int index = rows->columnIndex(field);
    if (index < 0)
        throw EFrameworkError(QStringLiteral("Relatório '%1': a consulta não traz a coluna '%2'.")
                                  .arg(report, field));
    return index;
}

} // namespace

TReportRenderer::TReportRenderer(const TReportDefinition& definition, TADOIBDataSet* rows,
                                 const TParams& params)
    : m_definition(definition), m_rows(rows), m_params(params),
      m_printedAt(QDateTime::currentDateTime())
{
    // Helvetica's metrics where the fonts exist; DejaVu is always installed.
    m_font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    m_font.setStyleHint(QFont::SansSerif);
    // No ligatures: "fi" must stay two letters for search and text extraction.
    m_font.setStyleStrategy(QFont::PreferNoShaping);
}

void TReportRenderer::checkColumns() const
{
    const QString report = m_definition.Name();
    for (const TReportDefinition::Column& c : m_definition.Columns())
        findColumn(m_rows, c.field, report);
    if (m_definition.HasGroup()) {
        findColumn(m_rows, m_definition.GroupBy().field, report);
        for (const QString& f : m_definition.GroupBy().textFields)
            findColumn(m_rows, f, report);
    }
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

int TReportRenderer::countPages(QPagedPaintDevice* device)
{
    return layout(device, nullptr, 0);
}

int TReportRenderer::render(QPagedPaintDevice* device)
{
    const int pages = countPages(device);
    QPainter painter;
    if (!painter.begin(device))
        throw EFrameworkError(QStringLiteral("Não foi possível iniciar a impressão do relatório."));
    layout(device, &painter, pages);
    painter.end();
    return pages;
}

// One pass over the rows; without a painter it only counts the pages, so that the
// painting pass can print "Página N de M".
int TReportRenderer::layout(QPagedPaintDevice* device, QPainter* p, int totalPages)
{
    const TReportDefinition& d = m_definition;
    const QList<TReportDefinition::Column> columns = d.Columns();
    const int n = int(columns.size());

    const double mm = device->logicalDpiY() / 25.4;
    const double width = device->width();
    const double height = device->height();
    const double pad = 1.0 * mm;

    QFont body = m_font;
    body.setPointSizeF(7.5);
    QFont bold = body;
    bold.setBold(true);
    QFont small = body;
    small.setPointSizeF(6.5);
    QFont smallBold = small;
    smallBold.setBold(true);
    QFont titleFont = body;
    titleFont.setPointSizeF(12);
    titleFont.setBold(true);
    const QFontMetricsF fmBody(body, device);
    const QFontMetricsF fmBold(bold, device);
    const QFontMetricsF fmSmall(small, device);
    const QFontMetricsF fmTitle(titleFont, device);

    const double rowH = fmBody.height() + 1.2 * mm;
    const double headRowH = fmBold.height() + 2.0 * mm;
    const double thin = std::max(1.0, 0.15 * mm);
    const double thick = std::max(1.0, 0.4 * mm);

    std::vector<double> x(size_t(n) + 1, 0.0);
    double share = 0;
    for (const auto& c : columns)
        share += c.width;
    for (int i = 0; i < n; ++i)
        x[size_t(i) + 1] = x[size_t(i)] + width * columns[i].width / share;

    std::vector<int> index(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        index[size_t(i)] = findColumn(m_rows, columns[i].field, d.Name());

    // Totals are summed in cents so that the sum of the printed values is printed.
    const TReportDefinition::Totals totals = d.TotalsBy();
    std::vector<int> totalColumn;
    for (const QString& f : totals.fields)
        for (int i = 0; i < n; ++i)
            if (columns[i].field.compare(f, Qt::CaseInsensitive) == 0)
                totalColumn.push_back(i);
    const int firstTotal =
        totalColumn.empty() ? n : *std::min_element(totalColumn.begin(), totalColumn.end());

    const bool grouped = d.HasGroup();
    const TReportDefinition::Group group = d.GroupBy();
    const int groupIndex = grouped ? findColumn(m_rows, group.field, d.Name()) : -1;
    std::vector<int> groupTextIndex;
    for (const QString& f : group.textFields)
        groupTextIndex.push_back(findColumn(m_rows, f, d.Name()));

    const QString filter = filterText();
    const QRectF filterBox = fmSmall.boundingRect(QRectF(0, 0, width, height / 4),
                                                  Qt::TextWordWrap | Qt::AlignLeft, filter);
    const double titleH = fmTitle.height() + 1.0 * mm;
    const double filterTop = titleH + 1.0 * mm;
    const double filterH = filter.isEmpty() ? 0 : filterBox.height();
    const double ruleY = filterTop + filterH + 1.0 * mm;
    const double headTop = ruleY + 1.0 * mm;
    const double bodyTop = headTop + headRowH + 0.8 * mm;
    const double footerLine = height - fmSmall.height() - 1.5 * mm;
    const double bottom = footerLine - 1.0 * mm;

    const QColor rule(40, 40, 40);
    const QColor headFill(225, 225, 225);
    const QColor zebra(244, 244, 244);
    const QColor groupFill(235, 235, 235);

    // Drawn at a point: the rectangle form lays every cell out as a paragraph.
    auto cell = [&](int c, double top, double h, const QString& text, const QFontMetricsF& fm,
                    Qt::Alignment align) {
        if (text.isEmpty())
            return;
        const double left = x[size_t(c)] + pad;
        const double room = x[size_t(c) + 1] - x[size_t(c)] - 2 * pad;
        double advance = fm.horizontalAdvance(text);
        QString fitted = text;
        if (advance > room) {
            fitted = fm.elidedText(text, Qt::ElideRight, room);
            advance = fm.horizontalAdvance(fitted);
        }
        double at = left;
        if (align & Qt::AlignRight)
            at = left + room - advance;
        else if (align & Qt::AlignHCenter)
            at = left + (room - advance) / 2;
        p->drawText(QPointF(at, top + (h - fm.height()) / 2 + fm.ascent()), fitted);
    };

    int page = 0;
    double y = 0;

    auto pageFrame = [&]() {
        p->setPen(Qt::black);
        p->setFont(smallBold);
        p->drawText(QRectF(0, 0, width, titleH), Qt::AlignLeft | Qt::AlignVCenter, d.ReportCode());
        p->setFont(small);
        p->drawText(QRectF(0, 0, width, titleH), Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("Emissão: %1")
                        .arg(m_printedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
        p->setFont(titleFont);
        p->drawText(QRectF(0, 0, width, titleH), Qt::AlignHCenter | Qt::AlignVCenter, d.Title());
        if (!filter.isEmpty()) {
            p->setFont(small);
            p->drawText(QRectF(0, filterTop, width, filterH), Qt::TextWordWrap | Qt::AlignLeft,
                        filter);
        }
        p->fillRect(QRectF(0, ruleY, width, thick), rule);

        p->fillRect(QRectF(0, headTop, width, headRowH), headFill);
        p->setFont(bold);
        for (int c = 0; c < n; ++c)
            cell(c, headTop, headRowH, columns[c].title, fmBold, columns[c].alignment);
        p->fillRect(QRectF(0, headTop + headRowH, width, thin), rule);

        p->fillRect(QRectF(0, footerLine, width, thin), rule);
        p->setFont(small);
        const QRectF foot(0, footerLine + thin, width, height - footerLine - thin);
        p->drawText(foot, Qt::AlignLeft | Qt::AlignVCenter,
                    QStringLiteral("%1 - %2").arg(d.ReportCode(), d.Name()));
        p->drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("Página %1 de %2").arg(page).arg(totalPages));
    };

    auto newPage = [&]() {
        if (p && page > 0)
            device->newPage();
        ++page;
        y = bodyTop;
        if (p)
            pageFrame();
    };

    QString groupKey;
    QString groupText;
    bool inGroup = false;
    std::vector<qint64> groupSums(totalColumn.size(), 0), reportSums(totalColumn.size(), 0);
    qint64 groupCount = 0;
    qint64 reportCount = 0;

    auto groupHeader = [&](bool continued) {
        if (p) {
            p->fillRect(QRectF(0, y, width, rowH), groupFill);
            p->setPen(Qt::black);
            p->setFont(bold);
            QString text = group.caption.isEmpty() ? groupText : group.caption + u' ' + groupText;
            if (continued)
                text += QStringLiteral(" (continuação)");
            p->drawText(QRectF(pad, y, width - 2 * pad, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                        text);
        }
        y += rowH;
    };

    auto ensure = [&](double h, bool repeatGroup) {
        if (y + h <= bottom)
            return;
        newPage();
        if (repeatGroup && inGroup)
            groupHeader(true);
    };

    // A band of counts and sums: the caption left of the first summed column.
    auto sumsBand = [&](const QString& caption, const std::vector<qint64>& sums, double lineW) {
        const double h = rowH + 1.0 * mm;
        ensure(h + rowH * 0.3, false);
        if (p) {
            p->fillRect(QRectF(0, y, width, lineW), rule);
            p->setPen(Qt::black);
            p->setFont(bold);
            const double right = firstTotal > 0 ? x[size_t(firstTotal)] : width;
            p->drawText(QRectF(pad, y, right - 2 * pad, h), Qt::AlignLeft | Qt::AlignVCenter,
                        caption);
            for (size_t t = 0; t < totalColumn.size(); ++t)
                cell(totalColumn[t], y, h,
                     TValueFormat::sum(sums[t], columns[totalColumn[t]].format), fmBold,
                     Qt::AlignRight);
        }
        y += h + rowH * 0.3;
    };

    auto countCaption = [&](const QString& caption, qint64 count) {
        QStringList parts;
        if (!caption.isEmpty())
            parts << caption;
        if (!totals.countLabel.isEmpty())
            parts << QStringLiteral("%1: %2").arg(totals.countLabel, brazil().toString(count));
        return parts.join(QStringLiteral(" - "));
    };

    auto closeGroup = [&]() {
        sumsBand(countCaption(group.footer, groupCount), groupSums, thin);
        std::fill(groupSums.begin(), groupSums.end(), 0);
        groupCount = 0;
    };

    newPage();
    int row = 0;
    while (m_rows->MoveTo(row)) {
        if (grouped) {
            const QString key = m_rows->value(row, groupIndex).toString();
            if (!inGroup || key != groupKey) {
                if (inGroup && d.HasTotals())
                    closeGroup();
                groupKey = key;
                QStringList parts;
                for (size_t g = 0; g < groupTextIndex.size(); ++g) {
                    const QString part = formatValue(m_rows->value(row, groupTextIndex[g]),
                                                     group.textColumns[qsizetype(g)].format);
                    if (!part.isEmpty())
                        parts << part;
                }
                groupText = parts.join(QStringLiteral(" - "));
                inGroup = false;
                ensure(2 * rowH, false);
                inGroup = true;
                groupHeader(false);
            }
        }
        ensure(rowH, true);
        if (p) {
            if (row % 2 == 1)
                p->fillRect(QRectF(0, y, width, rowH), zebra);
            p->setPen(Qt::black);
            p->setFont(body);
            for (int c = 0; c < n; ++c) {
                const auto& col = columns[c];
                const QVariant v = m_rows->value(row, index[size_t(c)]);
                cell(c, y, rowH, shown(formatValue(v, col.format), col.values), fmBody,
                     col.alignment);
            }
        }
        for (size_t t = 0; t < totalColumn.size(); ++t) {
            const qint64 cents = toCents(m_rows->value(row, index[size_t(totalColumn[t])]));
            groupSums[t] += cents;
            reportSums[t] += cents;
        }
        ++groupCount;
        ++reportCount;
        y += rowH;
        ++row;
    }

    if (reportCount == 0) {
        if (p) {
            p->setFont(body);
            p->drawText(QRectF(pad, y, width - 2 * pad, rowH * 2), Qt::AlignLeft | Qt::AlignVCenter,
                        QStringLiteral("Não há dados para o filtro informado."));
        }
        y += rowH * 2;
    }
    if (grouped && inGroup && d.HasTotals())
        closeGroup();
    if (d.HasTotals()) {
        y += rowH * 0.3;
        sumsBand(countCaption(totals.caption, reportCount), reportSums, thick);
    }
    return page;
}
