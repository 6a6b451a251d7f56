#pragma once

#include "FisWidgetsExport.h"
#include "TEvents.h"

#include <QPointer>
#include <QShortcut>
#include <QString>
#include <QToolButton>

#include "TDataSource.h"

// The search button beside a code field. It takes no focus, so pressing it does not
// run the exit check of the field beside it.
//
// Pressing it runs Pesquisar inside TEventGuard::run:
// - with OnClick set, only OnClick(this);
// - otherwise OnBeforePesq(this, proceed) (proceed starts true; the handler closes,
//   parameterises and opens the query; proceed false stops the search), then the
//   rows of DataSource()->DataSet() (opened when not active) in a TSearchDialog.
//   No row: MensErro(EmptyError, true) when EmptyError is set, otherwise the
//   information "Nenhum registro encontrado.". A picked row becomes the dataset's
//   current row and OnAfterPesq(this) runs; a cancelled list does nothing.
class FIS_WIDGETS_EXPORT TBtnPesquisa : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(QString EmptyError READ EmptyError WRITE setEmptyError)

public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);
    ~TBtnPesquisa() override;

    // The list's title; "Pesquisa" when empty.
    QString Title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString EmptyError() const { return m_emptyError; }
    void setEmptyError(const QString& text) { m_emptyError = text; }

    // The control the search belongs to (the form's reference; the search does not
    // read it). Not Q_PROPERTYs: the form definition names them, the binder sets them.
    // F2 in the associate presses the button, and its tooltip says so.
    QWidget* Associate() const { return m_associate; }
    void setAssociate(QWidget* associate);
    TDataSource* DataSource() const { return m_dataSource; }
    void setDataSource(TDataSource* source);

    // The click's work; errors, including the silent abort, propagate.
    void Pesquisar();

    TBeforePesqEvent OnBeforePesq;
    TNotifyEvent OnAfterPesq;
    TNotifyEvent OnClick;

private:
    QString m_title;
    QString m_emptyError;
    QPointer<QWidget> m_associate;
    QPointer<QShortcut> m_searchKey;
    QPointer<TDataSource> m_dataSource;
};
