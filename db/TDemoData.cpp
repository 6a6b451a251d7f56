#include "TDemoData.h"

#include "EFrameworkError.h"
#include "TBatchInserter.h"
#include "TSqlScript.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <array>

namespace {

// Branch codes: "0001".."9999", then a letter and three base-36 digits.
constexpr int kDecimalCodes = 9999;
constexpr int kLetterCodes = 26 * 36 * 36 * 36;
constexpr int kMaxRegistrations = 999999;

const std::array<const char*, 31> kCities = {
    "São Paulo",      "Campinas",      "Santos",       "Ribeirão Preto", "São José dos Campos",
    "Belo Horizonte", "Uberlândia",    "Juiz de Fora", "Contagem",       "Montes Claros",
    "Porto Alegre",   "Caxias do Sul", "Pelotas",      "Santa Maria",    "Passo Fundo",
    "Recife",         "Salvador",      "Fortaleza",    "João Pessoa",    "Maceió",
    "Curitiba",       "Londrina",      "Maringá",      "Foz do Iguaçu",  "Cascavel",
    "Rio de Janeiro", "Niterói",       "Petrópolis",   "Goiânia",        "Florianópolis",
    "Manaus"};

const std::array<const char*, 6> kNamedCompanies = {
    "Comercial Paulista de Alimentos Ltda.",
    "Distribuidora Mineira de Bebidas S.A.",
    "Indústria Gaúcha de Calçados Ltda.",
    "Atacadão Nordeste Comércio e Representações Ltda.",
    "Transportadora Paranaense de Cargas Ltda.",
    "Fluminense Serviços de Informática Ltda."};

const std::array<const char*, 10> kCompanyKinds = {
    "Comercial",   "Distribuidora", "Indústria",      "Atacadista",  "Supermercados",
    "Metalúrgica", "Laticínios",    "Transportadora", "Construtora", "Farmácias"};

struct Partner
{
    const char* base; // the CNPJ's first twelve digits, or the CPF's first nine
    const char* name;
};
const std::array<Partner, 16> kPartners = {{
    {"112223330001", "Mercado Bom Preço Ltda."},
    {"223334440001", "Auto Peças Irmãos Gonçalves Ltda."},
    {"334445550001", "Papelaria Estrela do Sul Ltda."},
    {"445556660001", "Cooperativa Agrícola Vale do Itajaí"},
    {"556667770001", "Supermercado Econômico Ltda."},
    {"667778880001", "João Batista de Souza Serviços ME"},
    {"778889990001", "Construções Ribeiro & Filhos Ltda."},
    {"889990000001", "Frigorífico Pampa S.A."},
    {"990001110001", "Laboratório de Análises Clínicas Vida Ltda."},
    {"101112130001", "Oficina Mecânica São Jorge ME"},
    {"121314150001", "Importadora Atlântico Sul Ltda."},
    {"131415160001", "Gráfica Açaí Editora e Impressos Ltda."},
    {"529982247", "Maria Aparecida dos Santos"},
    {"123456789", "José Carlos Pereira"},
    {"987654321", "Ana Paula Ferreira; Consultoria"},
    {"111444777", "Antônio \"Toninho\" Oliveira"},
}};

QString text(const char* s)
{
    return QString::fromUtf8(s);
}

// splitmix64: the same stream on every platform, unlike the standard distributions.
quint64 mix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

QString branchCode(int index)
{
    if (index < kDecimalCodes)
        return QStringLiteral("%1").arg(index + 1, 4, 10, QLatin1Char('0'));
    const int k = index - kDecimalCodes;
    const QChar letter(u'A' + k / (36 * 36 * 36));
    return letter + QStringLiteral("%1").arg(k % (36 * 36 * 36), 3, 36, QLatin1Char('0')).toUpper();
}

// Rounded to the cent, as the fiscal documents print it.
qint64 rate(qint64 baseCents, int basisPoints)
{
    return (baseCents * basisPoints + 5000) / 10000;
}

QString cents(qint64 value)
{
    return QStringLiteral("%1.%2").arg(value / 100).arg(value % 100, 2, 10, QLatin1Char('0'));
}

QVariant nullable(const QString& s)
{
    return s.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

void execute(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw EFrameworkError(QStringLiteral("Falha ao criar o banco de demonstração: %1\n%2")
                                  .arg(q.lastError().text(), sql.left(200)));
}

// One table in one transaction; a failure leaves the table empty and travels on.
template <typename Fill>
void fillTable(QSqlDatabase& db, TDemoData::Engine engine, const QString& table,
               const QStringList& columns, const TDemoData::Progress& progress, Fill fill)
{
    QElapsedTimer timer;
    timer.start();
    if (!db.transaction())
        throw EFrameworkError(QStringLiteral("Falha ao iniciar a transação da tabela %1: %2")
                                  .arg(table, db.lastError().text()));
    qint64 rows = 0;
    try {
        // Firebird has no multi-row VALUES; the others take a few hundred rows a statement.
        TBatchInserter inserter(db, table, columns,
                                engine == TDemoData::Engine::Firebird ? 1 : 256);
        fill(inserter);
        inserter.finish();
        rows = inserter.count();
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw EFrameworkError(
            QStringLiteral("Falha ao gravar a tabela %1: %2").arg(table, db.lastError().text()));
    if (progress)
        progress(table, rows, timer.elapsed());
}

} // namespace

TDemoData::Engine TDemoData::engineOf(const QSqlDatabase& db)
{
    const QString driver = db.driverName();
    if (driver == QLatin1String("QSQLITE"))
        return Engine::SQLite;
    if (driver == QLatin1String("QPSQL"))
        return Engine::PostgreSQL;
    if (driver == QLatin1String("QIBASE"))
        return Engine::Firebird;
    throw EFrameworkError(
        QStringLiteral("Driver de banco de dados não suportado: %1.").arg(driver));
}

QString TDemoData::schema(Engine engine)
{
    const char* path = engine == Engine::SQLite       ? ":/fisdb/sqlite/schema.sql"
                       : engine == Engine::PostgreSQL ? ":/fisdb/postgresql/schema.sql"
                                                      : ":/fisdb/firebird/schema.sql";
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        throw EFrameworkError(
            QStringLiteral("Esquema do banco não encontrado: %1.").arg(QString::fromLatin1(path)));
    return QString::fromUtf8(file.readAll());
}

QString TDemoData::checkScale(const Scale& scale)
{
    if (scale.companies < 1 || scale.companies > 100)
        return QStringLiteral("O número de empresas deve estar entre 1 e 100.");
    if (scale.registrations < 1 || scale.registrations > kMaxRegistrations)
        return QStringLiteral("O número de inscrições por empresa deve estar entre 1 e %1.")
            .arg(kMaxRegistrations);
    if (scale.branches < 0 || scale.documents < 0)
        return QStringLiteral("O número de filiais e de documentos não pode ser negativo.");
    if (branchesPerCompany(scale) > kDecimalCodes + kLetterCodes)
        return QStringLiteral("Filiais demais por empresa: o código da filial tem 4 caracteres.");
    if (scale.documents > 0 && scale.branches == 0)
        return QStringLiteral("Documentos exigem ao menos uma filial.");
    return {};
}

int TDemoData::branchesPerCompany(const Scale& scale)
{
    return int((qint64(scale.branches) + scale.companies - 1) / scale.companies);
}

int TDemoData::branchesOf(const Scale& scale, int company)
{
    const qint64 per = branchesPerCompany(scale);
    return int(qBound<qint64>(0, scale.branches - per * company, per));
}

TDemoData::Company TDemoData::company(int index)
{
    const QString code = QStringLiteral("%1").arg((index + 1) % 100, 2, 10, QLatin1Char('0'));
    if (index < int(kNamedCompanies.size()))
        return {code, text(kNamedCompanies[size_t(index)])};
    const int k = index - int(kNamedCompanies.size());
    return {code, QStringLiteral("%1 %2 Ltda.")
                      .arg(text(kCompanyKinds[size_t(k) % kCompanyKinds.size()]),
                           text(kCities[size_t(k) / kCompanyKinds.size() % kCities.size()]))};
}

QString TDemoData::stateRegistration(int company, int index)
{
    return QStringLiteral("%1%2").arg(110 + company).arg(index + 1, 9, 10, QLatin1Char('0'));
}

QString TDemoData::municipalRegistration(int company, int index)
{
    return QStringLiteral("%1%2")
        .arg(company + 1, 3, 10, QLatin1Char('0'))
        .arg(index + 1, 7, 10, QLatin1Char('0'));
}

TDemoData::Branch TDemoData::branch(const Scale& scale, int company, int index)
{
    // Registrations vary fastest in the state one, so the filters can pick different sets.
    const int r = scale.registrations;
    const size_t cities = kCities.size();
    QString name = text(kCities[(size_t(company) * 5 + size_t(index)) % cities]);
    if (size_t(index) >= cities)
        name += QStringLiteral(" %1").arg(size_t(index) / cities + 1);
    return {TDemoData::company(company).code, stateRegistration(company, index % r),
            municipalRegistration(company, (index / r) % r), branchCode(index), name};
}

QList<TDemoData::Branch> TDemoData::incompleteBranches()
{
    const QString company = TDemoData::company(0).code;
    const QString state = stateRegistration(0, 0);
    const QString municipal = municipalRegistration(0, 0);
    return {
        {QString(), state, municipal, QStringLiteral("N001"), QStringLiteral("Filial sem empresa")},
        {company, QString(), municipal, QStringLiteral("N002"),
         QStringLiteral("Filial sem inscrição estadual")},
        {company, state, QString(), QStringLiteral("N003"),
         QStringLiteral("Filial sem inscrição municipal")},
        {company, state, municipal, QString(), QStringLiteral("Filial sem código")},
    };
}

QList<TDemoData::OperationType> TDemoData::operationTypes()
{
    const auto e = QStringLiteral("E");
    const auto s = QStringLiteral("S");
    return {
        {e, QStringLiteral("01"), QStringLiteral("Compra para comercialização")},
        {e, QStringLiteral("02"), QStringLiteral("Compra para industrialização")},
        {e, QStringLiteral("03"), QStringLiteral("Devolução de venda")},
        {e, QStringLiteral("04"), QStringLiteral("Retenções")},
        {e, QStringLiteral("05"), QStringLiteral("Transferência entre filiais")},
        {e, QStringLiteral("06"), QStringLiteral("Aquisição de serviços")},
        {s, QStringLiteral("01"), QStringLiteral("Venda de mercadoria")},
        {s, QStringLiteral("02"), QStringLiteral("Venda de produção própria")},
        {s, QStringLiteral("03"), QStringLiteral("Devolução de compra")},
        {s, QStringLiteral("04"), QStringLiteral("Retenções")},
        {s, QStringLiteral("05"), QStringLiteral("Remessa para conserto")},
        {s, QStringLiteral("06"), QStringLiteral("Prestação de serviços")},
    };
}

qint64 TDemoData::Document::totalWithheldCents() const
{
    qint64 total = 0;
    for (qint64 c : withheldCents)
        total += c;
    return total;
}

QString TDemoData::taxColumn(Tax tax)
{
    static const std::array<const char*, TaxCount> columns = {"VLIRRF", "VLINSS",   "VLISS",
                                                              "VLPIS",  "VLCOFINS", "VLCSLL"};
    return QString::fromLatin1(columns[size_t(tax)]);
}

// Both the CNPJ and the CPF take two modulo-11 digits; the CNPJ's weights cycle 2..9.
QString TDemoData::withCheckDigits(const QString& base)
{
    const bool cnpj = base.size() == 12;
    QString digits = base;
    for (int round = 0; round < 2; ++round) {
        int sum = 0;
        int weight = 2;
        for (qsizetype i = digits.size() - 1; i >= 0; --i) {
            sum += digits[i].digitValue() * weight;
            weight = cnpj && weight == 9 ? 2 : weight + 1;
        }
        const int rest = sum % 11;
        digits += QString::number(rest < 2 ? 0 : 11 - rest);
    }
    return digits;
}

TDemoData::Document TDemoData::document(const Scale& scale, int index)
{
    static const QList<OperationType> types = operationTypes();
    const quint64 r0 = mix(quint64(index) * 4);
    const quint64 r1 = mix(quint64(index) * 4 + 1);
    const quint64 r2 = mix(quint64(index) * 4 + 2);
    const quint64 r3 = mix(quint64(index) * 4 + 3);

    const int per = branchesPerCompany(scale);
    const int global = int(r1 % quint64(scale.branches));
    const OperationType& type = types[qsizetype(r2 % quint64(types.size()))];
    const Partner& partner = kPartners[(r2 >> 16) % kPartners.size()];
    const bool services = type.code == QLatin1String("04") || type.code == QLatin1String("06");

    Document d;
    d.branch = branch(scale, global / per, global % per);
    d.direction = type.direction;
    d.operationType = type.code;
    d.model = services ? QStringLiteral("SE") : QStringLiteral("55");
    d.series = services ? QStringLiteral("A") : QStringLiteral("1");
    d.number = QStringLiteral("%1").arg(index + 1, 9, 10, QLatin1Char('0'));
    d.date = QDate(2024, 1, 1).addDays(qint64(r3 % 366));
    // Incoming documents arrive a few days after they are issued.
    d.issued = type.direction == QLatin1String("E") ? d.date.addDays(-qint64(r0 % 6)) : d.date;
    d.partnerCode = withCheckDigits(QString::fromLatin1(partner.base));
    d.partnerName = text(partner.name);
    d.valueCents = 1000 + qint64((r3 >> 16) % 5000000);
    if (!services)
        return d;

    // Services: ISS at 2% to 5% on the amount less materials (up to 30%); companies
    // suffer IRRF 1.5% and PIS/COFINS/CSLL 0.65/3/1%, and INSS 11% on the labour
    // share of a cession of labour; individuals suffer INSS 11% on the whole amount.
    const bool company = d.partnerCode.size() == 14;
    d.issBaseCents = d.valueCents - rate(d.valueCents, int((r0 >> 8) % 3001));
    d.withheldCents[ISS] = rate(d.issBaseCents, 200 + int((r0 >> 20) % 4) * 100);
    if (company) {
        d.withheldCents[IRRF] = rate(d.valueCents, 150);
        d.withheldCents[PIS] = rate(d.valueCents, 65);
        d.withheldCents[COFINS] = rate(d.valueCents, 300);
        d.withheldCents[CSLL] = rate(d.valueCents, 100);
        if (type.code == QLatin1String("04")) {
            d.inssBaseCents = rate(d.valueCents, 4000 + int((r0 >> 32) % 6001));
            d.withheldCents[INSS] = rate(d.inssBaseCents, 1100);
        }
    } else {
        d.inssBaseCents = d.valueCents;
        d.withheldCents[INSS] = rate(d.valueCents, 1100);
    }
    return d;
}

void TDemoData::create(QSqlDatabase& db, const Scale& scale, const Progress& progress)
{
    const QString bad = checkScale(scale);
    if (!bad.isEmpty())
        throw EFrameworkError(bad);
    const Engine engine = engineOf(db);

    QStringList indexes;
    for (const QString& statement : TSqlScript::statements(schema(engine))) {
        if (TSqlScript::isIndexStatement(statement))
            indexes.append(statement);
        else
            execute(db, statement);
    }

    fillTable(db, engine, QStringLiteral("EMPRESA"),
              {QStringLiteral("CDEMPRESA"), QStringLiteral("NMRAZSOCEMPR")}, progress,
              [&](TBatchInserter& out) {
                  for (int c = 0; c < scale.companies; ++c) {
                      const Company company = TDemoData::company(c);
                      out.add({company.code, company.name});
                  }
              });
    fillTable(db, engine, QStringLiteral("INSCRESTAD"),
              {QStringLiteral("CDEMPRESA"), QStringLiteral("CDINSCESTA")}, progress,
              [&](TBatchInserter& out) {
                  for (int c = 0; c < scale.companies; ++c) {
                      const QString code = company(c).code;
                      for (int k = 0; k < scale.registrations; ++k)
                          out.add({code, stateRegistration(c, k)});
                  }
              });
    fillTable(db, engine, QStringLiteral("INSCRMUNICIP"),
              {QStringLiteral("CDEMPRESA"), QStringLiteral("CDINSCMUNI")}, progress,
              [&](TBatchInserter& out) {
                  for (int c = 0; c < scale.companies; ++c) {
                      const QString code = company(c).code;
                      for (int k = 0; k < scale.registrations; ++k)
                          out.add({code, municipalRegistration(c, k)});
                  }
              });
    fillTable(db, engine, QStringLiteral("FILIAL"),
              {QStringLiteral("CDEMPRESA"), QStringLiteral("CDINSCESTA"),
               QStringLiteral("CDINSCMUNI"), QStringLiteral("CDFILIAL"),
               QStringLiteral("NMFILIAL")},
              progress, [&](TBatchInserter& out) {
                  for (int c = 0; c < scale.companies; ++c) {
                      const int count = branchesOf(scale, c);
                      for (int j = 0; j < count; ++j) {
                          const Branch b = branch(scale, c, j);
                          out.add({b.company, b.stateRegistration, b.municipalRegistration, b.code,
                                   b.name});
                      }
                  }
                  for (const Branch& b : incompleteBranches())
                      out.add({nullable(b.company), nullable(b.stateRegistration),
                               nullable(b.municipalRegistration), nullable(b.code), b.name});
              });
    fillTable(db, engine, QStringLiteral("TIPOOPERAC"),
              {QStringLiteral("IDENTRSAIDOP"), QStringLiteral("CDTIPOOPER"),
               QStringLiteral("NMTIPOOPER")},
              progress, [&](TBatchInserter& out) {
                  for (const OperationType& t : operationTypes())
                      out.add({t.direction, t.code, t.name});
              });
    fillTable(
        db, engine, QStringLiteral("DOCFISCAL"),
        {QStringLiteral("CDEMPRESA"), QStringLiteral("CDINSCESTA"),   QStringLiteral("CDINSCMUNI"),
         QStringLiteral("CDFILIAL"),  QStringLiteral("IDENTRSAIDOP"), QStringLiteral("CDTIPOOPER"),
         QStringLiteral("CDMODELO"),  QStringLiteral("CDSERIE"),      QStringLiteral("NRDOCUMENTO"),
         QStringLiteral("DTEMISSAO"), QStringLiteral("DTENTRADA"),    QStringLiteral("CDCLIFOR"),
         QStringLiteral("NMCLIFOR"),  QStringLiteral("VLDOCUMENTO"),  QStringLiteral("VLIRRF"),
         QStringLiteral("VLBCINSS"),  QStringLiteral("VLINSS"),       QStringLiteral("VLBCISS"),
         QStringLiteral("VLISS"),     QStringLiteral("VLPIS"),        QStringLiteral("VLCOFINS"),
         QStringLiteral("VLCSLL")},
        progress, [&](TBatchInserter& out) {
            for (int i = 0; i < scale.documents; ++i) {
                const Document d = document(scale, i);
                // SQLite keeps dates as ISO text; the others take a real date.
                auto date = [&](const QDate& day) {
                    return engine == Engine::SQLite ? QVariant(day.toString(Qt::ISODate))
                                                    : QVariant(day);
                };
                const auto& w = d.withheldCents;
                out.add({d.branch.company,
                         d.branch.stateRegistration,
                         d.branch.municipalRegistration,
                         d.branch.code,
                         d.direction,
                         d.operationType,
                         d.model,
                         d.series,
                         d.number,
                         date(d.issued),
                         date(d.date),
                         d.partnerCode,
                         d.partnerName,
                         cents(d.valueCents),
                         cents(w[IRRF]),
                         cents(d.inssBaseCents),
                         cents(w[INSS]),
                         cents(d.issBaseCents),
                         cents(w[ISS]),
                         cents(w[PIS]),
                         cents(w[COFINS]),
                         cents(w[CSLL])});
            }
        });

    QElapsedTimer timer;
    timer.start();
    for (const QString& statement : indexes)
        execute(db, statement);
    if (engine != Engine::Firebird)
        execute(db, QStringLiteral("ANALYZE"));
    if (progress)
        progress(QString(), indexes.size(), timer.elapsed());
}
