#pragma once

#include "controller/access/ControllerProtocol.h"
#include "tools/qrix-emulator/LineReader.h"
#include "tools/qrix-emulator/ServerSockets.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the emulator needs from the system beyond its sockets.

// Ctrl+C and the system's other stop requests (SIGTERM; Ctrl+Break, closing
// the console) make StopRequested true; the poll loop looks at it.
void InstallStopRequests();
bool StopRequested();

// The commands on standard input, waited for together with the sockets.
class CommandInput {
public:
    CommandInput();
    ~CommandInput();
    CommandInput(const CommandInput&) = delete;
    CommandInput& operator=(const CommandInput&) = delete;

    void AddTo(SocketWait& wait);
    // After the wait: takes what arrived; false once the input has ended.
    bool Fill(const SocketWait& wait);
    std::optional<std::string> NextLine() { return m_Lines.NextLine(); }

private:
    struct Channel;
    std::shared_ptr<Channel> m_Channel;
    std::size_t m_Entry = 0;
    LineReader m_Lines;
};

// The whole content of a plain file, at most MaxFileSize bytes. Unless
// `followLinks`, a link (or any other kind of redirection) counts as missing.
ProtocolStatus LoadPlainFile(const std::string& path, bool followLinks, const std::string& name,
                             std::vector<unsigned char>& content, std::string& error);
