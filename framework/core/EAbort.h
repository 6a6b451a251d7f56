#pragma once

#include "FisCoreExport.h"

#include <exception>

// The silent abort: ends the current user action after its message was shown.
// The event guard swallows it; nothing else should catch it.
class FIS_CORE_EXPORT EAbort : public std::exception
{
public:
    const char* what() const noexcept override;
};
