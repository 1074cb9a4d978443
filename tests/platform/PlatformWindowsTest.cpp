#include "platform/ErrorText.h"
#include "platform/SharedMemory.h"
#include "platform/SharedMemoryFile.h"
#include "platform/SingleInstanceLock.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(ErrorText, DescribesTheLastErrorCodeOfTheCallingThread) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = LastErrorText();
    EXPECT_NE(text, "Unknown Error ");
    EXPECT_EQ(text.back(), '\n');
}

// The lock is the named mutex itself, so that any program looking for it finds it.
TEST(SingleInstanceLock, IsTheGlobalNamedMutexAndOnlyOneHoldsIt) {
    const std::string name = UniqueName("{kavel-lock}");
    {
        SingleInstanceLock first(name);
        ASSERT_EQ(first.Result(), SingleInstanceLock::Outcome::Acquired) << first.ErrorText();
        EXPECT_EQ(first.LockPath(), "Global\\" + name);
        const HANDLE seen = ::OpenMutexW(SYNCHRONIZE, FALSE, Wide("Global\\" + name).c_str());
        EXPECT_NE(seen, nullptr) << "no mutex of that name";
        if (seen != nullptr)
            ::CloseHandle(seen);
        SingleInstanceLock second(name);
        EXPECT_EQ(second.Result(), SingleInstanceLock::Outcome::HeldElsewhere);
    }
    SingleInstanceLock next(name);
    EXPECT_EQ(next.Result(), SingleInstanceLock::Outcome::Acquired);
}

// Areas are file mappings named without the portable name's slash; the creator's
// view keeps the name alive, the openers see each other's bytes.
TEST(SharedMemory, AreasAreNamedFileMappingsSharedByTheirUsers) {
    const std::string name = UniqueName("/kavel-area");
    constexpr std::size_t Size = 0x100000;
    SharedMemoryStatus status;
    MapSharedMemory(name, Size, status);
    EXPECT_EQ(status.Failure, SharedMemoryFailure::Missing);

    MappedView created = CreateSharedMemory(name, Size, 0600, status);
    ASSERT_TRUE(created.IsValid()) << status.Step << " " << status.ErrorNumber;
    EXPECT_EQ(created.Get()[Size - 1], std::byte{0});
    const HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, Wide(name.substr(1)).c_str());
    EXPECT_NE(mapping, nullptr) << "not reachable by its Windows name";
    if (mapping != nullptr)
        ::CloseHandle(mapping);
    CreateSharedMemory(name, Size, 0600, status);
    EXPECT_EQ(status.Failure, SharedMemoryFailure::Exists);
    MapSharedMemory(name, 2 * Size, status);
    EXPECT_EQ(status.Failure, SharedMemoryFailure::TooSmall);

    std::memcpy(created.Get() + 100, "abc", 3);
    MappedView opened = MapSharedMemory(name, Size, status);
    ASSERT_TRUE(opened.IsValid());
    EXPECT_EQ(std::memcmp(opened.Get() + 100, "abc", 3), 0);

    const SharedMemoryFile file = SharedMemoryFile::Open(name, Size, status);
    ASSERT_TRUE(file.IsValid());
    EXPECT_EQ(file.Examine(), SharedMemoryFile::Condition::Whole);
    char read[3] = {};
    EXPECT_TRUE(file.Read(read, 3, 100));
    EXPECT_EQ(std::memcmp(read, "abc", 3), 0);
    EXPECT_TRUE(file.Write("xyz", 3, Size - 3));
    EXPECT_EQ(std::memcmp(created.Get() + Size - 3, "xyz", 3), 0);
    EXPECT_FALSE(file.Write("xyz", 3, Size - 2)) << "a write beyond the end";
    EXPECT_FALSE(file.Read(read, 3, Size - 2)) << "a read beyond the end";
}

} // namespace
