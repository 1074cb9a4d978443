#include "platform/ProfileFiles.h"

#include "platform/FileReplacementWindows.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <algorithm>

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string FolderOf(const std::string& path) {
    const std::string folder = DirectoryPart(path);
    return folder.empty() ? "." : folder;
}

// A search handle is closed with FindClose, not CloseHandle.
struct FolderSearch {
    HANDLE Handle;
    explicit FolderSearch(HANDLE handle) : Handle(handle) {}
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;
    ~FolderSearch() {
        if (Handle != INVALID_HANDLE_VALUE)
            ::FindClose(Handle);
    }
};

} // namespace

ProfileFileStamp StampOfProfileFile(const std::string& path) {
    // Opening without access rights still tells identity, size and times, for a
    // folder too (backup semantics), and never blocks a writer.
    const UniqueHandle file(::CreateFileW(WideText(path).c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsValid() || !::GetFileInformationByHandle(file.Get(), &info))
        return {};
    ProfileFileStamp stamp;
    const bool regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                         ::GetFileType(file.Get()) == FILE_TYPE_DISK;
    stamp.Kind = regular ? ProfileFileKind::Regular : ProfileFileKind::Other;
    stamp.Device = info.dwVolumeSerialNumber;
    stamp.Identity = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    // File times count 100-nanosecond units.
    const std::uint64_t modified =
        (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    stamp.ModifiedSeconds = static_cast<std::int64_t>(modified / 10000000u);
    stamp.ModifiedFraction = static_cast<std::int64_t>(modified % 10000000u);
    return stamp;
}

bool ReplaceProfileFile(const std::string& path, const std::string& content) {
    std::string error;
    return ReplaceFileWhole(path, ".", content, error);
}

void RemoveLeftoverReplacements(const std::string& path) {
    if (path.empty())
        return;
    const std::string prefix = FileNamePart(path) + ".";
    const std::string folder = FolderOf(path);
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = WideText(folder + PathSeparator + prefix + "*");
    const FolderSearch search(::FindFirstFileW(pattern.c_str(), &found));
    if (search.Handle == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = Utf8Text(found.cFileName);
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            name.size() != prefix.size() + TemporarySuffixLength || name.rfind(prefix, 0) != 0 ||
            !IsTemporarySuffix(name.substr(prefix.size())))
            continue;
        ::DeleteFileW(WideText(folder + PathSeparator + name).c_str());
    } while (::FindNextFileW(search.Handle, &found));
}
