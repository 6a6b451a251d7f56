#include "TfrmPrincipal.h"

#include "TApplication.h"
#include "TConnectionBanner.h"
#include "TDemoDatabase.h"
#include "TEventGuard.h"
#include "TModuleLoader.h"
#include "TReportDesignModel.h"
#include "TReportDesignerWindow.h"
#include "TReportParams.h"
#include "TUserReports.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSqlDatabase>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString driverTitle(const QString& driverName)
{
    if (driverName == QLatin1String("QSQLITE"))
        return QStringLiteral("SQLite");
    if (driverName == QLatin1String("QPSQL"))
        return QStringLiteral("PostgreSQL");
    if (driverName == QLatin1String("QIBASE"))
        return QStringLiteral("Firebird");
    return driverName;
}

} // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea), m_lblBancoDados(new QLabel(this)),
      m_lblModulo(new QLabel(this)), m_banner(new TConnectionBanner)
{
    setObjectName(QStringLiteral("frmPrincipal"));
    // The report designer opened from here offers the screen's report parameters.
    TReportParams::install();
    setWindowTitle(QStringLiteral("Sistema Fiscal"));
    resize(1024, 700);

    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_banner);
    layout->addWidget(m_mdiArea, 1);
    setCentralWidget(central);
    connect(m_banner, &TConnectionBanner::retryRequested, this,
            &TfrmPrincipal::retryConnectionRequested);
    connect(m_banner, &TConnectionBanner::configureRequested, this,
            &TfrmPrincipal::configureConnectionRequested);

    mnuArquivo = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    actConfigurarConexao = mnuArquivo->addAction(QStringLiteral("&Configurar conexão…"), this,
                                                 &TfrmPrincipal::configureConnectionRequested);
    mnuArquivo->addSeparator();
    actSair = mnuArquivo->addAction(QStringLiteral("&Sair"), this, &QWidget::close);
    actSair->setShortcut(QKeySequence::Quit);

    mnuFiscal = menuBar()->addMenu(QStringLiteral("&Fiscal"));
    actListagemDocumentos = mnuFiscal->addAction(QStringLiteral("Listagem dos Documentos"), this,
                                                 &TfrmPrincipal::actListagemDocumentosTriggered);
    actListagemDocumentos->setEnabled(false);
    mnuFiscal->addSeparator();
    actEditorRelatorios = mnuFiscal->addAction(QStringLiteral("&Editor de relatórios…"), this,
                                               &TfrmPrincipal::actEditorRelatoriosTriggered);
    actEditorRelatorios->setObjectName(QStringLiteral("actEditorRelatorios"));

    mnuJanela = menuBar()->addMenu(QStringLiteral("&Janela"));
    actCascata =
        mnuJanela->addAction(QStringLiteral("&Cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    actLadoALado =
        mnuJanela->addAction(QStringLiteral("&Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);
    actFecharTodas = mnuJanela->addAction(QStringLiteral("&Fechar todas"), m_mdiArea,
                                          &QMdiArea::closeAllSubWindows);

    const QList<QAction*> actions = {actConfigurarConexao, actSair,      actListagemDocumentos,
                                     actCascata,           actLadoALado, actFecharTodas};
    const QStringList names = {
        QStringLiteral("actConfigurarConexao"),  QStringLiteral("actSair"),
        QStringLiteral("actListagemDocumentos"), QStringLiteral("actCascata"),
        QStringLiteral("actLadoALado"),          QStringLiteral("actFecharTodas")};
    for (qsizetype i = 0; i < actions.size(); ++i)
        actions[i]->setObjectName(names[i]);
    mnuArquivo->setObjectName(QStringLiteral("mnuArquivo"));
    mnuFiscal->setObjectName(QStringLiteral("mnuFiscal"));
    mnuJanela->setObjectName(QStringLiteral("mnuJanela"));

    m_lblBancoDados->setObjectName(QStringLiteral("lblBancoDados"));
    m_lblModulo->setObjectName(QStringLiteral("lblModulo"));
    m_lblModulo->hide();
    statusBar()->addWidget(m_lblBancoDados, 1);
    statusBar()->addPermanentWidget(m_lblModulo);

    TApplication::instance()->setMainForm(this);
}

TfrmPrincipal::~TfrmPrincipal() = default;

void TfrmPrincipal::setModule(TModuleLoader* module)
{
    m_module = module;
    if (module && module->isLoaded())
        m_lblModulo->hide();
    updateEntries();
}

void TfrmPrincipal::updateEntries()
{
    actListagemDocumentos->setEnabled(m_databaseOpen && m_module && m_module->isLoaded());
}

void TfrmPrincipal::showModuleMissing(const QString& path, const QString& reason)
{
    m_lblModulo->setText(
        QStringLiteral("Módulo não carregado: %1").arg(QFileInfo(path).fileName()));
    m_lblModulo->setToolTip(reason);
    m_lblModulo->show();
}

void TfrmPrincipal::showConnectionFailure(const QString& message, const QString& detail)
{
    m_databaseOpen = false;
    updateEntries();
    setWindowTitle(QStringLiteral("Sistema Fiscal"));
    m_lblBancoDados->setText(QStringLiteral("Sem conexão com o banco de dados"));
    m_banner->showFailure(message, detail);
}

void TfrmPrincipal::showDatabase(const QSqlDatabase& database, bool demo)
{
    m_databaseOpen = true;
    updateEntries();
    // The window system appends the application's name: "BANCO DE DEMONSTRAÇÃO — Sistema Fiscal".
    setWindowTitle(demo ? TDemoDatabase::label() : QStringLiteral("Sistema Fiscal"));
    if (demo)
        m_banner->showDemo();
    else
        m_banner->hide();
    QString where = database.databaseName();
    if (!database.hostName().isEmpty()) {
        where += QStringLiteral(" em ") + database.hostName();
        if (database.port() > 0)
            where += QLatin1Char(':') + QString::number(database.port());
    }
    m_lblBancoDados->setText(
        QStringLiteral("Banco de dados: %1 — %2").arg(driverTitle(database.driverName()), where));
}

bool TfrmPrincipal::closeMdiChildren()
{
    m_mdiArea->closeAllSubWindows();
    // A closed child may stay in the list, hidden, until its deferred destruction.
    const QList<QMdiSubWindow*> children = m_mdiArea->subWindowList();
    return std::none_of(children.begin(), children.end(),
                        [](QMdiSubWindow* child) { return child->isVisible(); });
}

void TfrmPrincipal::actListagemDocumentosTriggered()
{
    TEventGuard::run([this] {
        if (m_module)
            m_module->callIniProc(QVariant());
    });
}

void TfrmPrincipal::closeEvent(QCloseEvent* event)
{
    if (closeMdiChildren())
        event->accept();
    else
        event->ignore();
}

TReportDesignerWindow* TfrmPrincipal::openReportDesigner(const TReportDefinition& definition)
{
    auto* window =
        new TReportDesignerWindow(definition, &TReportDesignerWindow::allValues, {}, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void TfrmPrincipal::actEditorRelatoriosTriggered()
{
    TEventGuard::run([this] {
        // Without the screen the reports of its code are offered; the filter's values
        // take their "all" meaning.
        const QString code = QStringLiteral("FIS012");
        QList<TReportDefinition> reports;
        const QString shipped = TApplication::instance()->reportDirectory();
        if (!shipped.isEmpty() && QDir(shipped).exists())
            reports = TReportDefinition::listForCode(shipped, code);
        reports += TUserReports::list(code);
        QStringList names{QStringLiteral("(novo relatório)")};
        for (const TReportDefinition& d : std::as_const(reports))
            names << d.Name();
        bool ok = false;
        const QString chosen =
            QInputDialog::getItem(this, QStringLiteral("Editor de relatórios"),
                                  QStringLiteral("Relatório:"), names, 0, false, &ok);
        if (!ok)
            return;
        const qsizetype index = names.indexOf(chosen) - 1;
        openReportDesigner(index >= 0 ? reports[index] : TReportDesignModel::emptyReport(code));
    });
}
