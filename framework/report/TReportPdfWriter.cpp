#include "TReportPdfWriter_p.h"

#include "EFrameworkError.h"
#include "TReportPipeline_p.h"
#include "TReportText.h"

#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <zlib.h>

namespace {

// Fixed object numbers; pages follow from FirstPage on, two objects each.
enum : int
{
    Catalog = 1,
    Pages,
    Regular,
    Bold,
    Info,
    FirstPage
};

QByteArray pdfString(const QString& text)
{
    QByteArray out("(");
    for (const char c : TReportText::encode(text)) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + ')';
}

// A coordinate past any page (a NaN, a width gone wild) is kept to a number a PDF reader
// takes, not rounded into an integer it does not fit.
qint64 hundredths(double value)
{
    if (!std::isfinite(value))
        return 0;
    return std::llround(std::clamp(value, -1e7, 1e7) * 100.0);
}

// Two decimals at most, without trailing zeros: a point is 0.35 mm.
void appendHundredths(QByteArray& out, qint64 value)
{
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* at = end;
    *--at = ' ';
    const bool negative = value < 0;
    quint64 v = quint64(negative ? -value : value);
    const int fraction = int(v % 100);
    v /= 100;
    if (fraction) {
        if (fraction % 10)
            *--at = char('0' + fraction % 10);
        *--at = char('0' + fraction / 10);
        *--at = '.';
    }
    do {
        *--at = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        *--at = '-';
    out.append(at, qsizetype(end - at));
}

} // namespace

// One deflate stream reused for every page: level 1, as the size of a listing's page
// streams is where most of a big report's time went.
struct TReportPdfWriter::Deflater
{
    z_stream stream{};
    QByteArray out;

    Deflater()
    {
        if (deflateInit(&stream, 1) != Z_OK)
            throw EFrameworkError(QStringLiteral("Não foi possível comprimir o PDF."));
    }
    ~Deflater() { deflateEnd(&stream); }

    const QByteArray& pack(const QByteArray& in)
    {
        deflateReset(&stream);
        out.resize(qsizetype(deflateBound(&stream, uLong(in.size()))));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        stream.avail_in = uInt(in.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = uInt(out.size());
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
            throw EFrameworkError(QStringLiteral("Não foi possível comprimir o PDF."));
        out.resize(qsizetype(stream.total_out));
        return out;
    }
};

TReportPdfWriter::TReportPdfWriter(QIODevice* device, const QSizeF& pageSize, const QString& title,
                                   const QString& creator)
    : m_device(device), m_size(pageSize), m_title(title), m_creator(creator),
      m_objects(FirstPage, 0), m_deflater(std::make_unique<Deflater>())
{
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    for (const auto& [object, name] : {std::pair{Regular, "Helvetica"}, {Bold, "Helvetica-Bold"}}) {
        m_objects[size_t(object)] = m_offset;
        write(QByteArray::number(object) + " 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /" +
              name + " /Encoding /WinAnsiEncoding >>\nendobj\n");
    }
    m_content.reserve(64 * 1024);
    if (TReportPipeline<QByteArray>::threaded()) {
        m_writer = std::make_unique<TReportPipeline<QByteArray>>(16);
        TReportPipeline<QByteArray>* writer = m_writer.get();
        writer->start([this, writer] {
            QByteArray page;
            while (writer->pop(page))
                writeBody(page);
        });
    }
}

TReportPdfWriter::~TReportPdfWriter() = default;

int TReportPdfWriter::beginObject()
{
    m_objects.push_back(m_offset);
    const int object = int(m_objects.size()) - 1;
    write(QByteArray::number(object) + " 0 obj\n");
    return object;
}

void TReportPdfWriter::write(const QByteArray& bytes)
{
    write(bytes.constData(), bytes.size());
}

void TReportPdfWriter::write(const char* data, qsizetype size)
{
    if (m_device->write(data, size) != size)
        throw EFrameworkError(
            QStringLiteral("Não foi possível gravar o PDF: %1.").arg(m_device->errorString()));
    m_offset += size;
}

void TReportPdfWriter::number(double value)
{
    appendHundredths(m_content, hundredths(value));
}

void TReportPdfWriter::beginPage()
{
    // Each of a page's streams leaves the graphics state as it found it.
    m_content.resize(0);
    m_content += "q\n";
    m_font = -1;
    m_gray = 0;
    m_inText = false;
}

void TReportPdfWriter::text(double x, double y, bool bold, double size, QByteArrayView text)
{
    if (text.empty())
        return;
    if (m_gray != 0) {
        m_content += "0 g\n";
        m_gray = 0;
    }
    if (!m_inText) {
        m_content += "BT\n";
        m_inText = true;
        m_lineX = m_lineY = 0;
    }
    if (m_font != int(bold) || m_fontSize != size) {
        m_font = int(bold);
        m_fontSize = size;
        m_content += bold ? "/F2 " : "/F1 ";
        number(size);
        m_content += "Tf\n";
    }
    // Each text moves from the start of the one before: short numbers, one text object.
    const qint64 px = hundredths(x);
    const qint64 py = hundredths(m_size.height() - y);
    appendHundredths(m_content, px - m_lineX);
    appendHundredths(m_content, py - m_lineY);
    m_lineX = px;
    m_lineY = py;
    m_content += "Td(";
    const char* from = text.data();
    const char* const end = from + text.size();
    for (const char* at = from; at != end; ++at) {
        if (*at == '(' || *at == ')' || *at == '\\') {
            m_content.append(from, at - from);
            m_content += '\\';
            from = at;
        }
    }
    m_content.append(from, end - from);
    m_content += ")Tj\n";
}

void TReportPdfWriter::fill(const QRectF& rect, int gray)
{
    if (m_inText) {
        m_content += "ET\n";
        m_inText = false;
    }
    if (gray != m_gray) {
        m_gray = gray;
        number(gray / 255.0);
        m_content += "g\n";
    }
    number(rect.x());
    number(m_size.height() - rect.bottom());
    number(rect.width());
    number(rect.height());
    m_content += "re f\n";
}

void TReportPdfWriter::closeContent()
{
    if (m_inText)
        m_content += "ET\n";
    m_inText = false;
    m_content += "Q\n";
}

void TReportPdfWriter::endPage()
{
    closeContent();
    if (!m_writer) {
        writeBody(m_content);
        return;
    }
    if (!m_writer->push(std::exchange(m_content, QByteArray()))) {
        m_writer->join();
        throw EFrameworkError(QStringLiteral("Não foi possível gravar o PDF."));
    }
    m_content.reserve(64 * 1024);
}

void TReportPdfWriter::writeBody(const QByteArray& content)
{
    const QByteArray& packed = m_deflater->pack(content);
    m_bodies.push_back(beginObject());
    write("<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n");
    write(packed);
    write("\nendstream\nendobj\n");
}

bool TReportPdfWriter::finish(const std::function<bool(int page)>& late)
{
    if (m_writer) {
        m_writer->end();
        m_writer->join();
        m_writer.reset();
    }
    const QByteArray pageTail =
        " 0 R] /Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /MediaBox [0 0 " +
        QByteArray::number(m_size.width(), 'f', 2) + ' ' +
        QByteArray::number(m_size.height(), 'f', 2) + "] >>\nendobj\n";
    QByteArray kids;
    kids.reserve(qsizetype(m_bodies.size()) * 10);
    for (size_t page = 0; page < m_bodies.size(); ++page) {
        beginPage();
        if (!late(int(page) + 1))
            return false;
        closeContent();
        // A few dozen bytes: not worth a deflate stream.
        const int stream = beginObject();
        write("<< /Length " + QByteArray::number(m_content.size()) + " >>\nstream\n" + m_content +
              "\nendstream\nendobj\n");
        kids += QByteArray::number(beginObject()) + " 0 R ";
        write("<< /Type /Page /Parent 2 0 R /Contents [" + QByteArray::number(m_bodies[page]) +
              " 0 R " + QByteArray::number(stream) + pageTail);
    }
    m_content = QByteArray();
    m_objects[Pages] = m_offset;
    write("2 0 obj\n<< /Type /Pages /Count " + QByteArray::number(qsizetype(m_bodies.size())) +
          " /Kids [" + kids + "] >>\nendobj\n");
    m_objects[Catalog] = m_offset;
    write("1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    m_objects[Info] = m_offset;
    write("5 0 obj\n<< /Title " + pdfString(m_title) + " /Creator " + pdfString(m_creator) +
          " /Producer (fisreport) >>\nendobj\n");

    const qint64 xref = m_offset;
    QByteArray table =
        "xref\n0 " + QByteArray::number(qsizetype(m_objects.size())) + "\n0000000000 65535 f \n";
    for (size_t i = 1; i < m_objects.size(); ++i)
        table += QByteArray::number(m_objects[i]).rightJustified(10, '0') + " 00000 n \n";
    write(table);
    write("trailer\n<< /Size " + QByteArray::number(qsizetype(m_objects.size())) +
          " /Root 1 0 R /Info 5 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    return true;
}
