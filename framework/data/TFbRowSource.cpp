#include "TFbRowSource_p.h"

#include "EFrameworkError.h"
#include "FisLog.h"
#include "TRunningStatement.h"
#include "TWindows1252.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <cstring>
#include <ibase.h>
#include <vector>

namespace {

// A column value as the client library left it, at any alignment.
template <typename T> T load(const char* data)
{
    T value{};
    std::memcpy(&value, data, sizeof value);
    return value;
}

constexpr short charsetOctets = 1;
constexpr short charsetUtf8 = 4;
constexpr int firstJulianDay = 2400001; // Firebird's day 0 is 1858-11-17

// Read committed, record versions: a report never waits for a writer, and writes nothing.
const char readOnlyTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                            isc_tpb_rec_version, isc_tpb_nowait};

QString statusText(const ISC_STATUS* status)
{
    QString text;
    char buffer[512];
    const ISC_STATUS* vector = status;
    while (fb_interpret(buffer, sizeof buffer, &vector)) {
        if (!text.isEmpty())
            text += u' ';
        text += QString::fromUtf8(buffer);
    }
    return text;
}

void check(const ISC_STATUS* status)
{
    if (status[0] == 1 && status[1])
        throw EFrameworkError(statusText(status));
}

XSQLDA* newSqlda(short count)
{
    auto* sqlda = static_cast<XSQLDA*>(calloc(1, XSQLDA_LENGTH(std::max<short>(count, 1))));
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = std::max<short>(count, 1);
    return sqlda;
}

// The engine converts a WIN1252 byte its table leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) to NUL on the way to UTF-8; Qt's driver then cut the text there. No stored text holds
// a NUL, so each one stands for such a byte.
QString textOf(const char* bytes, qsizetype size, const QString& column)
{
    QString text = QString::fromUtf8(bytes, size);
    if (text.contains(QChar(0))) {
        text.replace(QChar(0), QChar(QChar::ReplacementCharacter));
        qCWarning(fisData).noquote() << "text not valid in WIN1252 shown with U+FFFD in" << column;
    }
    return text;
}

} // namespace

struct TFbRowSource::Handles
{
    isc_db_handle db = 0;
    isc_tr_handle transaction = 0;
    isc_stmt_handle statement = 0;
    XSQLDA* out = nullptr;
    XSQLDA* in = nullptr;
    std::vector<std::vector<char>> outBuffers, inBuffers;
    std::vector<short> outNulls, inNulls;
    bool cursorOpen = false;

    ~Handles()
    {
        ISC_STATUS_ARRAY status;
        if (statement)
            isc_dsql_free_statement(status, &statement, DSQL_drop);
        // Nothing was written: committing just ends it, and frees its record versions.
        if (transaction && isc_commit_transaction(status, &transaction))
            isc_rollback_transaction(status, &transaction);
        free(out);
        free(in);
    }
};

TFbRowSource::TFbRowSource(QSqlDriver* driver)
    : m_driver(driver), m_handles(std::make_unique<Handles>())
{
}

TFbRowSource::~TFbRowSource()
{
    finish();
}

std::unique_ptr<TFbRowSource> TFbRowSource::start(const QSqlDatabase& db, const QString& sql,
                                                  const QVariantList& values, int timeout)
{
    QSqlDriver* driver = db.driver();
    const QVariant handle = driver ? driver->handle() : QVariant();
    if (!driver || !driver->isOpen() || handle.metaType().sizeOf() != sizeof(isc_db_handle))
        throw EFrameworkError(QStringLiteral("A conexão com o Firebird não está aberta."));
    std::unique_ptr<TFbRowSource> source(new TFbRowSource(driver));
    Handles& h = *source->m_handles;
    h.db = *static_cast<const isc_db_handle*>(handle.constData());

    ISC_STATUS_ARRAY status;
    isc_start_transaction(status, &h.transaction, 1, &h.db, short(sizeof readOnlyTpb), readOnlyTpb);
    check(status);
    isc_dsql_allocate_statement(status, &h.db, &h.statement);
    check(status);
    h.out = newSqlda(20);
    const QByteArray text = sql.toUtf8();
    isc_dsql_prepare(status, &h.transaction, &h.statement, 0, text.constData(), SQL_DIALECT_V6,
                     h.out);
    check(status);

    // One statement that returns rows, nothing else: no DML, DDL or procedure call.
    const char items[] = {isc_info_sql_stmt_type};
    char info[16] = {};
    isc_dsql_sql_info(status, &h.statement, sizeof items, items, sizeof info, info);
    check(status);
    const int type = info[0] == isc_info_sql_stmt_type
                         ? int(isc_vax_integer(info + 3, short(isc_vax_integer(info + 1, 2))))
                         : 0;
    if (type != isc_info_sql_stmt_select)
        throw EFrameworkError(QStringLiteral("A consulta do relatório deve ser um único "
                                             "comando SELECT, que só lê o banco de dados."));

    if (h.out->sqld > h.out->sqln) {
        const short n = h.out->sqld;
        free(h.out);
        h.out = newSqlda(n);
        isc_dsql_describe(status, &h.statement, SQL_DIALECT_V6, h.out);
        check(status);
    }
    const int columns = h.out->sqld;
    h.outBuffers.resize(size_t(columns));
    h.outNulls.assign(size_t(columns), 0);
    for (int c = 0; c < columns; ++c) {
        XSQLVAR& v = h.out->sqlvar[c];
        source->m_columns << QString::fromUtf8(v.aliasname, v.aliasname_length);
        const short base = v.sqltype & ~1;
        // Texts come in the attachment's UTF-8 (see textOf for what the engine makes of a
        // legacy byte on the way).
        if ((base == SQL_TEXT || base == SQL_VARYING) && (v.sqlsubtype & 0xFF) != charsetOctets) {
            v.sqltype = short(SQL_VARYING | 1);
            v.sqlsubtype = charsetUtf8;
        } else {
            v.sqltype = short(base | 1);
        }
        h.outBuffers[size_t(c)].assign(size_t(v.sqllen) + 2, 0);
        v.sqldata = h.outBuffers[size_t(c)].data();
        v.sqlind = &h.outNulls[size_t(c)];
    }

    h.in = newSqlda(short(std::max<qsizetype>(values.size(), 1)));
    isc_dsql_describe_bind(status, &h.statement, SQL_DIALECT_V6, h.in);
    check(status);
    if (h.in->sqld != values.size())
        throw EFrameworkError(QStringLiteral("A consulta tem %1 parâmetros e recebeu %2 valores.")
                                  .arg(h.in->sqld)
                                  .arg(values.size()));
    h.inBuffers.resize(size_t(values.size()));
    h.inNulls.assign(size_t(values.size()), 0);
    for (int i = 0; i < values.size(); ++i) {
        XSQLVAR& v = h.in->sqlvar[i];
        std::vector<char>& buffer = h.inBuffers[size_t(i)];
        const QVariant& value = values[i];
        v.sqlind = &h.inNulls[size_t(i)];
        v.sqlscale = 0;
        const bool null =
            value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isNull());
        if (null) {
            h.inNulls[size_t(i)] = -1;
            v.sqltype = short(SQL_VARYING | 1);
            v.sqlsubtype = charsetUtf8;
            v.sqllen = 1;
            buffer.assign(4, 0);
        } else {
            switch (value.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Bool: {
                const ISC_INT64 n = value.toLongLong();
                v.sqltype = short(SQL_INT64 | 1);
                v.sqllen = sizeof n;
                buffer.resize(sizeof n);
                std::memcpy(buffer.data(), &n, sizeof n);
                break;
            }
            case QMetaType::Double: {
                const double d = value.toDouble();
                v.sqltype = short(SQL_DOUBLE | 1);
                v.sqllen = sizeof d;
                buffer.resize(sizeof d);
                std::memcpy(buffer.data(), &d, sizeof d);
                break;
            }
            case QMetaType::QDate: {
                const ISC_DATE d = ISC_DATE(value.toDate().toJulianDay() - firstJulianDay);
                v.sqltype = short(SQL_TYPE_DATE | 1);
                v.sqllen = sizeof d;
                buffer.resize(sizeof d);
                std::memcpy(buffer.data(), &d, sizeof d);
                break;
            }
            case QMetaType::QDateTime: {
                const QDateTime t = value.toDateTime();
                const ISC_TIMESTAMP ts{ISC_DATE(t.date().toJulianDay() - firstJulianDay),
                                       ISC_TIME(t.time().msecsSinceStartOfDay() * 10)};
                v.sqltype = short(SQL_TIMESTAMP | 1);
                v.sqllen = sizeof ts;
                buffer.resize(sizeof ts);
                std::memcpy(buffer.data(), &ts, sizeof ts);
                break;
            }
            default: {
                const QByteArray bytes = value.toString().toUtf8();
                if (bytes.size() > 32000)
                    throw EFrameworkError(QStringLiteral("Valor de parâmetro longo demais."));
                const auto length = short(bytes.size());
                v.sqltype = short(SQL_VARYING | 1);
                v.sqlsubtype = charsetUtf8;
                v.sqllen = length;
                buffer.resize(size_t(length) + 2);
                std::memcpy(buffer.data(), &length, 2);
                std::memcpy(buffer.data() + 2, bytes.constData(), size_t(length));
                break;
            }
            }
        }
        v.sqldata = buffer.data();
    }

    TRunningStatement::run(db, timeout, [&source, &h] {
        ISC_STATUS_ARRAY runStatus;
        isc_dsql_execute(runStatus, &h.transaction, &h.statement, SQL_DIALECT_V6,
                         h.in->sqld ? h.in : nullptr);
        check(runStatus);
        h.cursorOpen = true;
        source->m_onRow = source->fetch();
    });
    source->m_atEnd = !source->m_onRow;
    if (source->m_atEnd)
        source->finish();
    return source;
}

bool TFbRowSource::fetch()
{
    Handles& h = *m_handles;
    ISC_STATUS_ARRAY status;
    const ISC_STATUS result = isc_dsql_fetch(status, &h.statement, SQL_DIALECT_V6, h.out);
    if (result == 100)
        return false;
    check(status);
    return true;
}

TRowSource::Row TFbRowSource::currentRow()
{
    Handles& h = *m_handles;
    Row row;
    row.reserve(size_t(h.out->sqld));
    for (int c = 0; c < h.out->sqld; ++c) {
        const XSQLVAR& v = h.out->sqlvar[c];
        const short base = v.sqltype & ~1;
        const bool null = *v.sqlind < 0;
        const char* data = v.sqldata;
        auto integer = [&](ISC_INT64 n) -> QVariant {
            if (v.sqlscale < 0)
                return null ? QVariant(QMetaType::fromType<double>())
                            : QVariant(double(n) / std::pow(10.0, -v.sqlscale));
            if (base == SQL_INT64)
                return null ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(qlonglong(n));
            return null ? QVariant(QMetaType::fromType<int>()) : QVariant(int(n));
        };
        switch (base) {
        case SQL_VARYING: {
            if (null) {
                row.emplace_back(QMetaType::fromType<QString>());
                break;
            }
            short length = 0;
            std::memcpy(&length, data, 2);
            if (v.sqlsubtype == charsetUtf8)
                row.emplace_back(textOf(data + 2, length, m_columns[c]));
            else
                row.emplace_back(QByteArray(data + 2, length));
            break;
        }
        case SQL_TEXT:
            row.push_back(null ? QVariant(QMetaType::fromType<QByteArray>())
                               : QVariant(QByteArray(data, v.sqllen)));
            break;
        case SQL_SHORT:
            row.push_back(integer(load<short>(data)));
            break;
        case SQL_LONG:
            row.push_back(integer(load<ISC_LONG>(data)));
            break;
        case SQL_INT64:
            row.push_back(integer(load<ISC_INT64>(data)));
            break;
        case SQL_FLOAT:
            row.push_back(null ? QVariant(QMetaType::fromType<double>())
                               : QVariant(double(load<float>(data))));
            break;
        case SQL_DOUBLE:
            row.push_back(null ? QVariant(QMetaType::fromType<double>())
                               : QVariant(load<double>(data)));
            break;
        case SQL_TYPE_DATE:
            row.push_back(
                null ? QVariant(QMetaType::fromType<QDate>())
                     : QVariant(QDate::fromJulianDay(load<ISC_DATE>(data) + firstJulianDay)));
            break;
        case SQL_TYPE_TIME:
            row.push_back(
                null ? QVariant(QMetaType::fromType<QTime>())
                     : QVariant(QTime::fromMSecsSinceStartOfDay(int(load<ISC_TIME>(data) / 10))));
            break;
        case SQL_TIMESTAMP: {
            const auto ts = load<ISC_TIMESTAMP>(data);
            row.push_back(null
                              ? QVariant(QMetaType::fromType<QDateTime>())
                              : QVariant(QDateTime(
                                    QDate::fromJulianDay(ts.timestamp_date + firstJulianDay),
                                    QTime::fromMSecsSinceStartOfDay(int(ts.timestamp_time / 10)))));
            break;
        }
        case SQL_BOOLEAN:
            row.push_back(null ? QVariant(QMetaType::fromType<bool>()) : QVariant(*data != 0));
            break;
        case SQL_BLOB: {
            if (null) {
                row.emplace_back(QMetaType::fromType<QString>());
                break;
            }
            ISC_QUAD id;
            std::memcpy(&id, data, sizeof id);
            ISC_STATUS_ARRAY status;
            isc_blob_handle blob = 0;
            isc_open_blob2(status, &h.db, &h.transaction, &blob, &id, 0, nullptr);
            check(status);
            QByteArray bytes;
            char segment[8192];
            unsigned short got = 0;
            for (;;) {
                const ISC_STATUS r = isc_get_segment(status, &blob, &got, sizeof segment, segment);
                if (r != 0 && r != isc_segment)
                    break;
                bytes.append(segment, got);
            }
            isc_close_blob(status, &blob);
            // A text blob comes in its own character set, untranslated.
            if (v.sqlsubtype != 1)
                row.emplace_back(bytes);
            else if ((v.sqlscale & 0xFF) == charsetUtf8)
                row.emplace_back(textOf(bytes.constData(), bytes.size(), m_columns[c]));
            else
                row.emplace_back(
                    TWindows1252::decodeLogged(bytes.constData(), bytes.size(), m_columns[c]));
            break;
        }
        default:
            row.emplace_back();
            break;
        }
    }
    return row;
}

void TFbRowSource::read(int count, std::vector<Row>& rows)
{
    for (int read = 0; read < count && !m_atEnd; ++read) {
        if (!std::exchange(m_onRow, false)) {
            bool more = false;
            try {
                more = fetch();
            } catch (...) {
                finish();
                throw;
            }
            if (!more) {
                finish();
                break;
            }
        }
        rows.push_back(currentRow());
    }
}

void TFbRowSource::cancel()
{
    finish();
}

void TFbRowSource::finish()
{
    m_atEnd = true;
    m_onRow = false;
    // The attachment is Qt's: once its driver has closed it, the handles died with it.
    if (m_handles && m_driver && m_driver->isOpen())
        m_handles.reset();
    else if (m_handles) {
        m_handles->statement = 0;
        m_handles->transaction = 0;
        m_handles.reset();
    }
}
