#include "RecordingPresenter.h"

RecordingPresenter::RecordingPresenter()
{
    TMessagePresenter::install(this);
}

RecordingPresenter::~RecordingPresenter()
{
    TMessagePresenter::install(nullptr);
}

void RecordingPresenter::clear()
{
    errors.clear();
    informations.clear();
    details.clear();
}
