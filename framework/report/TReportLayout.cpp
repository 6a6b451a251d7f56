#include "TReportLayout_p.h"

#include "TReportCanvas_p.h"
#include "TReportDatabaseNote.h"
#include "TReportSpool_p.h"
#include "TReportText.h"

#include <QPageSize>
#include <cstring>

namespace {

constexpr double mm = 72.0 / 25.4;
constexpr double margin = 10 * mm;
constexpr double bodySize = 7.5;
constexpr double smallSize = 6.5;
constexpr double titleSize = 12;
constexpr double smallestTitleSize = 5.5;
// Below this a printed figure is no longer read reliably.
constexpr double smallestNumberSize = 5.0;
// The widest total a money column must show whole: 16 digits.
constexpr char widestTotal[] = "-99.999.999.999.999,99";
constexpr double pad = 1.0 * mm;
constexpr double thin = 0.15 * mm;
constexpr double thick = 0.4 * mm;
constexpr int ruleGray = 40, headGray = 225, zebraGray = 244, groupGray = 235;

constexpr double lineHeight(double size)
{
    return size * 1.15;
}
constexpr double rowHeight = lineHeight(bodySize) + 1.2 * mm;
constexpr double headRowHeight = lineHeight(bodySize) + 2.0 * mm;
constexpr double titleHeight = lineHeight(titleSize) + 1.0 * mm;
constexpr double sumsHeight = rowHeight + 1.0 * mm;
constexpr double sumsGap = rowHeight * 0.3;

// The baseline that centres a line of that size in a box.
double baseline(double top, double height, double size)
{
    return top + height / 2 + 0.36 * size;
}

// Band records in the spool: a kind byte, the top as a float, then the texts.
enum Kind : char
{
    Row = 'R',
    Group = 'G',
    Sums = 'S',
    Message = 'M'
};

void put(QByteArray& out, Kind kind, double top)
{
    out += char(kind);
    const float y = float(top);
    out.append(reinterpret_cast<const char*>(&y), sizeof y);
}

void putText(QByteArray& out, const QByteArray& text)
{
    const auto n = quint16(qMin<qsizetype>(text.size(), 0xFFFF));
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out.append(text.constData(), n);
}

struct Reader
{
    const char* at;
    const char* end;

    template <typename T> T get()
    {
        T v;
        std::memcpy(&v, at, sizeof v);
        at += sizeof v;
        return v;
    }
    QByteArrayView text()
    {
        const auto n = get<quint16>();
        const QByteArrayView v(at, n);
        at += n;
        return v;
    }
};

// A count as a clerk reads it: 26.317.
QByteArray grouped(qint64 n)
{
    QByteArray digits = QByteArray::number(n);
    for (qsizetype at = digits.size() - 3; at > (digits.startsWith('-') ? 1 : 0); at -= 3)
        digits.insert(at, '.');
    return digits;
}

// Greedy word wrap of the filter line at the page's width.
std::vector<QByteArray> wrap(const QByteArray& text, double width)
{
    std::vector<QByteArray> lines;
    QByteArray line;
    for (const QByteArray& word : text.split(' ')) {
        const QByteArray next = line.isEmpty() ? word : line + ' ' + word;
        if (!line.isEmpty() && TReportText::width(next, false, smallSize) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = next;
        }
    }
    if (!line.trimmed().isEmpty())
        lines.push_back(line);
    return lines;
}

} // namespace

TReportLayout::TReportLayout(const TReportDefinition& definition, const QString& filterText,
                             const QDateTime& printedAt)
    : m_definition(definition),
      m_printedAt(
          TReportText::encode(QStringLiteral("Emissão: %1")
                                  .arg(printedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm"))))),
      m_code(TReportText::encode(definition.ReportCode())),
      m_title(TReportText::encode(definition.Title())),
      m_footer(
          TReportText::encode(definition.ReportCode() + QStringLiteral(" - ") + definition.Name())),
      m_spool(std::make_unique<TReportSpool>())
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    m_page = definition.Orientation() == QPageLayout::Landscape ? a4.transposed() : a4;
    const double width = m_page.width() - 2 * margin;
    const double height = m_page.height() - 2 * margin;

    const QList<TReportDefinition::Column> columns = definition.Columns();
    double share = 0;
    for (const auto& c : columns)
        share += c.width;
    std::vector<double> widths;
    for (const auto& c : columns) {
        widths.push_back(width * c.width / share);
        m_align.push_back(c.alignment);
        m_titles.push_back(TReportText::encode(c.title));
        m_numeric.push_back(c.format == TReportDefinition::Format::Money ||
                            c.format == TReportDefinition::Format::Integer);
    }
    // A money column too narrow for the widest total at the smallest size takes the
    // room from the text columns, each of which keeps at least half its width.
    const double need = TReportText::width(widestTotal, true, smallestNumberSize) + 2 * pad;
    double deficit = 0, spare = 0;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].format == TReportDefinition::Format::Money)
            deficit += qMax(0.0, need - widths[size_t(i)]);
        else if (columns[i].format == TReportDefinition::Format::Text)
            spare += widths[size_t(i)] / 2;
    }
    if (deficit > 0 && spare > 0) {
        const double taken = qMin(deficit, spare);
        for (int i = 0; i < columns.size(); ++i) {
            double& w = widths[size_t(i)];
            if (columns[i].format == TReportDefinition::Format::Money)
                w += qMax(0.0, need - w) * taken / deficit;
            else if (columns[i].format == TReportDefinition::Format::Text)
                w -= w / 2 * taken / spare;
        }
    }
    m_x.push_back(margin);
    for (const double w : widths)
        m_x.push_back(m_x.back() + w);
    // A title a little too wide for a narrow column is set smaller rather than cut.
    for (size_t c = 0; c < m_titles.size(); ++c) {
        const double w = TReportText::width(m_titles[c], true, bodySize);
        m_titleSizes.push_back(
            qBound(smallestTitleSize, bodySize * room(int(c)) / qMax(w, 1.0), bodySize));
    }
    for (const QString& f : definition.TotalsBy().fields)
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].field.compare(f, Qt::CaseInsensitive) == 0)
                m_sumColumns.push_back(i);

    m_filterLines = wrap(TReportText::encode(filterText), width);
    // Printed on every page, so no sheet of the demo passes for the office's own.
    const QString note = TReportDatabaseNote::text();
    if (!note.isEmpty()) {
        std::vector<QByteArray> lines = wrap(TReportText::encode(note), width);
        lines.insert(lines.end(), m_filterLines.begin(), m_filterLines.end());
        m_filterLines = std::move(lines);
    }
    m_filterTop = margin + titleHeight + 1.0 * mm;
    m_ruleY = m_filterTop + double(m_filterLines.size()) * lineHeight(smallSize) + 1.0 * mm;
    m_headTop = m_ruleY + 1.0 * mm;
    m_bodyTop = m_headTop + headRowHeight + 0.8 * mm;
    m_footerLine = margin + height - lineHeight(smallSize) - 1.5 * mm;
    m_bottom = m_footerLine - 1.0 * mm;
    newPage();
}

TReportLayout::~TReportLayout() = default;

void TReportLayout::newPage()
{
    if (m_pages > 0)
        closePage();
    ++m_pages;
    m_y = m_bodyTop;
    if (m_pageStarted)
        m_pageStarted(m_pages);
}

void TReportLayout::ensure(double height, bool repeatGroup)
{
    if (m_y + height <= m_bottom)
        return;
    newPage();
    if (repeatGroup && !m_groupText.isNull())
        groupBand(true);
}

void TReportLayout::groupBand(bool continued)
{
    QByteArray& out = m_spool->current();
    put(out, Group, m_y);
    putText(out, continued ? m_groupText + TReportText::encode(QStringLiteral(" (continuação)"))
                           : m_groupText);
    m_y += rowHeight;
}

void TReportLayout::row(const std::vector<QByteArray>& cells)
{
    ensure(rowHeight, true);
    QByteArray& out = m_spool->current();
    put(out, Row, m_y);
    out += char(m_rows++ % 2);
    for (const QByteArray& c : cells)
        putText(out, c);
    m_y += rowHeight;
}

void TReportLayout::skipRow()
{
    ensure(rowHeight, true);
    ++m_rows;
    m_y += rowHeight;
}

int TReportLayout::rowsPerPageAtMost() const
{
    return int((m_bottom - m_bodyTop) / rowHeight) + 1;
}

void TReportLayout::group(const QByteArray& text)
{
    // A header never stands alone at the foot of a page.
    m_groupText = QByteArray();
    ensure(2 * rowHeight, false);
    m_groupText = text.isNull() ? QByteArray("") : text;
    groupBand(false);
}

void TReportLayout::sums(const QByteArray& caption, const std::vector<QByteArray>& sums, bool grand)
{
    if (grand)
        m_y += sumsGap;
    ensure(sumsHeight + sumsGap, false);
    QByteArray& out = m_spool->current();
    put(out, Sums, m_y);
    out += char(grand);
    putText(out, caption);
    for (const QByteArray& s : sums)
        putText(out, s);
    m_y += sumsHeight + sumsGap;
}

void TReportLayout::message(const QByteArray& text)
{
    QByteArray& out = m_spool->current();
    put(out, Message, m_y);
    putText(out, text);
    m_y += rowHeight * 2;
}

void TReportLayout::closePage()
{
    ++m_closed;
    if (!m_drawAsClosed) {
        m_spool->endPage();
        return;
    }
    QByteArray& bands = m_spool->current();
    draw(m_closed, bands, *m_drawAsClosed, false);
    bands.resize(0);
}

void TReportLayout::finish()
{
    closePage();
    m_finished = true;
}

int TReportLayout::pageCount() const
{
    return m_closed;
}

double TReportLayout::room(int column) const
{
    return m_x[size_t(column) + 1] - m_x[size_t(column)] - 2 * pad;
}

void TReportLayout::cell(TReportCanvas& canvas, int column, double top, double height,
                         QByteArrayView text, bool bold, double size) const
{
    if (text.empty())
        return;
    const double left = m_x[size_t(column)] + pad;
    const double room = this->room(column);
    if (m_numeric[size_t(column)]) {
        // A figure is never cut: it is set smaller, and at the floor drawn whole anyway.
        const double full = TReportText::width(text, bold, size);
        const double fitted = full > room ? qMax(smallestNumberSize, size * room / full) : size;
        const double advance = TReportText::width(text, bold, fitted);
        double at = left;
        if (m_align[size_t(column)] & Qt::AlignRight)
            at = left + room - advance;
        else if (m_align[size_t(column)] & Qt::AlignHCenter)
            at = left + (room - advance) / 2;
        canvas.text(at, baseline(top, height, fitted), bold, fitted, text);
        return;
    }
    bool ellipsis = false;
    double advance = 0;
    const qsizetype kept = TReportText::fit(text, bold, size, room, ellipsis, advance);
    double at = left;
    const Qt::Alignment align = m_align[size_t(column)];
    if (align & Qt::AlignRight)
        at = left + room - advance;
    else if (align & Qt::AlignHCenter)
        at = left + (room - advance) / 2;
    const double y = baseline(top, height, size);
    if (!ellipsis)
        canvas.text(at, y, bold, size, text);
    else
        canvas.text(at, y, bold, size, QByteArray(text.first(kept).toByteArray() + "\x85"));
}

void TReportLayout::drawFrame(int page, TReportCanvas& canvas, bool texts, bool numbered) const
{
    const double left = margin;
    const double right = m_page.width() - margin;
    const double width = right - left;
    if (!texts) {
        canvas.fill(QRectF(left, m_ruleY, width, thick), ruleGray);
        canvas.fill(QRectF(left, m_headTop, width, headRowHeight), headGray);
        canvas.fill(QRectF(left, m_headTop + headRowHeight, width, thin), ruleGray);
        canvas.fill(QRectF(left, m_footerLine, width, thin), ruleGray);
        return;
    }
    canvas.text(left, baseline(margin, titleHeight, smallSize), true, smallSize, m_code);
    canvas.text(right - TReportText::width(m_printedAt, false, smallSize),
                baseline(margin, titleHeight, smallSize), false, smallSize, m_printedAt);
    canvas.text(left + (width - TReportText::width(m_title, true, titleSize)) / 2,
                baseline(margin, titleHeight, titleSize), true, titleSize, m_title);
    double y = m_filterTop;
    for (const QByteArray& line : m_filterLines) {
        canvas.text(left, y + lineHeight(smallSize) * 0.8, false, smallSize, line);
        y += lineHeight(smallSize);
    }
    for (size_t c = 0; c < m_titles.size(); ++c)
        cell(canvas, int(c), m_headTop, headRowHeight, m_titles[c], true, m_titleSizes[c]);

    const double foot =
        baseline(m_footerLine + thin, m_page.height() - margin - m_footerLine, smallSize);
    canvas.text(left, foot, false, smallSize, m_footer);
    if (numbered)
        drawPageNumber(page, canvas);
}

void TReportLayout::drawPageNumber(int page, TReportCanvas& canvas) const
{
    const double right = m_page.width() - margin;
    const double foot =
        baseline(m_footerLine + thin, m_page.height() - margin - m_footerLine, smallSize);
    // Until the pages are all counted the total reads as an ellipsis.
    const QByteArray number = QByteArray("P\xE1gina ") + grouped(page) + " de " +
                              (m_finished ? grouped(pageCount()) : QByteArray("\x85"));
    canvas.text(right - TReportText::width(number, false, smallSize), foot, false, smallSize,
                number);
}

void TReportLayout::drawPage(int page, TReportCanvas& canvas, bool numbered) const
{
    draw(page, m_spool->page(page), canvas, numbered);
}

void TReportLayout::draw(int page, const QByteArray& bands, TReportCanvas& canvas,
                         bool numbered) const
{
    canvas.beginPage();
    // Every fill first, then every text: one text object a page in a PDF.
    for (const bool texts : {false, true}) {
        drawFrame(page, canvas, texts, numbered);
        drawBands(bands, canvas, texts);
    }
    canvas.endPage();
}

void TReportLayout::drawBands(const QByteArray& bytes, TReportCanvas& canvas, bool texts) const
{
    const double left = margin;
    const double width = m_page.width() - 2 * margin;
    Reader r{bytes.constData(), bytes.constData() + bytes.size()};
    const auto skip = [&r](size_t n) {
        for (size_t i = 0; i < n; ++i)
            r.text();
    };
    while (r.at < r.end) {
        const auto kind = r.get<char>();
        const double top = r.get<float>();
        switch (kind) {
        case Row: {
            const bool zebra = r.get<char>();
            if (!texts) {
                if (zebra)
                    canvas.fill(QRectF(left, top, width, rowHeight), zebraGray);
                skip(m_titles.size());
                break;
            }
            for (size_t c = 0; c < m_titles.size(); ++c)
                cell(canvas, int(c), top, rowHeight, r.text(), false, bodySize);
            break;
        }
        case Group: {
            const QByteArrayView text = r.text();
            if (!texts)
                canvas.fill(QRectF(left, top, width, rowHeight), groupGray);
            else
                canvas.text(left + pad, baseline(top, rowHeight, bodySize), true, bodySize, text);
            break;
        }
        case Sums: {
            const bool grand = r.get<char>();
            if (!texts) {
                canvas.fill(QRectF(left, top, width, grand ? thick : thin), ruleGray);
                skip(1 + m_sumColumns.size());
                break;
            }
            const QByteArrayView caption = r.text();
            const double captionRight =
                m_sumColumns.empty()
                    ? m_page.width() - margin
                    : m_x[size_t(*std::min_element(m_sumColumns.begin(), m_sumColumns.end()))];
            canvas.text(
                left + pad, baseline(top, sumsHeight, bodySize), true, bodySize,
                TReportText::elided(caption, true, bodySize, captionRight - left - 2 * pad));
            for (const int c : m_sumColumns)
                cell(canvas, c, top, sumsHeight, r.text(), true, bodySize);
            break;
        }
        case Message: {
            const QByteArrayView text = r.text();
            if (texts)
                canvas.text(left + pad, baseline(top, rowHeight * 2, bodySize), false, bodySize,
                            text);
            break;
        }
        default:
            r.at = r.end;
            break;
        }
    }
}
