#pragma once

#include "FrameworkExport.h"
#include "TParams.h"
#include "TReportDefinition.h"

#include <QDialog>

class QLineEdit;
class QTableWidget;

// The report editor of this version: shows a definition, the query text that runs
// and the values its parameters received; only the title and the column titles can
// be changed, and the result saved as a new report under a new title.
class FW_EXPORT TReportDesignForm : public QDialog
{
    Q_OBJECT

public:
    TReportDesignForm(const TReportDefinition& definition, const QString& queryText,
                      const TParams& params, QWidget* parent = nullptr);

    // The definition with the edits made so far.
    TReportDefinition editedDefinition() const;
    // Saves the edited definition as a new report named title, beside the original;
    // returns the new file's path.
    QString saveAs(const QString& title);

Q_SIGNALS:
    void saved(const QString& path);

private:
    void saveAsClicked();

    TReportDefinition m_definition;
    QLineEdit* m_title;
    QTableWidget* m_columns;
};
