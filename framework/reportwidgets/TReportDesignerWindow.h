#pragma once

#include "FisReportWidgetsExport.h"
#include "TEvents.h"
#include "TReportDefinition.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QListWidget;
class QTableWidget;
class QTabWidget;
class QTimer;
class TReportColumnList;
class TReportDesignModel;
class TSqlEditor;

// The report designer: the fields of the query, the column table, groups, order and
// totals, the query texts, and the first page of the report redrawn on the real data
// shortly after each edit. The parameters come from BeforeGetQueryParams, as for a
// print; without a filter screen allValues() gives them their "all" values.
class FIS_REPORTWIDGETS_EXPORT TReportDesignerWindow : public QMainWindow
{
    Q_OBJECT

public:
    TReportDesignerWindow(const TReportDefinition& definition,
                          TBeforeGetQueryParamsEvent beforeGetQueryParams,
                          const QString& shippedDirectory = {}, QWidget* parent = nullptr);
    ~TReportDesignerWindow() override;

    // The installed TReportParameters' values for "everything" (every company,
    // registration, branch, both directions, every operation type, any date).
    static void allValues(TParams& params, bool& handled);

    TReportDesignModel* model() const { return m_model; }
    // The texts "Salvar como…" asks the title with (the form's NovoCaption, NovoPrompt).
    void setSaveAsTexts(const QString& caption, const QString& prompt)
    {
        m_saveAsCaption = caption;
        m_saveAsPrompt = prompt;
    }
    // The preview's pending redraw, run now (tests, screenshots).
    void refreshPreview();
    QLabel* previewLabel() const { return m_preview; }
    // "Testar consulta": the count and first rows, or the database's message.
    void testQuery();
    QString queryTestMessage() const;
    QStringList resultFields() const { return m_fields; }

    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    QAction* actSave = nullptr;
    QAction* actSaveAs = nullptr;
    QAction* actRename = nullptr;
    QAction* actDelete = nullptr;
    QAction* actTestQuery = nullptr;

Q_SIGNALS:
    // A report was saved, renamed or deleted: the lists of reports change.
    void reportsChanged(const QString& path);
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildColumnsTab();
    QWidget* buildGroupsTab();
    QWidget* buildPageTab();
    QWidget* buildQueryTab();
    void buildActions();
    void guarded(const std::function<void()>& edit);
    void refresh();
    void refreshColumnEditor();
    void readFields();
    void applyGroup(int level);
    void applyTotals();
    void applyQuery();
    void save();
    void saveAs();
    void rename();
    void remove();
    int currentColumn() const;

    TReportDesignModel* m_model;
    TBeforeGetQueryParamsEvent m_params;
    QStringList m_fields;
    QStringList m_fieldsOf;
    bool m_refreshing = false;
    QString m_saveAsCaption = QStringLiteral("Título do Relatório");
    QString m_saveAsPrompt = QStringLiteral("Informe o título do relatório:");
    QTimer* m_previewTimer;

    QListWidget* m_fieldList;
    TReportColumnList* m_columns;
    QLineEdit* m_colTitle;
    QDoubleSpinBox* m_colWidth;
    QComboBox* m_colAlign;
    QComboBox* m_colFormat;
    QLineEdit* m_colValues;
    QCheckBox* m_colVisible;
    QLineEdit* m_sort;
    QComboBox* m_groupField[2];
    QLineEdit* m_groupCaption[2];
    QLineEdit* m_groupText[2];
    QLineEdit* m_groupFooter[2];
    QListWidget* m_groupSums[2];
    QListWidget* m_totalFields;
    QLineEdit* m_totalCaption;
    QLineEdit* m_countLabel;
    QLineEdit* m_title;
    QComboBox* m_orientation;
    QCheckBox* m_filterLine;
    TSqlEditor* m_sql;
    TSqlEditor* m_sqlIb;
    QLabel* m_testMessage;
    QTableWidget* m_testRows;
    QLabel* m_preview;
    QLabel* m_previewNote;
    QScrollArea* m_previewScroll;
    QTabWidget* m_tabs;
};
