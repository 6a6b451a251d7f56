#include "TWindows1252.h"

#include "FisLog.h"

namespace {

// 0x80-0x9F; 0xFFFD where the code page defines nothing.
constexpr char16_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                               0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

} // namespace

QString TWindows1252::decode(const char* bytes, qsizetype size, bool* replaced)
{
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    bool lost = false;
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t u = b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b);
        lost = lost || u == 0xFFFD;
        out[i] = QChar(u);
    }
    if (replaced)
        *replaced = lost;
    return text;
}

QByteArray TWindows1252::encode(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = char(u);
        } else {
            for (int k = 0; k < 32; ++k)
                if (high[k] == u && u != 0xFFFD)
                    b = char(0x80 + k);
        }
        bytes[i] = b;
    }
    return bytes;
}

QString TWindows1252::decodeLogged(const char* bytes, qsizetype size, const QString& where)
{
    bool replaced = false;
    QString text = decode(bytes, size, &replaced);
    if (replaced)
        qCWarning(fisData).noquote() << "text not valid in WIN1252 shown with U+FFFD in" << where;
    return text;
}
