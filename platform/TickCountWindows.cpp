#include "platform/TickCount.h"

#include <windows.h>

std::uint32_t TickCount() {
    return ::GetTickCount();
}
