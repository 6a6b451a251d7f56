#include "TReportText.h"

#include <QFont>
#include <QRawFont>
#include <array>

namespace {

// Windows-1252 0x80-0x9F; 0 where the code page leaves a hole.
constexpr std::array<char16_t, 32> high{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

using Widths = std::array<float, 256>;

// Advances in thousandths of the size, from the font's design metrics.
Widths measure(bool bold)
{
    Widths widths{};
    QFont font(TReportText::family());
    font.setBold(bold);
    font.setPixelSize(1000);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QRawFont raw = QRawFont::fromFont(font);
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const QString text = TReportText::decode(QByteArrayView(&c, 1));
        const QList<quint32> glyphs = raw.glyphIndexesForString(text);
        const QList<QPointF> advances =
            raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
        widths[size_t(b)] = advances.isEmpty() ? 556.0f : float(advances.first().x());
    }
    return widths;
}

const Widths& widthsOf(bool bold)
{
    static const Widths regular = measure(false);
    static const Widths boldWidths = measure(true);
    return bold ? boldWidths : regular;
}

} // namespace

QString TReportText::family()
{
    return QStringLiteral("Nimbus Sans");
}

QByteArray TReportText::encode(const QString& text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* o = out.data();
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *o++ = char(u);
            continue;
        }
        char c = '?';
        for (size_t i = 0; i < high.size(); ++i)
            if (high[i] == u && u != 0)
                c = char(0x80 + i);
        *o++ = c;
    }
    return out;
}

QString TReportText::decode(QByteArrayView text)
{
    QString out(qsizetype(text.size()), Qt::Uninitialized);
    QChar* o = out.data();
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        *o++ = QChar(b >= 0x80 && b < 0xA0 && high[b - 0x80] ? high[b - 0x80] : char16_t(b));
    }
    return out;
}

double TReportText::width(QByteArrayView text, bool bold, double size)
{
    const Widths& w = widthsOf(bold);
    double units = 0;
    for (const char c : text)
        units += w[static_cast<unsigned char>(c)];
    return units * size / 1000.0;
}

QByteArray TReportText::elided(QByteArrayView text, bool bold, double size, double room)
{
    bool ellipsis = false;
    double advance = 0;
    const qsizetype n = fit(text, bold, size, room, ellipsis, advance);
    QByteArray out(text.data(), n);
    if (ellipsis)
        out += '\x85';
    return out;
}

qsizetype TReportText::fit(QByteArrayView text, bool bold, double size, double room, bool& ellipsis,
                           double& advance)
{
    const Widths& w = widthsOf(bold);
    double units = 0;
    for (const char c : text)
        units += w[static_cast<unsigned char>(c)];
    ellipsis = false;
    advance = units * size / 1000.0;
    if (advance <= room)
        return text.size();
    ellipsis = true;
    units = w[0x85];
    const double limit = room * 1000.0 / size;
    qsizetype n = 0;
    while (n < text.size() && units + w[static_cast<unsigned char>(text[n])] <= limit)
        units += w[static_cast<unsigned char>(text[n++])];
    advance = units * size / 1000.0;
    return n;
}
