#include "TADOIBQuery.h"

#include "EFrameworkError.h"
#include "FisLog.h"
#include "Helpers.h"
#include "TDBConnection.h"
#include "TDriverHandles.h"
#include "TFbRowSource_p.h"
#include "TPgRowSource_p.h"
#include "TQtRowSource_p.h"
#include "TRunningStatement.h"
#include "TSqlText.h"
#include "TSqliteAuthorizer.h"
#include "TStatementRewriter.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {

// A lookup takes microseconds, while handing it to a worker thread waits for a free core:
// milliseconds on a busy machine. So a statement first runs here, and SQLite stops it
// after a few milliseconds; only then does it go to the worker (where the clerk may cancel
// it), from its start again, which is harmless for a statement that only reads.
bool runsBriefly(sqlite3* connection, QSqlQuery& query, bool& onRow)
{
    struct Budget
    {
        QElapsedTimer clock;
        bool spent = false;
    } budget;
    budget.clock.start();
    sqlite3_progress_handler(
        connection, 1000,
        [](void* data) {
            auto* b = static_cast<Budget*>(data);
            b->spent = b->clock.nsecsElapsed() > 2'000'000;
            return int(b->spent);
        },
        &budget);
    bool ran = query.exec();
    if (ran) {
        onRow = query.next();
        ran = onRow || !query.lastError().isValid();
    }
    sqlite3_progress_handler(connection, 0, nullptr, nullptr);
    if (ran)
        return true;
    if (!budget.spent)
        throw EFrameworkError(query.lastError().text());
    query.finish();
    return false;
}

} // namespace

TADOIBQuery::TADOIBQuery(QObject* parent) : QObject(parent), m_dataSet(new TADOIBDataSet(this))
{
    m_dataSet->setObjectName(QStringLiteral("Query"));
}

void TADOIBQuery::setSQL(const QStringList& lines)
{
    m_sql = lines;
    if (m_paramCheck)
        m_params.Rebuild(TSqlText::parameterNames(lines.join(u'\n')));
}

void TADOIBQuery::setParamCheck(bool check)
{
    m_paramCheck = check;
    if (check)
        m_params.Rebuild(TSqlText::parameterNames(m_sql.join(u'\n')));
}

TADOIBStringField* TADOIBQuery::AddField(const QString& fieldName, const QString& displayLabel,
                                         int size, bool required, bool visible)
{
    auto* field = new TADOIBStringField(this, fieldName);
    field->setObjectName(objectName() + fieldName);
    field->setDisplayLabel(displayLabel);
    field->setSize(size);
    field->setRequired(required);
    field->setVisible(visible);
    m_fields.append(field);
    return field;
}

TADOIBStringField* TADOIBQuery::FieldByName(const QString& fieldName) const
{
    for (TADOIBStringField* f : m_fields)
        if (f->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return f;
    throw EFrameworkError(
        QStringLiteral("%1: campo '%2' não encontrado.").arg(objectName(), fieldName));
}

TDBConnection* TADOIBQuery::connection() const
{
    // The InterBase objects serve a Firebird database, the ADO connection any other.
    if (m_dataBase && m_dataBase->isInterBase())
        return m_dataBase;
    if (m_adoConnection)
        return m_adoConnection;
    return m_dataBase;
}

TADOIBQuery::Dialect TADOIBQuery::dialect() const
{
    const TDBConnection* c = connection();
    if (!c)
        return Dialect::Default;
    const QSqlDatabase db = c->database();
    if (!db.isValid())
        return Dialect::Default;
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::Interbase:
        return Dialect::InterBase;
    case QSqlDriver::Oracle:
        return Dialect::Oracle;
    case QSqlDriver::MSSqlServer:
        return Dialect::MSSQL;
    default:
        return Dialect::Default;
    }
}

QStringList TADOIBQuery::textFor(Dialect d) const
{
    const QStringList* text = &m_sql;
    switch (d) {
    case Dialect::Oracle:
        text = &m_sqlOracle;
        break;
    case Dialect::MSSQL:
        text = &m_sqlMssql;
        break;
    case Dialect::InterBase:
        text = &m_sqlIb;
        break;
    case Dialect::Default:
        break;
    }
    return text->isEmpty() ? m_sql : *text;
}

QString TADOIBQuery::activeText() const
{
    return textFor(dialect()).join(u'\n');
}

QString TADOIBQuery::statementText() const
{
    return TStatementRewriter::rewrite(activeText(), dialect(), m_params);
}

void TADOIBQuery::Open()
{
    if (Active())
        return;
    TDBConnection* c = connection();
    if (!c || !c->database().isValid())
        throw EFrameworkError(QStringLiteral("Não há conexão aberta com o banco de dados."));
    // Not under a statement still running on it (this one started from its wait dialog).
    TRunningStatement::awaitIdle(c->database().driver());
    // A connection lost before is reopened here, on the clerk's next action.
    const QSqlDatabase db = c->openDatabase();

    // A character the database cannot hold is refused here, not mangled by the driver.
    // Firebird passes a text through PARAM and NVLSTR, 255 characters wide: a longer
    // one would end in a truncation error, unless the query casts every use of it to a
    // width of its own (a list of operation types to VARCHAR(4000)).
    constexpr qsizetype maxInterBaseText = 255;
    const bool interBase = dialect() == Dialect::InterBase;
    const QString active = interBase ? activeText() : QString();
    for (int i = 0; i < m_params.Count(); ++i) {
        const TParam& p = m_params[i];
        const QString label = m_paramLabels.value(p.Name());
        const QString field = label.isEmpty() ? QStringLiteral("no parâmetro %1").arg(p.Name())
                                              : QStringLiteral("em '%1'").arg(label);
        if (!p.IsNull() && !FitsWindows1252(p.AsString()))
            throw EFrameworkError(QStringLiteral("O valor informado %1 contém caracteres que o "
                                                 "banco de dados não aceita. Use letras, "
                                                 "algarismos e sinais comuns.")
                                      .arg(field));
        if (!interBase || p.DataType() != TFieldType::ftString ||
            p.AsString().size() <= maxInterBaseText)
            continue;
        const int cast = TSqlText::castWidth(active, p.Name());
        const qsizetype most = cast > 0 ? cast : maxInterBaseText;
        if (p.AsString().size() > most)
            throw EFrameworkError(QStringLiteral("O valor informado %1 é longo demais para o "
                                                 "banco de dados (mais de %2 caracteres).")
                                      .arg(field)
                                      .arg(most));
    }

    try {
        run(db, c->StatementTimeout());
    } catch (const EFrameworkError& e) {
        const EFrameworkError told = c->diagnose(
            e, QStringLiteral("Não foi possível consultar o banco de dados%1. Repita a operação; "
                              "se o erro continuar, avise o suporte (o texto do banco de dados "
                              "está nos detalhes).")
                   .arg(m_description.isEmpty() ? QString() : u" (" + m_description + u')'));
        qCDebug(fisData).noquote() << objectName() << told.message() << "|" << told.detail();
        throw told;
    }
}

void TADOIBQuery::run(const QSqlDatabase& db, int timeout)
{
    QStringList names;
    const bool pg = db.driverName() == QLatin1String("QPSQL");
    const QString sql = pg ? TSqlText::toNumbered(statementText(), &names)
                           : TSqlText::toPositional(statementText(), &names);
    QVariantList values;
    for (const QString& name : names)
        values << m_params.ParamByName(name).Value();
    if (fisData().isDebugEnabled()) {
        // The kinds of the values only: a value may be anything the clerk typed.
        QStringList kinds;
        for (const QVariant& v : std::as_const(values))
            kinds << (v.isNull() ? QStringLiteral("NULL") : QString::fromLatin1(v.typeName()));
        qCDebug(fisData).noquote() << objectName() << sql << "| values:" << kinds.join(u", ");
    }
    if (pg) {
        // Through libpq: Qt's driver would receive the whole result before the first row.
        openRows(TPgRowSource::start(db, sql, values, timeout));
        return;
    }
    if (db.driver()->dbmsType() == QSqlDriver::Interbase) {
        // Through the client library: Qt's driver cannot start a read-only transaction.
        openRows(TFbRowSource::start(db, sql, values, timeout));
        return;
    }
    sqlite3* connection = TDriverHandles::sqlite(db);
    const std::shared_ptr<QSqlQuery> query = prepared(db, connection, sql);
    for (int i = 0; i < int(values.size()); ++i)
        query->bindValue(i, values[i]);
    bool onRow = false;
    if (!connection || !runsBriefly(connection, *query, onRow)) {
        TRunningStatement::run(db, timeout, [&query, &onRow] {
            if (!query->exec())
                throw EFrameworkError(query->lastError().text());
            onRow = query->next();
            if (!onRow && query->lastError().isValid())
                throw EFrameworkError(query->lastError().text());
        });
    }
    openRows(std::make_unique<TQtRowSource>(query, onRow));
}

// The form runs the same few texts again and again as the clerk leaves each field, and
// compiling one costs SQLite about as much as running it: the last one is kept prepared.
// Qt's driver finalizes its statements when the connection closes, so one that belongs to
// no statement on this very handle any more is prepared again.
std::shared_ptr<QSqlQuery> TADOIBQuery::prepared(const QSqlDatabase& db, sqlite3* connection,
                                                 const QString& sql)
{
    if (connection && m_prepared && m_prepared.use_count() == 1 && sql == m_preparedText) {
        sqlite3_stmt* statement = TDriverHandles::sqlite(*m_prepared);
        if (statement && sqlite3_db_handle(statement) == connection)
            return m_prepared;
    }
    // Set before every prepare, not once per connection: a reopened or cloned connection is
    // a new handle. Setting it expires the statements prepared before, so not on a reuse.
    TSqliteAuthorizer::install(db);
    auto query = std::make_shared<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->prepare(sql))
        throw EFrameworkError(query->lastError().text());
    m_prepared = connection ? query : nullptr;
    m_preparedText = sql;
    return query;
}

void TADOIBQuery::openRows(std::unique_ptr<TRowSource> source)
{
    m_dataSet->open(std::move(source));
    for (const TADOIBStringField* f : m_fields)
        m_dataSet->setColumnLabel(m_dataSet->columnIndex(f->FieldName()), f->DisplayLabel());
}

void TADOIBQuery::EndPendingStream(const QSqlDatabase& db)
{
    TRunningStatement::awaitIdle(db.driver());
    TPgRowSource::endPending(db);
}

void TADOIBQuery::Close()
{
    m_dataSet->close();
}
