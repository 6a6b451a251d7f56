#pragma once

#include <functional>

class TReportFilterChecks;
class QWidget;

// The three output actions: each validates the filter in its fixed order and only
// when every check passed runs the base form's handler it is given.
class TReportActions
{
public:
    using Run = std::function<void()>;

    static void print(TReportFilterChecks& filter, const Run& run);
    static void preview(TReportFilterChecks& filter, const Run& run);
    static void reportEdit(TReportFilterChecks& filter, const Run& run);

    // The control's own Enabled setting, whatever its parents say.
    static bool isEnabledSetting(const QWidget* control);

private:
    static void checkRequiredFilter(TReportFilterChecks& filter);
};
