#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <io.h>

bool OpenClosedStandardDescriptors() {
    bool allOpen = true;
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::_get_osfhandle(descriptor) != -1)
            continue;
        // A program started without a console has nothing on 0, 1 and 2.
        const int opened = ::_open("NUL", _O_RDWR | _O_BINARY);
        if (opened == descriptor)
            continue;
        if (opened >= 0 && ::_dup2(opened, descriptor) == 0) {
            ::_close(opened);
            continue;
        }
        if (opened >= 0)
            ::_close(opened);
        allOpen = false;
    }
    return allOpen;
}
