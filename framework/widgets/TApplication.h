#pragma once

#include "FisWidgetsExport.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QMainWindow;
class QMdiArea;
class QWidget;

// The host's application object: it owns the forms created for it, knows the MDI
// frame window and the directory that holds report definitions.
class FIS_WIDGETS_EXPORT TApplication : public QObject
{
    Q_OBJECT

public:
    static TApplication* instance();

    // The MDI frame; nullptr when the host has none.
    QMainWindow* MainForm() const;
    QMdiArea* mdiArea() const;
    void setMainForm(QMainWindow* mainForm);

    QString reportDirectory() const { return m_reportDirectory; }
    void setReportDirectory(const QString& directory) { m_reportDirectory = directory; }

    // Shows the help page of a help context (a form's HelpContext); the host decides
    // how. False when no help is installed or the page does not exist.
    using THelpHandler = std::function<bool(int context)>;
    void setHelpHandler(THelpHandler handler) { m_helpHandler = std::move(handler); }
    bool showHelp(int context) const { return m_helpHandler && m_helpHandler(context); }

    // Takes ownership of a top-level form: it is destroyed with the application
    // object unless it was destroyed before.
    void own(QWidget* form);
    // Destroys every owned form that is still alive.
    void destroyOwnedForms();

private:
    TApplication();
    ~TApplication() override;

    QPointer<QMainWindow> m_mainForm;
    QString m_reportDirectory;
    THelpHandler m_helpHandler;
    QList<QPointer<QWidget>> m_forms;
};
