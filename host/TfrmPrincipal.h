#pragma once

#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSqlDatabase;
class TConnectionBanner;
class TModuleLoader;
class TReportDefinition;
class TReportDesignerWindow;

// The host's MDI frame: the application object's main form, whose menu opens
// the screens of the loaded module.
class TfrmPrincipal : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    QMdiArea* mdiArea() const { return m_mdiArea; }

    // The module behind "Listagem dos Documentos" (not owned); without a loaded
    // module the entry is disabled.
    void setModule(TModuleLoader* module);
    void showModuleMissing(const QString& path, const QString& reason);
    // The database the screens use; the demo is named in the title and the banner.
    void showDatabase(const QSqlDatabase& database, bool demo = false);
    // No database: the screen's entry is disabled and the banner says why, with its remedies.
    void showConnectionFailure(const QString& message, const QString& detail);
    TConnectionBanner* connectionBanner() const { return m_banner; }

    // Closes every MDI child; false when one of them refused.
    bool closeMdiChildren();

    QMenu* mnuArquivo;
    QMenu* mnuFiscal;
    QMenu* mnuJanela;
    QAction* actConfigurarConexao;
    QAction* actSair;
    QAction* actListagemDocumentos;
    QAction* actEditorRelatorios;
    QAction* actCascata;
    QAction* actLadoALado;
    QAction* actFecharTodas;

    // Opens the screen; an error of the module is shown, never thrown at Qt.
    void actListagemDocumentosTriggered();
    // Opens the report designer without the screen: the parameters take their "all" values.
    void actEditorRelatoriosTriggered();
    TReportDesignerWindow* openReportDesigner(const TReportDefinition& definition);
Q_SIGNALS:
    // "Configurar conexão…", from the menu or the banner; the session answers.
    void configureConnectionRequested();
    void retryConnectionRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QMdiArea* m_mdiArea;
    QLabel* m_lblBancoDados;
    QLabel* m_lblModulo;
    TConnectionBanner* m_banner;
    TModuleLoader* m_module = nullptr;
    bool m_databaseOpen = true;

    void updateEntries();
};
