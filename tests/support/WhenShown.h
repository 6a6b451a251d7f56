#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>

// Once a modal window of type T is up, runs act on it (once), looking every interval ms.
// With an owner, a timer left waiting goes with it and cannot answer a later test's window.
template <typename T>
void whenShown(int interval, QObject* owner, const std::function<void(T*)>& act)
{
    auto* timer = new QTimer(owner);
    timer->setInterval(interval);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

template <typename T> void whenShown(const std::function<void(T*)>& act)
{
    whenShown<T>(20, nullptr, act);
}
