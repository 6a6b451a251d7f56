#include "TConnectionError.h"

#include <QStringList>

namespace {

bool containsAny(const QString& text, const QStringList& needles)
{
    for (const QString& needle : needles) {
        if (text.contains(needle, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

const QString configure = QStringLiteral("Arquivo › Configurar conexão…");

} // namespace

TConnectionError::Kind TConnectionError::classify(const QString& driver, const QString& text)
{
    // Told apart from a database without the tables: the cure is another.
    if (driver == QLatin1String("sqlite") &&
        containsAny(text, {QStringLiteral("database is locked"),
                           QStringLiteral("database table is locked")}))
        return Kind::FileLocked;
    if (driver == QLatin1String("sqlite") &&
        text.contains(QLatin1String("database disk image is malformed")))
        return Kind::FileDamaged;
    if (containsAny(text,
                    {QStringLiteral("no permission for"), QStringLiteral("permission denied for")}))
        return Kind::NoReadRights;
    if (driver == QLatin1String("firebird")) {
        // Firebird tells a wrong password and an unknown user apart to nobody.
        if (containsAny(text, {QStringLiteral("user name and password are not defined")}))
            return Kind::WrongPassword;
        if (containsAny(text, {QStringLiteral("No such file or directory"),
                               QStringLiteral("I/O error during \"open\""),
                               QStringLiteral("I/O error during \"CreateFile (open)\"")}))
            return Kind::FileMissing;
        if (containsAny(text, {QStringLiteral("Unable to complete network request"),
                               QStringLiteral("Failed to establish a connection"),
                               QStringLiteral("Connection refused")}))
            return Kind::ServerDown;
        return Kind::Other;
    }
    if (driver == QLatin1String("postgresql")) {
        if (containsAny(text, {QStringLiteral("password authentication failed")}))
            return Kind::WrongPassword;
        if (containsAny(text, {QStringLiteral("no password supplied")}))
            return Kind::PasswordMissing;
        if (text.contains(QLatin1String("role \"")) &&
            text.contains(QLatin1String("does not exist")))
            return Kind::UnknownUser;
        if (text.contains(QLatin1String("database \"")) &&
            text.contains(QLatin1String("does not exist")))
            return Kind::DatabaseMissing;
        if (containsAny(text, {QStringLiteral("no pg_hba.conf entry")}))
            return Kind::HostRefused;
        if (containsAny(
                text,
                {QStringLiteral("Connection refused"), QStringLiteral("could not connect"),
                 QStringLiteral("timeout expired"), QStringLiteral("could not translate host name"),
                 QStringLiteral("No route to host"), QStringLiteral("Network is unreachable"),
                 QStringLiteral("server closed the connection")}))
            return Kind::ServerDown;
    }
    return Kind::Other;
}

EFrameworkError TConnectionError::make(Kind kind, const QString& driver, const QString& where,
                                       const QString& user, const QString& detail)
{
    const bool firebird = driver == QLatin1String("firebird");
    QString text;
    switch (kind) {
    case Kind::WrongPassword:
        text = firebird ? QStringLiteral("O banco Firebird %1 não aceitou o usuário %2 com a senha "
                                         "informada. Confira o usuário e a senha em %3 e tente "
                                         "novamente.")
                        : QStringLiteral("O banco de dados %1 não aceitou a senha do usuário %2. "
                                         "Confira a senha (ou o arquivo da senha) em %3 e tente "
                                         "novamente.");
        text = text.arg(where, user, configure);
        break;
    case Kind::PasswordMissing:
        text = QStringLiteral("O banco de dados %1 pede uma senha para o usuário %2, e nenhuma "
                              "foi informada. Em %3, escolha \"Pedir ao conectar\" ou um arquivo "
                              "da senha.")
                   .arg(where, user, configure);
        break;
    case Kind::UnknownUser:
        text = QStringLiteral("O usuário %1 não existe no servidor do banco %2. Confira o nome "
                              "do usuário em %3, ou peça ao administrador do banco que o crie "
                              "(db/postgresql/reader-role.sql).")
                   .arg(user, where, configure);
        break;
    case Kind::ServerDown:
        text = QStringLiteral("O servidor do banco de dados %1 não respondeu: pode estar "
                              "desligado ou fora do alcance da rede. Verifique o servidor e a "
                              "rede e tente novamente, ou confira o servidor e a porta em %2.")
                   .arg(where, configure);
        break;
    case Kind::DatabaseMissing:
        text = QStringLiteral("O banco de dados %1 não existe no servidor. Confira o nome do "
                              "banco em %2.")
                   .arg(where, configure);
        break;
    case Kind::FileMissing:
        text = QStringLiteral("O arquivo do banco de dados %1 não foi encontrado; nenhum banco "
                              "foi criado. Confira o caminho em %2.")
                   .arg(where, configure);
        break;
    case Kind::HostRefused:
        text = QStringLiteral("O servidor do banco %1 não aceita conexões do usuário %2 a "
                              "partir deste computador. Peça ao administrador do banco que "
                              "libere o acesso, ou confira o usuário em %3.")
                   .arg(where, user, configure);
        break;
    case Kind::NotTheSystem:
        text = QStringLiteral("O banco de dados %1 não contém as tabelas do sistema, ou o "
                              "usuário %2 não pode lê-las. Confira o banco e o usuário em %3.")
                   .arg(where, user, configure);
        break;
    case Kind::FileLocked:
        text = QStringLiteral("O arquivo do banco de dados %1 está bloqueado por outro programa "
                              "que grava nele (uma importação, uma cópia, outro sistema). "
                              "Espere ele terminar, ou feche-o, e tente novamente.")
                   .arg(where);
        break;
    case Kind::FileDamaged:
        text = QStringLiteral("O arquivo do banco de dados %1 está danificado ou incompleto "
                              "(cortado por uma restauração ou uma cópia que não terminou). "
                              "Restaure-o de uma cópia boa e tente novamente.")
                   .arg(where);
        break;
    case Kind::NoReadRights:
        text = QStringLiteral("O usuário %1 não tem permissão de leitura nas tabelas do banco "
                              "%2. Peça ao administrador do banco que lhe dê SELECT nelas "
                              "(como ao grupo de leitores), ou escolha em %3 um usuário de "
                              "leitura.")
                   .arg(user, where, configure);
        break;
    case Kind::MayWrite:
        text = QStringLiteral("O usuário %1 pode gravar no banco %2, e o sistema só se conecta "
                              "com um usuário só de leitura. Escolha em %3 um usuário de leitura "
                              "(como %4).")
                   .arg(user, where, configure,
                        firebird ? QStringLiteral("FISLEITOR")
                                 : QStringLiteral("fisleitor, criado por "
                                                  "db/postgresql/reader-role.sql"));
        break;
    case Kind::Other:
        text = QStringLiteral("Não foi possível conectar ao banco de dados %1. Confira a conexão "
                              "em %2 e tente novamente; os detalhes trazem a resposta do banco.")
                   .arg(where, configure);
        break;
    }
    return EFrameworkError(text, detail);
}

EFrameworkError TConnectionError::fromDriver(const QString& driver, const QString& where,
                                             const QString& user, const QString& driverText)
{
    return make(classify(driver, driverText), driver, where, user, driverText);
}
