#include "platform/FileReplacementWindows.h"

#include "platform/ErrorText.h"
#include "platform/ProfileFiles.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <algorithm>

namespace {

// About two seconds of readers holding the file before a write gives up.
constexpr int ReplaceAttempts = 2100;

bool WriteAll(HANDLE file, std::string_view content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - written, 1u << 20));
        DWORD put = 0;
        if (!::WriteFile(file, content.data() + written, chunk, &put, nullptr) || put == 0)
            return false;
        written += put;
    }
    return true;
}

// A new file beside the target, under a name nobody else uses, holding the content.
bool WriteReplacement(const std::string& target, const std::string& marker, std::string_view content,
                      std::wstring& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = WideText(target + marker + TemporarySuffix());
        UniqueHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return false;
        }
        const bool ok = WriteAll(file.Get(), content) && ::FlushFileBuffers(file.Get());
        const DWORD error = ::GetLastError();
        file.Reset();
        if (!ok) {
            ::DeleteFileW(temporary.c_str());
            ::SetLastError(error);
        }
        return ok;
    }
    return false;
}

} // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& marker, std::string_view content,
                      std::string& error) {
    std::wstring temporary;
    if (!WriteReplacement(path, marker, content, temporary)) {
        error = LastErrorText();
        return false;
    }
    const std::wstring target = WideText(path);
    // The rename is atomic. It is refused while someone has the target open,
    // which readers do only briefly. (ReplaceFileW would keep more of the old
    // file's metadata, but under Wine it leaves the name missing for a moment.)
    for (int attempt = 0; attempt < ReplaceAttempts; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD code = ::GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION)
            break;
        // A reader holds it for microseconds: yield first, then sleep.
        if (attempt < 100)
            ::SwitchToThread();
        else
            ::Sleep(1);
    }
    error = LastErrorText();
    ::DeleteFileW(temporary.c_str());
    return false;
}
