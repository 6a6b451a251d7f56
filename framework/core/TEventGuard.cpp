#include "TEventGuard.h"

#include "EAbort.h"
#include "EFrameworkError.h"
#include "FisLog.h"
#include "TMessagePresenter.h"

#include <QCoreApplication>

bool TEventGuard::run(const std::function<void()>& handler)
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
