#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool OpenClosedStandardDescriptors() {
    bool allOpen = true;
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // Lower descriptors are open by now, so the lowest free one is this one.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened != descriptor) {
            if (opened >= 0)
                ::close(opened);
            allOpen = false;
        }
    }
    return allOpen;
}
