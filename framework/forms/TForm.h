#pragma once

#include "FisFormsExport.h"
#include "TEvents.h"

#include <QHash>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

class QEventLoop;

// A form with the presentation operations of a classic desktop framework: border
// style and icons, MDI child or top-level, window state, modal show and deferred
// release, and create/activate/close events bound to its handlers by name.
class FIS_FORMS_EXPORT TForm : public QWidget
{
    Q_OBJECT

public:
    enum TFormBorderStyle
    {
        bsNone = 0,
        bsSingle = 1,
        bsSizeable = 2,
        bsDialog = 3
    };
    enum TBorderIcon
    {
        biSystemMenu = 0,
        biMinimize = 1,
        biMaximize = 2,
        biHelp = 3
    };
    enum TFormStyle
    {
        fsNormal = 0,
        fsMDIChild = 1
    };
    enum TWindowState
    {
        wsNormal = 0,
        wsMinimized = 1,
        wsMaximized = 2
    };
    enum TModalResult
    {
        mrNone = 0,
        mrOk = 1,
        mrCancel = 2
    };

    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    // A set of TBorderIcon, one bit per icon (bit value 1 << icon).
    int BorderIcons() const { return m_borderIcons; }
    void setBorderIcons(int icons);
    int FormStyle() const { return m_formStyle; }
    // Making the form an MDI child needs the application's MDI frame; it is final.
    void setFormStyle(int style);
    int WindowState() const;
    void setWindowState(int state);

    void Show();
    // Runs its own event loop until the form is closed; returns the modal result.
    int ShowModal();
    bool isShowingModal() const { return m_modalLoop != nullptr; }
    // Destroys the form from the event loop once the current event, and a modal
    // show waiting on it, have finished.
    void Release();
    void Repaint();

    QMdiSubWindow* mdiSubWindow() const { return m_subWindow; }

    // The control that has the focus when the form is first activated (the form
    // definition's "ActiveControl"); none: Qt's first control in its focus chain.
    QWidget* ActiveControl() const { return m_activeControl; }
    Q_INVOKABLE void setActiveControl(QWidget* control) { m_activeControl = control; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnActivate;
    TCloseEvent OnClose;

    // The handler registered under that name, or nullptr.
    const THandler* handler(const QString& name) const;

protected:
    void registerHandler(const QString& name, THandler handler);
    template <typename Form, typename... Args>
    void registerMethod(const QString& name, void (Form::*method)(Args...))
    {
        auto* self = static_cast<Form*>(this);
        registerHandler(name, THandler(std::function<void(Args...)>([self, method](Args... args) {
                            (self->*method)(std::forward<Args>(args)...);
                        })));
    }
    // Binds the definition's events by handler name, then runs OnCreate. Derived
    // forms call it at the end of their constructor; errors reach the creator.
    virtual void Loaded();

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyFlags();
    void activated();

    int m_borderStyle = bsSizeable;
    int m_borderIcons = (1 << biSystemMenu) | (1 << biMinimize) | (1 << biMaximize);
    int m_formStyle = fsNormal;
    QPointer<QMdiSubWindow> m_subWindow;
    QEventLoop* m_modalLoop = nullptr;
    bool m_releasePending = false;
    QPointer<QWidget> m_activeControl;
    bool m_wasActivated = false;
    QHash<QString, THandler> m_handlers;
};

// Registers a form method as the handler of its own name.
#define FIS_HANDLER(Class, method) registerMethod(QStringLiteral(#method), &Class::method)
