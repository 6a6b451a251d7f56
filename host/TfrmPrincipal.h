#pragma once

#include <QMainWindow>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSettings;
class QSqlDatabase;
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
    void showDatabase(const QSqlDatabase& database);

    // Where "Configurar conexão" keeps its choice (not owned); without it the entry is disabled.
    void setSettings(QSettings* settings);

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
    // Edits the saved connection; it is used from the next start on.
    void actConfigurarConexaoTriggered();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QMdiArea* m_mdiArea;
    QLabel* m_lblBancoDados;
    QLabel* m_lblModulo;
    TModuleLoader* m_module = nullptr;
    QSettings* m_settings = nullptr;
};
