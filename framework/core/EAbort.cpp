#include "EAbort.h"

const char* EAbort::what() const noexcept
{
    return "Operation aborted";
}
