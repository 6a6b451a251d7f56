// Fills a database with the demo schema and rows, at the demo size or at a
// benchmark scale. The password comes from FIS_DB_PASSWORD, never the command line.
#include "EFrameworkError.h"
#include "TDemoData.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(const QString& message)
{
    err() << "fisdemo: " << message << Qt::endl;
    return 1;
}

bool readCount(const QCommandLineParser& parser, const QString& option, int* value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int n = parser.value(option).toInt(&ok);
    if (!ok)
        return false;
    *value = n;
    return true;
}

int load(const QCommandLineParser& parser, const TDemoData::Scale& scale)
{
    const QString driver = parser.value(QStringLiteral("driver"));
    const QString database = parser.value(QStringLiteral("database"));
    if (database.isEmpty())
        return fail(QStringLiteral("informe o banco com --database."));

    QString qtDriver, target = database, user = parser.value(QStringLiteral("user"));
    if (driver == QLatin1String("sqlite")) {
        qtDriver = QStringLiteral("QSQLITE");
        // Built beside the target and renamed over it, so a failed load leaves nothing half done.
        target = database + QStringLiteral(".carregando");
        QFile::remove(target);
        const QFileInfo info(database);
        QDir().mkpath(info.absolutePath());
    } else if (driver == QLatin1String("postgresql")) {
        qtDriver = QStringLiteral("QPSQL");
        if (user.isEmpty())
            user = QStringLiteral("postgres");
    } else if (driver == QLatin1String("firebird")) {
        qtDriver = QStringLiteral("QIBASE");
        if (user.isEmpty())
            user = QStringLiteral("SYSDBA");
    } else {
        return fail(
            QStringLiteral("driver desconhecido \"%1\" (use sqlite, postgresql ou firebird).")
                .arg(driver));
    }

    int status = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(qtDriver, QStringLiteral("fisdemo"));
        db.setDatabaseName(target);
        db.setHostName(parser.value(QStringLiteral("host")));
        if (parser.isSet(QStringLiteral("port")))
            db.setPort(parser.value(QStringLiteral("port")).toInt());
        db.setUserName(user);
        db.setPassword(qEnvironmentVariable("FIS_DB_PASSWORD"));
        if (driver == QLatin1String("firebird"))
            db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=WIN1252"));

        if (!db.open()) {
            status = fail(QStringLiteral("não foi possível abrir o banco %1: %2")
                              .arg(database, db.lastError().text()));
        } else {
            QElapsedTimer total;
            total.start();
            try {
                TDemoData::create(db, scale, [](const QString& table, qint64 rows, qint64 ms) {
                    if (table.isEmpty())
                        err() << "índices: " << rows << " criados em " << ms << " ms" << Qt::endl;
                    else
                        err() << table << ": " << rows << " linhas em " << ms << " ms" << Qt::endl;
                });
                err() << "total: " << total.elapsed() << " ms" << Qt::endl;
            } catch (const EFrameworkError& e) {
                status = fail(e.message());
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fisdemo"));

    if (driver == QLatin1String("sqlite")) {
        if (status == 0) {
            QFile::remove(database);
            if (!QFile::rename(target, database))
                status = fail(QStringLiteral("não foi possível gravar %1.").arg(database));
        } else {
            QFile::remove(target);
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fisdemo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FIS_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cria o esquema e os dados de demonstração. Senha: variável FIS_DB_PASSWORD."));
    parser.addHelpOption();
    parser.addVersionOption();
    const TDemoData::Scale defaults;
    parser.addOptions({
        {QStringLiteral("driver"), QStringLiteral("sqlite, postgresql ou firebird."),
         QStringLiteral("driver"), QStringLiteral("sqlite")},
        {QStringLiteral("database"),
         QStringLiteral("Arquivo (sqlite, firebird) ou nome do banco (postgresql)."),
         QStringLiteral("banco")},
        {QStringLiteral("host"), QStringLiteral("Servidor (vazio: local ou embarcado)."),
         QStringLiteral("host")},
        {QStringLiteral("port"), QStringLiteral("Porta do servidor."), QStringLiteral("porta")},
        {QStringLiteral("user"), QStringLiteral("Usuário."), QStringLiteral("usuario")},
        {QStringLiteral("companies"), QStringLiteral("Empresas (1 a 100)."), QStringLiteral("n"),
         QString::number(defaults.companies)},
        {QStringLiteral("registrations"),
         QStringLiteral("Inscrições estaduais e municipais por empresa."), QStringLiteral("n"),
         QString::number(defaults.registrations)},
        {QStringLiteral("branches"), QStringLiteral("Filiais no total."), QStringLiteral("n"),
         QString::number(defaults.branches)},
        {QStringLiteral("documents"), QStringLiteral("Documentos fiscais."), QStringLiteral("n"),
         QString::number(defaults.documents)},
    });
    parser.process(app);

    TDemoData::Scale scale;
    if (!readCount(parser, QStringLiteral("companies"), &scale.companies) ||
        !readCount(parser, QStringLiteral("registrations"), &scale.registrations) ||
        !readCount(parser, QStringLiteral("branches"), &scale.branches) ||
        !readCount(parser, QStringLiteral("documents"), &scale.documents))
        return fail(QStringLiteral("as quantidades devem ser números inteiros."));
    const QString bad = TDemoData::checkScale(scale);
    if (!bad.isEmpty())
        return fail(bad);
    return load(parser, scale);
}
