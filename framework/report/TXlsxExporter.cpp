#include "TXlsxExporter.h"

#include "EFrameworkError.h"
#include "TCancelToken.h"
#include "TReportCellFormat_p.h"
#include "TReportWarnings.h"
#include "TValueFormat.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include <xlsxwriter.h>

namespace {

// libxlsxwriter prints its errors on stderr itself ("[ERROR] workbook_close(): ..."):
// caught while it works, they become the error's detail instead of lines no one formatted.
class LibraryErrors
{
public:
    LibraryErrors()
    {
        std::fflush(stderr);
        m_capture = ::memfd_create("fis-xlsx-errors", MFD_CLOEXEC);
        m_saved = m_capture >= 0 ? ::dup(STDERR_FILENO) : -1;
        if (m_saved < 0 || ::dup2(m_capture, STDERR_FILENO) < 0)
            release();
    }
    ~LibraryErrors() { take(); }
    LibraryErrors(const LibraryErrors&) = delete;
    LibraryErrors& operator=(const LibraryErrors&) = delete;

    // What was printed, the library's marks taken out; stderr is its own again.
    QString take()
    {
        if (m_saved < 0) {
            release();
            return {};
        }
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        QByteArray printed;
        char chunk[4096];
        ssize_t got = 0;
        ::lseek(m_capture, 0, SEEK_SET);
        while (printed.size() < 65536 && (got = ::read(m_capture, chunk, sizeof chunk)) > 0)
            printed.append(chunk, got);
        release();
        QStringList lines;
        // "[ERROR] text", "[ERROR][src/packager.c:1532]: text".
        static const QRegularExpression mark(
            QStringLiteral("^\\[(ERROR|WARNING)\\](\\[[^\\]]*\\])?:?\\s*"));
        for (QString line : QString::fromLocal8Bit(printed).split(u'\n', Qt::SkipEmptyParts))
            lines << line.remove(mark).trimmed();
        return lines.join(u'\n');
    }

private:
    void release()
    {
        if (m_saved >= 0)
            ::close(m_saved);
        if (m_capture >= 0)
            ::close(m_capture);
        m_saved = m_capture = -1;
    }

    int m_capture = -1;
    int m_saved = -1;
};

// The workbook's close, which zips every sheet: seconds for a million rows.
struct Closing
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    lxw_error error = LXW_NO_ERROR;
};
// Excel's own limits: what goes past them makes a file Excel refuses or repairs.
constexpr qsizetype kCellText = 32767;
constexpr size_t kSheetColumns = 16384;

// The text within a cell's limit, counted in UTF-16 units as Excel counts; a cut one ends
// in "…". A pair of surrogates is never split.
QString withinCell(const QString& text, bool& cut)
{
    cut = text.size() > kCellText;
    if (!cut)
        return text;
    qsizetype keep = kCellText - 1;
    if (text[keep - 1].isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

// Definition widths are shares of a printed line; a character or so each on a sheet.
// A date or amount too wide for its cell shows as "####", so those get room for theirs
// (an amount up to 9.999.999.999,99).
double sheetWidth(const TReportDefinition::Column& c)
{
    double least = double(c.title.size()) + 2.0;
    if (c.format == TReportDefinition::Format::Date)
        least = std::max(least, 11.0);
    else if (c.format == TReportDefinition::Format::Money)
        least = std::max(least, 17.0);
    else if (c.format == TReportDefinition::Format::Integer)
        least = std::max(least, 9.0);
    return std::max(c.width * 1.4, least);
}

lxw_format* numberFormat(lxw_workbook* book, const char* numberFormat, bool bold)
{
    lxw_format* f = workbook_add_format(book);
    if (numberFormat)
        format_set_num_format(f, numberFormat);
    if (bold)
        format_set_bold(f);
    return f;
}

// The report's name as Excel allows a sheet's: at most 31 characters, none of []:*?/\,
// numbered from the second sheet on.
QString sheetName(const QString& report, int sheet)
{
    QString name = report.trimmed();
    for (QChar& c : name)
        if (QStringView(u"[]:*?/\\").contains(c))
            c = u'-';
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("Planilha");
    const QString number = sheet > 1 ? QStringLiteral(" (%1)").arg(sheet) : QString();
    const qsizetype room = 31 - number.size();
    // A cut name says so.
    if (name.size() > room)
        name = name.left(room - 1).trimmed() + QChar(0x2026);
    while (name.endsWith(u'\''))
        name.chop(1);
    return name + number;
}

} // namespace

TXlsxExporter::~TXlsxExporter()
{
    discard();
}

void TXlsxExporter::check(int error, const QString& printed) const
{
    if (error == LXW_NO_ERROR)
        return;
    const QString reason = QString::fromUtf8(lxw_strerror(lxw_error(error)));
    QString detail = printed.isEmpty() ? reason : reason + u'\n' + printed;
    if (!m_bookPath.isEmpty())
        detail.replace(m_bookPath, m_file);
    throw EFrameworkError(fileError(m_file, reason), detail);
}

lxw_format* TXlsxExporter::formatOf(TReportDefinition::Format format, bool bold) const
{
    if (format == TReportDefinition::Format::Money)
        return bold ? m_boldMoney : m_money;
    if (format == TReportDefinition::Format::Integer)
        return bold ? m_boldInteger : m_integer;
    return bold ? m_bold : nullptr;
}

void TXlsxExporter::begin(const QString& file, const std::vector<Column>& columns)
{
    if (columns.size() > kSheetColumns) {
        const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
        throw EFrameworkError(
            fileError(file, QStringLiteral("o relatório tem %1 colunas e uma planilha comporta "
                                           "no máximo %2")
                                .arg(brazil.toString(qulonglong(columns.size())),
                                     brazil.toString(qulonglong(kSheetColumns)))));
    }
    m_file = file;
    m_columns = columns;
    m_cutWarned = false;
    m_sheets = 0;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    // The library opens the file by name when it zips the workbook. Named through a
    // descriptor of its own instead, a close given up (see end()) goes on into the file
    // its caller has removed, freed with the process, and never makes it again by name.
    m_fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        throw EFrameworkError(fileError(file, QString::fromLocal8Bit(std::strerror(errno))));
    m_bookPath = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
    // Without /proc (a bare container) by name after all.
    if (::access(QFile::encodeName(m_bookPath).constData(), W_OK) != 0)
        m_bookPath = file;
    LibraryErrors errors;
    m_book = workbook_new_opt(m_bookPath.toUtf8().constData(), &options);
    if (!m_book)
        throw EFrameworkError(fileError(file, QStringLiteral("falha ao criar a planilha")),
                              errors.take());
    m_header = numberFormat(m_book, nullptr, true);
    format_set_bottom(m_header, LXW_BORDER_THIN);
    format_set_bg_color(m_header, 0xE1E1E1);
    m_date = numberFormat(m_book, "dd/mm/yyyy", false);
    // Excel stores the format in its own notation and shows 1.234,56 in a Brazilian locale.
    m_money = numberFormat(m_book, "#,##0.00", false);
    m_integer = numberFormat(m_book, "#,##0", false);
    m_bold = numberFormat(m_book, nullptr, true);
    m_boldMoney = numberFormat(m_book, "#,##0.00", true);
    m_boldInteger = numberFormat(m_book, "#,##0", true);
    newSheet();
}

void TXlsxExporter::newSheet()
{
    ++m_sheets;
    const QByteArray name = sheetName(reportName(), m_sheets).toUtf8();
    m_sheet = workbook_add_worksheet(m_book, name.constData());
    if (!m_sheet)
        throw EFrameworkError(fileError(m_file, QStringLiteral("falha ao criar a folha")));
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const TReportDefinition::Column& d = m_columns[c].definition;
        check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), sheetWidth(d),
                                   d.format == TReportDefinition::Format::Date ? m_date : nullptr));
        writeText(0, int(c), d.title, m_header);
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    // Printed from the spreadsheet, every column fits the page's width under its header.
    worksheet_set_landscape(m_sheet);
    worksheet_fit_to_pages(m_sheet, 1, 0);
    check(worksheet_repeat_rows(m_sheet, 0, 0));
    m_row = 1;
}

void TXlsxExporter::closeSheet()
{
    if (m_sheet && !m_columns.empty())
        check(worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(m_row > 1 ? m_row - 1 : 1),
                                   lxw_col_t(m_columns.size() - 1)));
}

unsigned TXlsxExporter::nextRow()
{
    if (m_row >= unsigned(m_sheetRows)) {
        closeSheet();
        newSheet();
    }
    return m_row++;
}

void TXlsxExporter::row(const TRowSource::Row& values)
{
    const lxw_row_t r = nextRow();
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Column& column = m_columns[c];
        const QVariant& v = values[size_t(column.source)];
        if (v.isNull())
            continue;
        const lxw_col_t col = lxw_col_t(c);
        switch (column.definition.format) {
        case TReportDefinition::Format::Money: {
            qint64 cents = 0;
            if (column.cell->cents(v, cents))
                check(worksheet_write_number(m_sheet, r, col, double(cents) / 100.0, m_money));
            else
                writeInvalid(r, int(c));
            break;
        }
        case TReportDefinition::Format::Integer: {
            // Infinity or NaN written as a number makes a file Excel cannot open.
            qint64 n = 0;
            if (column.cell->integer(v, n))
                check(worksheet_write_number(m_sheet, r, col, double(n), m_integer));
            else
                writeInvalid(r, int(c));
            break;
        }
        case TReportDefinition::Format::Date: {
            const QDate d = TValueFormat::date(v);
            if (d.isValid()) {
                lxw_datetime when{d.year(), d.month(), d.day(), 0, 0, 0};
                check(worksheet_write_datetime(m_sheet, r, col, &when, m_date));
                break;
            }
            [[fallthrough]];
        }
        default: {
            const QString text = TValueFormat::text(v, column.definition.format);
            if (text.isEmpty())
                break;
            const auto it = column.definition.values.constFind(text);
            writeText(r, int(c), it == column.definition.values.constEnd() ? text : it.value(),
                      nullptr);
        }
        }
    }
}

void TXlsxExporter::writeText(unsigned row, int column, const QString& text, lxw_format* format)
{
    bool cut = false;
    const QByteArray utf8 = withinCell(text, cut).toUtf8();
    if (cut && !m_cutWarned) {
        m_cutWarned = true;
        TReportWarnings::tell(
            QStringLiteral("Relatório \"%1\", coluna \"%2\": um texto de %3 caracteres passa "
                           "do limite de %4 de uma célula da planilha e foi cortado (termina "
                           "em \"…\").")
                .arg(reportName(),
                     size_t(column) < m_columns.size() ? m_columns[size_t(column)].definition.title
                                                       : QString(),
                     QLocale(QLocale::Portuguese, QLocale::Brazil).toString(text.size()),
                     QLocale(QLocale::Portuguese, QLocale::Brazil).toString(kCellText)));
    }
    check(worksheet_write_string(m_sheet, row, lxw_col_t(column), utf8.constData(), format));
}

void TXlsxExporter::writeInvalid(unsigned row, int column)
{
    check(worksheet_write_string(m_sheet, row, lxw_col_t(column),
                                 TValueFormat::invalidText().toUtf8().constData(), nullptr));
}

void TXlsxExporter::totals(const QString& caption, const std::vector<TReportSum>& sums, bool grand)
{
    // The grand total stands apart from the last group's.
    if (grand)
        nextRow();
    const lxw_row_t r = nextRow();
    writeText(r, 0, caption, m_bold);
    size_t s = 0;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        if (!m_columns[c].summed)
            continue;
        const TReportSum& sum = sums[s++];
        if (!sum.valid()) {
            writeInvalid(r, int(c));
            continue;
        }
        const auto format = m_columns[c].definition.format;
        check(
            worksheet_write_number(m_sheet, r, lxw_col_t(c), sum.value(), formatOf(format, true)));
    }
}

bool TXlsxExporter::end()
{
    closeSheet();
    // Closed aside, so that a stop is seen meanwhile: given up, the close goes on to its
    // end, for the library has no way to stop it, into the file already removed.
    const std::shared_ptr<Closing> closing = std::make_shared<Closing>();
    LibraryErrors errors;
    std::thread([closing, book = std::exchange(m_book, nullptr), fd = std::exchange(m_fd, -1)] {
        const lxw_error error = workbook_close(book);
        ::close(fd);
        const std::lock_guard lock(closing->mutex);
        closing->error = error;
        closing->done = true;
        closing->ended.notify_all();
    }).detach();
    std::unique_lock lock(closing->mutex);
    // Asked once at least: a stop that came with the last row is not outrun by a quick close.
    do {
        lock.unlock();
        const bool wanted = goesOn();
        lock.lock();
        if (!wanted)
            return false;
    } while (!closing->ended.wait_for(lock, std::chrono::milliseconds(100),
                                      [&] { return closing->done; }));
    const lxw_error error = closing->error;
    lock.unlock();
    check(error, errors.take());
    return true;
}

void TXlsxExporter::discard()
{
    if (m_book)
        lxw_workbook_free(m_book);
    m_book = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
