#include "TMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class MessageBoxPresenter : public TMessagePresenter
{
public:
    void showError(const QString& text) override
    {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                              text);
    }
    void showInformation(const QString& text) override
    {
        QMessageBox::information(QApplication::activeWindow(),
                                 QApplication::applicationDisplayName(), text);
    }
};

MessageBoxPresenter defaultPresenter;
TMessagePresenter* installed = nullptr;

} // namespace

TMessagePresenter::~TMessagePresenter() = default;

TMessagePresenter& TMessagePresenter::current()
{
    return installed ? *installed : defaultPresenter;
}

void TMessagePresenter::install(TMessagePresenter* presenter)
{
    installed = presenter;
}
