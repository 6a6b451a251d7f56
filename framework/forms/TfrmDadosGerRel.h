#pragma once

#include "FisFormsExport.h"
#include "TForm.h"
#include "TReportDefinition.h"

#include <QKeySequence>
#include <QList>

class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QToolButton;
class TMessages;
class TReportDesignerDialog;

// The report-form base: a filter form that lists the report definitions of its
// report code and runs the selected one (print, preview, edit) through rpddPadrao.
// A derived form's definition holds the inherited controls under these names.
class FIS_FORMS_EXPORT TfrmDadosGerRel : public TForm
{
    Q_OBJECT

public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    // Keys of the output buttons, anywhere on the form.
    static inline const QKeySequence PrintKey{Qt::CTRL | Qt::Key_P};
    static inline const QKeySequence PreviewKey{Qt::Key_F5};
    static inline const QKeySequence ReportEditKey{Qt::CTRL | Qt::Key_R};

    void FormCreate(QObject* Sender);
    void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender, TCloseAction& Action);
    void sbtPrintClick(QObject* Sender);
    void sbtPreviewClick(QObject* Sender);
    void sbtReportEditClick(QObject* Sender);
    // Runs the print action's checks (the handler bound to sbtPrint), then asks for a
    // CSV or XLSX file and writes the selected report's rows to it.
    void sbtExportClick(QObject* Sender);

    // The definitions behind cbbReportNames, in its order.
    QList<TReportDefinition> reports() const { return m_reports; }

    QLabel* lblCodTela = nullptr;
    QFrame* panMenu = nullptr;
    QLabel* lblCodRel = nullptr;
    QGroupBox* grbDadosRel = nullptr;
    QFrame* bvlSeparator = nullptr;
    QFrame* panRelat = nullptr;
    QComboBox* cbbReportNames = nullptr;
    QToolButton* sbtPrint = nullptr;
    QToolButton* sbtPreview = nullptr;
    QToolButton* sbtReportEdit = nullptr;
    // Optional in a definition: a form without it has no export.
    QToolButton* sbtExport = nullptr;

    TMessages* msgPadrao;
    TMessages* msgMensagens;
    TReportDesignerDialog* rpddPadrao;
    QFileDialog* svdSaveReport;
    QMenu* ppmEditReport;
    QMenu* ppmSalvarRelatorio;

protected:
    // Finds the inherited controls of the definition, then binds and creates.
    void Loaded() override;

private:
    const TReportDefinition& selectedReport() const;
    void exportSelected();
    // The shipped reports, then the user's, choosing the one at path when listed.
    void reloadReports(const QString& path);
    void giveKey(QToolButton* button, const QKeySequence& key);

    QList<TReportDefinition> m_reports;
    bool m_exporting = false;
    QString m_exportDirectory;
};
