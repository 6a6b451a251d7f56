#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <array>
#include <functional>

// The demo database: the schema of each engine and deterministic rows a Brazilian
// clerk would recognise. The same scale gives the same rows on every engine, so
// tests can compare engines and know what to expect without asking the database.
class TDemoData
{
public:
    enum class Engine
    {
        SQLite,
        PostgreSQL,
        Firebird
    };

    struct Scale
    {
        int companies = 6;     // at most 100 (two-digit codes "01".."99", then "00")
        int registrations = 3; // state and municipal registrations per company
        int branches = 20;     // spread over the companies in blocks; the last may get none
        int documents = 300;
    };

    struct Company
    {
        QString code, name;
    };
    struct Branch
    {
        QString company, stateRegistration, municipalRegistration, code, name;
    };
    struct OperationType
    {
        QString direction, code, name;
    };
    // The six withholdings, in the order of the report columns.
    enum Tax
    {
        IRRF,
        INSS,
        ISS,
        PIS,
        COFINS,
        CSLL,
        TaxCount
    };

    struct Document
    {
        Branch branch;
        QString direction, operationType, model, series, number;
        QDate issued, date;
        QString partnerCode, partnerName;
        qint64 valueCents = 0;
        qint64 inssBaseCents = 0, issBaseCents = 0;
        std::array<qint64, TaxCount> withheldCents{};
        qint64 totalWithheldCents() const;
    };

    // Called after each table is filled (table, rows written, milliseconds taken) and
    // once more after the indexes are built (an empty name, number of indexes, time).
    using Progress = std::function<void(const QString&, qint64, qint64)>;

    // QSQLITE, QPSQL or QIBASE; any other driver is an EFrameworkError.
    static Engine engineOf(const QSqlDatabase& db);
    static QString schema(Engine engine);
    // A scale the generator cannot honour (too many companies, branches per company
    // beyond the four-character codes, documents without branches), or an empty text.
    static QString checkScale(const Scale& scale);

    // Creates the schema in an empty database and fills it, one transaction per table,
    // building the indexes after the rows. Throws EFrameworkError.
    static void create(QSqlDatabase& db, const Scale& scale, const Progress& progress);
    static void create(QSqlDatabase& db) { create(db, Scale(), Progress()); }

    static Company company(int index);
    static QString stateRegistration(int company, int index);
    static QString municipalRegistration(int company, int index);
    static int branchesOf(const Scale& scale, int company);
    // The index-th branch of the company (0-based within the company).
    static Branch branch(const Scale& scale, int company, int index);
    // Rows with one NULL code each, stored so lookups can prove they never return them.
    static QList<Branch> incompleteBranches();
    static QList<OperationType> operationTypes();
    static Document document(const Scale& scale, int index);
    // The column of each withholding in DOCFISCAL.
    static QString taxColumn(Tax tax);
    // A CNPJ base of 12 digits or a CPF base of 9 with its two check digits appended.
    static QString withCheckDigits(const QString& base);

private:
    static int branchesPerCompany(const Scale& scale);
};
