#include "controller/access/ControllerAccessLibrary.h"

#include "controller/access/FileTransferClient.h"
#include "controller/access/HighspeedClient.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string>

// The C interface has no handle: the connections are process-wide, each behind
// its own lock so that a download never waits for an exchange.

namespace {

struct FileTransferState {
    std::mutex Guard;
    FileTransferClient Client;
};

struct HighspeedState {
    std::mutex Guard;
    HighspeedClient Client;
};

FileTransferState& FileTransfer() {
    static FileTransferState state;
    return state;
}

HighspeedState& Highspeed() {
    static HighspeedState state;
    return state;
}

constexpr std::chrono::milliseconds MaxConnectTimeout{2000};
constexpr std::chrono::milliseconds MaxRequestTimeout{1000};
constexpr std::chrono::milliseconds MinTimeout{10};

void SetErrorText(char* errorText, const std::string& text) {
    if (errorText == nullptr)
        return;
    const std::size_t length = std::min(text.size(), std::size_t{CDDLG_ERROR_TEXT_SIZE - 1});
    std::memcpy(errorText, text.data(), length);
    errorText[length] = '\0';
}

std::int32_t Fail(char* errorText, std::int32_t code, const std::string& text) {
    SetErrorText(errorText, text);
    return code;
}

std::int32_t Succeed(char* errorText) {
    SetErrorText(errorText, {});
    return CDDLG_OK;
}

// A caller's text: present and terminated within the documented buffer size.
bool ReadText(const char* text, const char* what, std::string& value, std::string& error) {
    if (text == nullptr) {
        error = std::string(what) + " missing";
        return false;
    }
    const std::size_t length = ::strnlen(text, CDDLG_TEXT_SIZE);
    if (length == CDDLG_TEXT_SIZE) {
        error = std::string(what) + " longer than " + std::to_string(CDDLG_TEXT_SIZE - 1) + " characters";
        return false;
    }
    value.assign(text, length);
    return true;
}

// Seconds from the caller, within [MinTimeout, limit]; nonsense gives the limit.
std::chrono::milliseconds TimeoutFrom(double seconds, std::chrono::milliseconds limit) {
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return limit;
    const double milliseconds = std::clamp(seconds * 1000.0, static_cast<double>(MinTimeout.count()),
                                           static_cast<double>(limit.count()));
    return std::chrono::milliseconds(static_cast<long long>(milliseconds));
}

// No exception may cross the C interface.
template <typename Body> std::int32_t Guarded(char* errorText, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return Fail(errorText, CDDLG_ERROR_INTERNAL, "out of memory");
    } catch (const std::exception& exception) {
        return Fail(errorText, CDDLG_ERROR_INTERNAL, std::string("internal error: ") + exception.what());
    } catch (...) {
        return Fail(errorText, CDDLG_ERROR_INTERNAL, "internal error");
    }
}

} // namespace

extern "C" {

int32_t _CDDLG_OpenConnection(char* serverName, char* userName, char* password, double connectTimeout,
                              char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        std::string server, user, secret, error;
        if (!ReadText(serverName, "controller address", server, error) ||
            !ReadText(userName, "user name", user, error) || !ReadText(password, "password", secret, error))
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, error);
        if (server.empty())
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, "controller address empty");
        FileTransferState& state = FileTransfer();
        std::lock_guard lock(state.Guard);
        state.Client.Close();
        const std::int32_t code =
            state.Client.Open(server, user, secret, TimeoutFrom(connectTimeout, MaxConnectTimeout), error);
        return code == CDDLG_OK ? Succeed(errorText) : Fail(errorText, code, error);
    });
}

int32_t _CDDLG_CloseConnection(char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        FileTransferState& state = FileTransfer();
        std::lock_guard lock(state.Guard);
        state.Client.Close();
        return Succeed(errorText);
    });
}

int32_t _CDDLG_ReadFile(const char* remoteFileName, char* localPath, int32_t mode, char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        std::string remote, local, error;
        if (!ReadText(remoteFileName, "remote file name", remote, error) ||
            !ReadText(localPath, "local path", local, error))
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, error);
        if (mode != 0)
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, "unknown file read mode " + std::to_string(mode));
        FileTransferState& state = FileTransfer();
        std::lock_guard lock(state.Guard);
        if (!state.Client.IsOpen())
            return Fail(errorText, CDDLG_ERROR_NOT_OPEN, "no file transfer connection is open");
        const std::int32_t code = state.Client.ReadFile(remote, local, error);
        return code == CDDLG_OK ? Succeed(errorText) : Fail(errorText, code, error);
    });
}

int32_t _CDDLG_OpenHighspeedPortTCPIP(const char* serverName, double requestTimeout, char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        std::string server, error;
        if (!ReadText(serverName, "controller address", server, error))
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, error);
        if (server.empty())
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, "controller address empty");
        HighspeedState& state = Highspeed();
        std::lock_guard lock(state.Guard);
        const std::int32_t code =
            state.Client.Open(server, TimeoutFrom(requestTimeout, MaxRequestTimeout), error);
        return code == CDDLG_OK ? Succeed(errorText) : Fail(errorText, code, error);
    });
}

int32_t _CDDLG_CommunicateHighspeedPortTCPIP(int32_t channel, const unsigned char* writeData,
                                             int32_t writeLength, int32_t writeOffset,
                                             unsigned char* readData, int32_t* readLength,
                                             double requestTimeout, int32_t mode, char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        if (channel != 0 || mode != 1)
            return Fail(errorText, CDDLG_ERROR_ARGUMENT,
                        "unknown channel " + std::to_string(channel) + " or mode " + std::to_string(mode));
        if (readLength == nullptr)
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, "read length missing");
        HighspeedState& state = Highspeed();
        std::lock_guard lock(state.Guard);
        if (!state.Client.IsOpen())
            return Fail(errorText, CDDLG_ERROR_NOT_OPEN, "no high-speed port is open");
        std::string error;
        const std::int32_t code =
            state.Client.Exchange(writeData, writeLength, writeOffset, readData, *readLength,
                                  TimeoutFrom(requestTimeout, MaxRequestTimeout), error);
        return code == CDDLG_OK ? Succeed(errorText) : Fail(errorText, code, error);
    });
}

int32_t _CDDLG_HighspeedImageSizesTCPIP(int32_t* inputSize, int32_t* outputSize, double requestTimeout,
                                        char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        if (inputSize == nullptr || outputSize == nullptr)
            return Fail(errorText, CDDLG_ERROR_ARGUMENT, "image size missing");
        HighspeedState& state = Highspeed();
        std::lock_guard lock(state.Guard);
        std::uint32_t input = 0;
        std::uint32_t output = 0;
        std::string error;
        const std::int32_t code =
            state.Client.ImageSizes(TimeoutFrom(requestTimeout, MaxRequestTimeout), input, output, error);
        if (code != CDDLG_OK)
            return Fail(errorText, code, error);
        // Both are at most MaxImageSize, so they fit.
        *inputSize = static_cast<std::int32_t>(input);
        *outputSize = static_cast<std::int32_t>(output);
        return Succeed(errorText);
    });
}

int32_t _CDDLG_CloseHighspeedPortTCPIP(char* errorText) {
    return Guarded(errorText, [&]() -> std::int32_t {
        HighspeedState& state = Highspeed();
        std::lock_guard lock(state.Guard);
        state.Client.Close();
        return Succeed(errorText);
    });
}

} // extern "C"
