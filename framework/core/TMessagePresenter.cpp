#include "TMessagePresenter.h"

#include <cstdio>

namespace {

// Without the widgets layer (a program without windows): standard error.
class ErrorStreamPresenter : public TMessagePresenter
{
public:
    void showError(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void showInformation(const QString& text) override { showError(text); }
};

ErrorStreamPresenter errorStream;
TMessagePresenter* fallback = nullptr;
TMessagePresenter* installed = nullptr;

} // namespace

TMessagePresenter::~TMessagePresenter() = default;

void TMessagePresenter::showDetailedError(const QString& text, const QString& detail)
{
    Q_UNUSED(detail);
    showError(text);
}

TMessagePresenter& TMessagePresenter::current()
{
    if (installed)
        return *installed;
    return fallback ? *fallback : errorStream;
}

void TMessagePresenter::install(TMessagePresenter* presenter)
{
    installed = presenter;
}

void TMessagePresenter::setFallback(TMessagePresenter* presenter)
{
    fallback = presenter;
}
