#include "TSqlEditor_p.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>

TSqlEditor::TSqlEditor(const QStringList& parameters, QWidget* parent)
    : QPlainTextEdit(parent), m_completer(new QCompleter(parameters, this))
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_completer->setWidget(this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            &TSqlEditor::insertCompletion);
}

QString TSqlEditor::wordBeforeCursor() const
{
    const QTextCursor c = textCursor();
    const QString line = c.block().text().left(c.positionInBlock());
    qsizetype start = line.size();
    while (start > 0 && (line[start - 1].isLetterOrNumber() || line[start - 1] == u'_'))
        --start;
    return line.mid(start);
}

void TSqlEditor::insertCompletion(const QString& name)
{
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(wordBeforeCursor().size()));
    c.insertText(name);
    setTextCursor(c);
}

void TSqlEditor::keyPressEvent(QKeyEvent* event)
{
    if (m_completer->popup()->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Tab:
        case Qt::Key_Escape:
            event->ignore();
            return;
        default:
            break;
        }
    }
    const bool forced = event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier);
    if (!forced)
        QPlainTextEdit::keyPressEvent(event);
    const QString word = wordBeforeCursor();
    const QTextCursor c = textCursor();
    const QString line = c.block().text().left(c.positionInBlock());
    const bool afterColon =
        line.size() > word.size() && line[line.size() - word.size() - 1] == u':';
    if (!forced && !afterColon && !word.startsWith(QStringLiteral("P_"), Qt::CaseInsensitive)) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->setCompletionPrefix(word);
    if (m_completer->completionCount() == 0) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->popup()->setCurrentIndex(m_completer->completionModel()->index(0, 0));
    QRect rect = cursorRect();
    rect.setWidth(m_completer->popup()->sizeHintForColumn(0) +
                  m_completer->popup()->verticalScrollBar()->sizeHint().width());
    m_completer->complete(rect);
}
