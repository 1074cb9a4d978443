#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerProtocol.h"
#include "platform/UniqueSocket.h"

#include <gtest/gtest.h>

#include <ws2tcpip.h>

#include <array>
#include <thread>

// The access library over Winsock: what the POSIX tests check with the emulator,
// checked here against listeners that misbehave, until the emulator runs on Windows.

namespace {

// Listens on the high-speed port of one loopback address; each connection is
// handed to `serve` on a thread of its own.
class Listener {
public:
    template <typename Serve> Listener(const char* address, Serve serve) {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_Socket.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = ::htons(HighspeedPort);
        ::inet_pton(AF_INET, address, &where.sin_addr);
        m_Listening = ::bind(m_Socket.Get(), reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
                      ::listen(m_Socket.Get(), 4) == 0;
        m_Thread = std::thread([this, serve] {
            UniqueSocket client(::accept(m_Socket.Get(), nullptr, nullptr));
            if (client.IsValid())
                serve(client);
        });
    }
    ~Listener() {
        m_Socket.Reset(); // ends a waiting accept
        m_Thread.join();
        ::WSACleanup();
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Listening() const { return m_Listening; }

private:
    UniqueSocket m_Socket;
    bool m_Listening = false;
    std::thread m_Thread;
};

std::string OpenHighspeed(const char* address, int32_t expected) {
    std::array<char, CDDLG_ERROR_TEXT_SIZE> error{};
    EXPECT_EQ(_CDDLG_OpenHighspeedPortTCPIP(address, 0.3, error.data()), expected) << address;
    _CDDLG_CloseHighspeedPortTCPIP(nullptr);
    return error.data();
}

TEST(AccessLibraryWindowsTest, EveryFailureEndsInTimeWithItsText) {
    EXPECT_NE(OpenHighspeed("127.0.0.61", CDDLG_ERROR_CONNECT).find("127.0.0.61:26802"), std::string::npos);
    {
        Listener silent("127.0.0.62", [](UniqueSocket& client) {
            // Takes the request, never answers, until the library gives up and closes.
            std::array<char, 256> request{};
            while (::recv(client.Get(), request.data(), static_cast<int>(request.size()), 0) > 0) {
            }
        });
        ASSERT_TRUE(silent.Listening());
        EXPECT_EQ(OpenHighspeed("127.0.0.62", CDDLG_ERROR_COMMUNICATION),
                  "no answer from the controller within the time allowed");
    }
    Listener closing("127.0.0.63", [](UniqueSocket& client) { client.Reset(); });
    ASSERT_TRUE(closing.Listening());
    EXPECT_EQ(OpenHighspeed("127.0.0.63", CDDLG_ERROR_COMMUNICATION), "the controller closed the connection");
}

} // namespace
