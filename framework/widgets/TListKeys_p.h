#pragma once

#include <functional>

class QAbstractItemView;
class QDialog;
class QKeyEvent;
class QObject;

// Keys the list dialogs share; each returns true when it took the key.
class TListKeys
{
public:
    // Enter runs confirm, Esc rejects the dialog.
    static bool confirmOrCancel(QDialog* dialog, const QKeyEvent* key,
                                const std::function<void()>& confirm);
    // Home and End without Ctrl go to the first and the last row.
    static bool jumpHomeEnd(QAbstractItemView* view, const QKeyEvent* key);
    // Sends a copy of the key to target.
    static void forward(QObject* target, const QKeyEvent* key);
};
