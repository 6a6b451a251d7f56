#include "TEventGuard.h"

#include "EAbort.h"
#include "EFrameworkError.h"
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
        TMessagePresenter::current().showError(e.message());
    } catch (const std::exception& e) {
        TMessagePresenter::current().showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        TMessagePresenter::current().showError(QStringLiteral("Erro inesperado."));
    }
    return false;
}
