#include "TEventGuard.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "FisLog.h"
#include "TMessagePresenter.h"

#include <QCoreApplication>
#include <QList>
#include <QThread>

namespace {

// The event-loop level each running handler was entered at.
thread_local QList<int> running;

int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

bool guarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const EFrameworkError& e) {
        // The log keeps what the clerk is told and the driver's text behind it.
        if (e.detail().isEmpty()) {
            qCWarning(fisCore).noquote() << e.message();
            TMessagePresenter::current().showError(e.message());
        } else {
            qCWarning(fisCore).noquote() << e.message() << "|" << e.detail();
            TMessagePresenter::current().showDetailedError(e.message(), e.detail());
        }
    } catch (const std::exception& e) {
        TMessagePresenter::current().showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        TMessagePresenter::current().showError(QStringLiteral("Erro inesperado."));
    }
    return false;
}

} // namespace

bool TEventGuard::run(const std::function<void()>& handler)
{
    running.append(loopLevel());
    const bool passed = guarded(handler);
    running.removeLast();
    return passed;
}

bool TEventGuard::isHandling()
{
    return !running.isEmpty() && running.last() == loopLevel();
}
