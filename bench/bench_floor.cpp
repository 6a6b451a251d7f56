// The floor a report's run is measured against: the statement the shipped listing sends,
// with the values it binds, read to its last row straight through the database's client
// library (libsqlite3, libpq, fbclient) and every value touched; nothing formatted or laid
// out.
//
//   bench_floor --driver D --database DB [--host H --port P --user U] --reports DIR
//
// The password comes from FIS_DB_PASSWORD, as for fisreport.
#include "BenchListing.h"
#include "EFrameworkError.h"
#include "TADOIBQuery.h"
#include "TDataModuleFactory.h"
#include "TReportDefinition.h"
#include "TReportRun.h"
#include "TSqlText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDriver>
#include <cstdio>
#include <cstdlib>
#include <ibase.h>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

// As fisreport fills what the command line leaves out: every code, both directions.
void fill(TParams& params)
{
    for (int i = 0; i < params.Count(); ++i) {
        TParam& p = params[i];
        if (p.Name() == QLatin1String("P_DTENTRINI"))
            p.SetAsDate(QDate(2000, 1, 1));
        else if (p.Name() == QLatin1String("P_DTENTRFIM"))
            p.SetAsDate(QDate(2100, 1, 1));
        else if (p.Name() == QLatin1String("P_IDENTRSAID"))
            p.SetAsString(QStringLiteral("A"));
        else
            p.SetAsString(QStringLiteral("T"));
    }
}

// A bound value as the drivers pass it: text, dates as ISO text.
QByteArray text(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate).toUtf8();
    return v.toString().toUtf8();
}

qint64 sqliteRows(const QString& file, const QString& sql, const TParams& params)
{
    QStringList names;
    const QByteArray statement = TSqlText::toPositional(sql, &names).toUtf8();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        throw EFrameworkError(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, statement.constData(), int(statement.size()), &stmt, nullptr) !=
        SQLITE_OK)
        throw EFrameworkError(QString::fromUtf8(sqlite3_errmsg(db)));
    std::vector<QByteArray> values;
    for (const QString& name : names)
        values.push_back(text(params.ParamByName(name).Value()));
    for (size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(stmt, int(i) + 1, values[i].constData(), int(values[i].size()),
                          SQLITE_STATIC);
    qint64 rows = 0, touched = 0;
    const int columns = sqlite3_column_count(stmt);
    int status;
    while ((status = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                touched += sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                touched += qint64(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_NULL:
                break;
            default:
                sqlite3_column_text(stmt, c);
                touched += sqlite3_column_bytes(stmt, c);
            }
        }
    }
    if (status != SQLITE_DONE)
        throw EFrameworkError(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return touched >= 0 ? rows : 0;
}

qint64 postgresRows(const QCommandLineParser& parser, const QString& sql, const TParams& params)
{
    QStringList names;
    const QByteArray statement = TSqlText::toNumbered(sql, &names).toUtf8();
    const QByteArray info =
        QStringLiteral("host='%1' port='%2' dbname='%3' user='%4' password='%5'")
            .arg(parser.value("host"), parser.value("port"), parser.value("database"),
                 parser.value("user"), qEnvironmentVariable("FIS_DB_PASSWORD"))
            .toUtf8();
    PGconn* conn = PQconnectdb(info.constData());
    if (PQstatus(conn) != CONNECTION_OK)
        throw EFrameworkError(QString::fromUtf8(PQerrorMessage(conn)));
    std::vector<QByteArray> values;
    std::vector<const char*> pointers;
    for (const QString& name : names)
        values.push_back(text(params.ParamByName(name).Value()));
    for (const QByteArray& v : values)
        pointers.push_back(v.constData());
    PGresult* result = PQexecParams(conn, statement.constData(), int(pointers.size()), nullptr,
                                    pointers.data(), nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK)
        throw EFrameworkError(QString::fromUtf8(PQresultErrorMessage(result)));
    const int rows = PQntuples(result), columns = PQnfields(result);
    qint64 touched = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            touched += PQgetlength(result, r, c) + (PQgetvalue(result, r, c)[0] != 0);
    PQclear(result);
    PQfinish(conn);
    return touched >= 0 ? rows : 0;
}

void check(const ISC_STATUS* status)
{
    if (status[0] == 1 && status[1]) {
        char text[512];
        const ISC_STATUS* at = status;
        fb_interpret(text, sizeof text, &at);
        throw EFrameworkError(QString::fromLocal8Bit(text));
    }
}

// On the connection's own attachment, in a read-only transaction; values bound as text
// (the server converts the dates), columns fetched in their own types.
qint64 firebirdRows(const QSqlDatabase& connection, const QString& sql, const TParams& params)
{
    QStringList names;
    const QByteArray statementText = TSqlText::toPositional(sql, &names).toUtf8();
    const QVariant handle = connection.driver()->handle();
    isc_db_handle db = *static_cast<const isc_db_handle*>(handle.constData());
    ISC_STATUS_ARRAY status;
    isc_tr_handle transaction = 0;
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                               isc_tpb_rec_version, isc_tpb_nowait};
    isc_start_transaction(status, &transaction, 1, &db, short(sizeof tpb), tpb);
    check(status);
    isc_stmt_handle statement = 0;
    isc_dsql_allocate_statement(status, &db, &statement);
    check(status);
    auto sqlda = [](short n) {
        auto* d = static_cast<XSQLDA*>(calloc(1, XSQLDA_LENGTH(n)));
        d->version = SQLDA_VERSION1;
        d->sqln = n;
        return d;
    };
    XSQLDA* out = sqlda(64);
    isc_dsql_prepare(status, &transaction, &statement, 0, statementText.constData(), SQL_DIALECT_V6,
                     out);
    check(status);
    XSQLDA* in = sqlda(short(std::max<qsizetype>(1, names.size())));
    isc_dsql_describe_bind(status, &statement, SQL_DIALECT_V6, in);
    check(status);
    std::vector<QByteArray> values;
    for (const QString& name : names)
        values.push_back(text(params.ParamByName(name).Value()));
    for (int i = 0; i < in->sqld; ++i) {
        XSQLVAR& v = in->sqlvar[i];
        v.sqltype = SQL_TEXT;
        v.sqlsubtype = 0;
        v.sqllen = short(values[size_t(i)].size());
        v.sqldata = values[size_t(i)].data();
        v.sqlind = nullptr;
    }
    std::vector<std::vector<char>> buffers(size_t(out->sqld));
    std::vector<short> nulls(size_t(out->sqld));
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        buffers[size_t(i)].resize(size_t(v.sqllen) + 2);
        v.sqldata = buffers[size_t(i)].data();
        v.sqlind = &nulls[size_t(i)];
    }
    isc_dsql_execute(status, &transaction, &statement, SQL_DIALECT_V6, in->sqld ? in : nullptr);
    check(status);
    qint64 rows = 0;
    while (isc_dsql_fetch(status, &statement, SQL_DIALECT_V6, out) == 0)
        ++rows;
    check(status);
    isc_dsql_free_statement(status, &statement, DSQL_drop);
    isc_commit_transaction(status, &transaction);
    free(in);
    free(out);
    return rows;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"driver", "sqlite, postgresql or firebird.", "driver", "sqlite"},
                       {"database", "File or database name.", "name"},
                       {"host", "Server.", "host"},
                       {"port", "Port.", "port"},
                       {"user", "User.", "user"},
                       {"reports", "Report definitions.", "dir"}});
    parser.process(app);
    try {
        TConnectionOptions options;
        options.driver = parser.value("driver");
        options.database = parser.value("database");
        options.host = parser.value("host");
        options.port = parser.value("port").toInt();
        options.user = parser.value("user");
        options.password = qEnvironmentVariable("FIS_DB_PASSWORD");
        const auto dtm = TDataModuleFactory::open(options);
        dtmDBGeral = dtm.get();
        const TReportDefinition listing = benchListing(parser.value("reports"));

        // The statement and values the report's run sends, taken from a run of its own.
        TADOIBQuery query;
        QString sql;
        TParams params;
        {
            TReportRun run(listing, &query);
            run.start([](TParams& p, bool&) { fill(p); });
            sql = query.statementText();
            params = query.Params();
            query.Close();
        }

        QElapsedTimer timer;
        timer.start();
        const char* how = "libsqlite3";
        qint64 rows = 0;
        if (options.driver == QLatin1String("sqlite")) {
            rows = sqliteRows(options.database, sql, params);
        } else if (options.driver == QLatin1String("postgresql")) {
            how = "libpq";
            rows = postgresRows(parser, sql, params);
        } else {
            how = "fbclient";
            rows = firebirdRows(dtm->dtbGeral->database(), sql, params);
        }
        std::printf("floor: %.2f s, %lld rows (%s)\n", timer.elapsed() / 1000.0,
                    static_cast<long long>(rows), how);
        dtmDBGeral = nullptr;
    } catch (const EFrameworkError& e) {
        std::fprintf(stderr, "bench_floor: %s\n", qPrintable(e.message()));
        return 2;
    }
    return 0;
}
