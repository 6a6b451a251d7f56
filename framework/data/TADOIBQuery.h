#pragma once

#include "FisDataExport.h"
#include "TADOIBDataSet.h"
#include "TADOIBStringField.h"
#include "TDialect.h"
#include "TParams.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "TDBConnection.h"
#include "TDataSource.h"

class QSqlQuery;
struct sqlite3;

// A read-only query holding one SQL text per database dialect. It runs the text
// that fits the connected database, with its parameters bound (never spliced),
// and shows its rows through the lazy dataset Query().
class FIS_DATA_EXPORT TADOIBQuery : public QObject
{
    Q_OBJECT

public:
    using Dialect = TDialect;

    explicit TADOIBQuery(QObject* parent = nullptr);

    // The texts, one line per element. With ParamCheck the parameter list follows
    // the markers of the default text.
    QStringList SQL() const { return m_sql; }
    void setSQL(const QStringList& lines);
    QStringList SQL_ORACLE() const { return m_sqlOracle; }
    void setSQL_ORACLE(const QStringList& lines) { m_sqlOracle = lines; }
    QStringList SQL_MSSQL() const { return m_sqlMssql; }
    void setSQL_MSSQL(const QStringList& lines) { m_sqlMssql = lines; }
    QStringList SQL_IB() const { return m_sqlIb; }
    void setSQL_IB(const QStringList& lines) { m_sqlIb = lines; }

    // What the rows are, in the clerk's words ("relatório 'Listagem'"): named when the
    // database refuses the statement.
    QString Description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }
    // The field a parameter comes from, in the clerk's words ("Empresa"): named when its
    // value is refused. Without one the parameter's own name is given.
    void setParamLabel(const QString& name, const QString& label) { m_paramLabels[name] = label; }

    bool ParamCheck() const { return m_paramCheck; }
    void setParamCheck(bool check);

    TDBConnection* ADOConnection() const { return m_adoConnection; }
    void setADOConnection(TDBConnection* connection) { m_adoConnection = connection; }
    TDBConnection* DataBase() const { return m_dataBase; }
    void setDataBase(TDBConnection* database) { m_dataBase = database; }
    TDBConnection* Transaction() const { return m_transaction; }
    void setTransaction(TDBConnection* transaction) { m_transaction = transaction; }
    TDataSource* DataSource() const { return m_dataSource; }
    void setDataSource(TDataSource* source) { m_dataSource = source; }

    TParams& Params() { return m_params; }
    const TParams& Params() const { return m_params; }
    TParam& ParamByName(const QString& name) { return m_params.ParamByName(name); }

    TADOIBStringField* AddField(const QString& fieldName, const QString& displayLabel, int size,
                                bool required, bool visible);
    QList<TADOIBStringField*> Fields() const { return m_fields; }
    // The declared field of that column; a missing one is an error.
    TADOIBStringField* FieldByName(const QString& fieldName) const;

    TADOIBDataSet* Query() const { return m_dataSet; }

    // Runs the fitting text with the current parameter values and stands on the first row.
    void Open();
    void Close();
    bool Active() const { return m_dataSet->isOpen(); }
    // Call before running a plain QSqlQuery on a connection queries may be reading from:
    // a PostgreSQL connection carries one pending result, which this ends (see
    // TADOIBDataSet for what its dataset keeps). Elsewhere it does nothing.
    static void EndPendingStream(const QSqlDatabase& db);
    bool IsEmpty() const { return m_dataSet->IsEmpty(); }

    // The dialect of the connected database, and the text that runs on it.
    Dialect dialect() const;
    QStringList textFor(Dialect dialect) const;
    QString activeText() const;
    // The statement Open sends, markers still in place (after any rewrite for speed).
    QString statementText() const;
    // The connection Open runs on: the InterBase objects' for Firebird, the ADO one else.
    TDBConnection* connection() const;

private:
    void run(const QSqlDatabase& db, int timeout);
    // connection: the SQLite handle of db, null on another driver (nothing is kept then).
    std::shared_ptr<QSqlQuery> prepared(const QSqlDatabase& db, sqlite3* connection,
                                        const QString& sql);
    void openRows(std::unique_ptr<TRowSource> source);

    QStringList m_sql, m_sqlOracle, m_sqlMssql, m_sqlIb;
    QString m_description;
    QHash<QString, QString> m_paramLabels;
    bool m_paramCheck = true;
    QPointer<TDBConnection> m_adoConnection, m_dataBase, m_transaction;
    QPointer<TDataSource> m_dataSource;
    TParams m_params;
    QList<TADOIBStringField*> m_fields;
    TADOIBDataSet* m_dataSet;
    // The last statement prepared on SQLite, and its text.
    std::shared_ptr<QSqlQuery> m_prepared;
    QString m_preparedText;
};
