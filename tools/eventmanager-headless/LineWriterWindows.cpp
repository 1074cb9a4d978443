#include "tools/eventmanager-headless/LineWriter.h"

#include <windows.h>

#include <io.h>

#include <algorithm>

// Straight to the handle behind the descriptor, so that a broken pipe shows at
// once; lines end with CR LF as Windows text does.
bool WriteWholeLine(int descriptor, const std::string& text) {
    std::string line = text;
    if (!line.empty() && line.back() == '\n' && (line.size() < 2 || line[line.size() - 2] != '\r'))
        line.insert(line.size() - 1, 1, '\r');
    const HANDLE output = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    if (output == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::size_t written = 0;
    while (written < line.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(line.size() - written, 1 << 20));
        DWORD got = 0;
        if (!::WriteFile(output, line.data() + written, chunk, &got, nullptr))
            return false;
        if (got == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        written += got;
    }
    return true;
}
