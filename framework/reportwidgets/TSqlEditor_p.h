#pragma once

#include <QPlainTextEdit>
#include <QStringList>

class QCompleter;

// A query text editor that offers the parameter names once ":" or "P_" is typed.
class TSqlEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    TSqlEditor(const QStringList& parameters, QWidget* parent = nullptr);
    QCompleter* completer() const { return m_completer; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString wordBeforeCursor() const;
    void insertCompletion(const QString& name);

    QCompleter* m_completer;
};
