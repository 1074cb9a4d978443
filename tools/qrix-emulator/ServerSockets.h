#pragma once

#include "platform/UniqueSocket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The emulator's sockets, alike on every system: all of them nonblocking, never
// inherited by other programs, and waited for together.
using SocketHandle = decltype(std::declval<const UniqueSocket&>().Get());

// Readies the system's sockets (once); false when it cannot.
bool StartSockets();
// A listening socket on address:port, or an invalid one and the reason.
UniqueSocket ListenOn(const std::string& address, std::uint16_t port, std::string& error);
// The next waiting connection (requests go out at once), or an invalid socket.
UniqueSocket AcceptConnection(const UniqueSocket& listener);

// What a nonblocking transfer did: bytes moved, nothing for now, or the end of the connection.
struct Transfer {
    std::size_t Bytes = 0;
    bool Ended = false;
};
Transfer ReceiveSome(const UniqueSocket& socket, unsigned char* data, std::size_t length);
Transfer SendSome(const UniqueSocket& socket, const unsigned char* data, std::size_t length);

// One wait on many sockets (and, where the system allows, other handles).
class SocketWait {
public:
    static constexpr unsigned Read = 1;
    static constexpr unsigned Write = 2;

    void Clear() { m_Entries.clear(); }
    // The entry's index for the questions after the wait.
    std::size_t Add(SocketHandle handle, unsigned interest) {
        m_Entries.push_back({handle, interest, 0});
        return m_Entries.size() - 1;
    }
    // Until one entry is ready or the time has passed; an interruption by a
    // signal counts as a wait with nothing ready. False when the wait failed.
    bool Wait(std::chrono::milliseconds timeout, std::string& error);

    bool Readable(std::size_t index) const { return m_Entries[index].Ready & Read; }
    bool Writable(std::size_t index) const { return m_Entries[index].Ready & Write; }
    // Failed, hung up or no socket at all.
    bool Broken(std::size_t index) const { return m_Entries[index].Ready & BrokenFlag; }

private:
    static constexpr unsigned BrokenFlag = 4;
    struct Entry {
        SocketHandle Handle;
        unsigned Interest;
        unsigned Ready;
    };
    std::vector<Entry> m_Entries;
};
