#include "tools/eventmanager-headless/LineWriter.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

bool WriteWholeLine(int descriptor, const std::string& line) {
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t got = ::write(descriptor, line.data() + written, line.size() - written);
        if (got > 0) {
            written += static_cast<std::size_t>(got);
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Someone made the descriptor non-blocking: wait here, not in a busy loop.
            pollfd writable{descriptor, POLLOUT, 0};
            ::poll(&writable, 1, 100);
        } else if (got == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}
