#include "tests/support/WaitUntil.h"

#include "platform/UniqueHandle.h"
#include "tools/eventmanager-headless/ControlRequests.h"
#include "tools/eventmanager-headless/LineWriter.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <string>

namespace {

// A pipe of one page whose write end is a C runtime descriptor, as standard output is.
struct OutputPipe {
    OutputPipe() {
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        EXPECT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 4096));
        Reader.Reset(readEnd);
        Descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
        EXPECT_GE(Descriptor, 0);
    }
    ~OutputPipe() {
        if (Descriptor >= 0)
            ::_close(Descriptor);
    }

    // Everything in the pipe now, without waiting for more.
    std::string ReadWaiting() {
        std::string text;
        DWORD available = 0;
        while (::PeekNamedPipe(Reader.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!::ReadFile(Reader.Get(), chunk.data(), available, &got, nullptr))
                break;
            text.append(chunk, 0, got);
        }
        return text;
    }

    UniqueHandle Reader;
    int Descriptor = -1;
};

TEST(HeadlessWindows, LinesEndWithCrLfAndAReaderThatWentAwayCostsLinesNotTheWriter) {
    OutputPipe output;
    LineWriter writer(output.Descriptor);
    writer.Write("first\n");
    writer.Write("second\r\n");
    ASSERT_TRUE(WaitUntil([&] { return writer.Idle(); }, std::chrono::seconds(20)));
    EXPECT_EQ(output.ReadWaiting(), "first\r\nsecond\r\n");

    // The reader goes: every write fails at once and nothing blocks.
    output.Reader.Reset();
    for (int i = 0; i < 50; ++i)
        writer.Write("lost " + std::to_string(i) + "\n");
    EXPECT_TRUE(WaitUntil([&] { return writer.Idle(); }, std::chrono::seconds(20)));
    writer.Finish(std::chrono::seconds(20));
}

TEST(HeadlessWindows, AReloadRequestAndAWakeUpEndTheWaitEachForWhatItIs) {
    WakeUpChannel wakeUp;
    ASSERT_TRUE(wakeUp.IsValid());
    {
        ControlRequests requests;
        ASSERT_TRUE(requests.IsValid());
        EXPECT_FALSE(requests.Wait(wakeUp, 0).WokenUp);
        EXPECT_EQ(requests.Take().What, ControlRequest::Kind::None);

        // The command of another process, through the named event.
        EXPECT_EQ(SendReloadRequest(), 0);
        const ControlRequests::WaitResult reload = requests.Wait(wakeUp, 20000);
        EXPECT_FALSE(reload.Failed);
        EXPECT_FALSE(reload.WokenUp);
        const ControlRequest taken = requests.Take();
        EXPECT_EQ(taken.What, ControlRequest::Kind::Reload);
        EXPECT_EQ(taken.Name, "Reload request");
        EXPECT_EQ(requests.Take().What, ControlRequest::Kind::None);

        // Two requests before the loop looks are one reload.
        EXPECT_EQ(SendReloadRequest(), 0);
        EXPECT_EQ(SendReloadRequest(), 0);
        EXPECT_EQ(requests.Take().What, ControlRequest::Kind::Reload);
        EXPECT_EQ(requests.Take().What, ControlRequest::Kind::None);

        // A wake-up stays until it is cleared, and asks for no request.
        wakeUp.Signal();
        EXPECT_TRUE(requests.Wait(wakeUp, 20000).WokenUp);
        EXPECT_TRUE(requests.Wait(wakeUp, 0).WokenUp);
        EXPECT_EQ(requests.Take().What, ControlRequest::Kind::None);
        wakeUp.Clear();
        EXPECT_FALSE(requests.Wait(wakeUp, 0).WokenUp);
    }
    // Without an observer the command says so.
    EXPECT_EQ(SendReloadRequest(), 1);
}

} // namespace
