#include "TListKeys_p.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>

bool TListKeys::confirmOrCancel(QDialog* dialog, const QKeyEvent* key,
                                const std::function<void()>& confirm)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        confirm();
        return true;
    case Qt::Key_Escape:
        dialog->reject();
        return true;
    default:
        return false;
    }
}

bool TListKeys::jumpHomeEnd(QAbstractItemView* view, const QKeyEvent* key)
{
    if ((key->key() != Qt::Key_Home && key->key() != Qt::Key_End) ||
        (key->modifiers() & Qt::ControlModifier))
        return false;
    QKeyEvent moved(key->type(), key->key(), key->modifiers() | Qt::ControlModifier);
    QCoreApplication::sendEvent(view, &moved);
    return true;
}

void TListKeys::forward(QObject* target, const QKeyEvent* key)
{
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(target, &copy);
}
