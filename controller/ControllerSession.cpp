#include "controller/ControllerSession.h"

#include "app/core/SystemMessage.h"
#include "controller/access/ControllerAccessLibrary.h"
#include "device/DeviceDescription.h"
#include "platform/LibraryFunction.h"
#include "platform/Paths.h"
#include "platform/ProgramTemp.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace {

constexpr const char* SummaryFileName = "#summary.sta";
constexpr std::size_t ExchangeBufferSize = 1024;
constexpr std::size_t RawValueSize = 100;
constexpr double HighspeedRequestTimeout = 1.0;

using ErrorTextBuffer = std::array<char, CDDLG_ERROR_TEXT_SIZE>;

std::string Format(const char* format, const std::string& text) {
    std::vector<char> line(std::strlen(format) + text.size() + 1);
    std::snprintf(line.data(), line.size(), format, text.c_str());
    return line.data();
}

void AddLibraryError(const ErrorTextBuffer& errorText) {
    // The library terminates its text; the last byte guards against one that does not.
    AddMessage(Format("**** Error occured: %s",
                      std::string(errorText.data(), ::strnlen(errorText.data(), errorText.size()))));
}

void AddException(const std::string& text) {
    AddMessage(Format("**** Error occurred: %s", text));
}

// A text the library may write to: at least 200 characters, as its interface asks.
std::vector<char> WritableText(const std::string& text) {
    std::vector<char> buffer(std::max<std::size_t>(CDDLG_TEXT_SIZE, text.size() + 1), '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    return buffer;
}

// Runs a library call or description look-up; a caught text becomes one line.
template <typename Body> bool CatchText(Body body) {
    try {
        body();
        return true;
    } catch (const char* text) {
        AddException(text != nullptr ? text : "");
    } catch (const std::exception& exception) {
        AddException(exception.what());
    }
    return false;
}

} // namespace

std::string SummaryFilePath() {
    std::string error;
    const std::string tempDirectory = ProgramTempDirectory(error);
    if (tempDirectory.empty()) {
        AddMessage(
            Format("**** cannot create directory %s", DirectoryPart(ProgramPath()) + PathSeparator + "Temp"));
        return {};
    }
    return tempDirectory + PathSeparator + SummaryFileName;
}

bool ReverseElements(unsigned char* buffer, int elementSize, int totalLength) {
    if (buffer == nullptr || elementSize < 1 || elementSize > 10 || totalLength < 2 * elementSize ||
        totalLength % elementSize != 0)
        return false;
    const int count = totalLength / elementSize;
    for (int low = 0, high = count - 1; low < high; ++low, --high)
        std::swap_ranges(buffer + low * elementSize, buffer + (low + 1) * elementSize,
                         buffer + high * elementSize);
    return true;
}

int ControllerSession::OpenFileTransfer() {
    if (Paths.ControllerAddress.empty() || UserName.empty() || Password.empty()) {
        AddMessage("**** Error occured: servername, username or password not defined !!!");
        return -1;
    }
    int result = -1;
    CatchText([&] {
        std::vector<char> server = WritableText(Paths.ControllerAddress);
        std::vector<char> user = WritableText(UserName);
        std::vector<char> password = WritableText(Password);
        ErrorTextBuffer errorText{};
        result = _CDDLG_OpenConnection(server.data(), user.data(), password.data(), ConnectionParameter,
                                       errorText.data());
        if (result == 0)
            AddMessage(Format("---- FTP connection opened to <%s>!", Paths.ControllerAddress));
        else
            AddLibraryError(errorText);
    });
    return result;
}

int ControllerSession::CloseFileTransfer() {
    int result = -1;
    CatchText([&] {
        ErrorTextBuffer errorText{};
        result = _CDDLG_CloseConnection(errorText.data());
        if (result == 0)
            AddMessage(Format("---- FTP connection to <%s> closed!", Paths.ControllerAddress));
        else
            AddLibraryError(errorText);
    });
    return result;
}

int ControllerSession::ReadSummaryFile(const std::string& localPath) {
    int result = -1;
    // A text thrown by the read is handled like those of the other calls.
    CatchText([&] {
        std::vector<char> path = WritableText(localPath);
        ErrorTextBuffer errorText{};
        result = _CDDLG_ReadFile(SummaryFileName, path.data(), 0, errorText.data());
        if (result == 0)
            AddMessage("---- file reading succeeded!");
        else
            AddLibraryError(errorText);
    });
    return result;
}

int ControllerSession::LoadDeviceDescription(std::string& path) {
    DeviceDescription& description = RenewCurrentDeviceDescription();
    const std::string summaryPath = SummaryFilePath();
    int code = -1;
    if (!summaryPath.empty()) {
        code = OpenFileTransfer();
        if (code == 0)
            code = ReadSummaryFile(summaryPath);
    }
    CloseFileTransfer();
    int result = 0;
    if (code == 0) {
        ParseSummaryFile(description, summaryPath);
        // Otherwise the user would only learn later that a variable is "not available".
        if (!description.CountLimitMessage.empty())
            AddMessage("**** Summary file " + summaryPath + ": " + description.CountLimitMessage);
        result = 1;
    }
    path = summaryPath;
    return result;
}

int ControllerSession::OpenHighspeedPort() {
    int result = 0;
    CatchText([&] {
        ErrorTextBuffer errorText{};
        if (_CDDLG_OpenHighspeedPortTCPIP(Paths.ControllerAddress.c_str(), HighspeedRequestTimeout,
                                          errorText.data()) != 0) {
            AddLibraryError(errorText);
            return;
        }
        AddMessage(Format("---- Highspeed TCP/IP connection opened to <%s>!", Paths.ControllerAddress));
        result = 1;
        // Only the first bytes of a larger input image fit into the read buffer.
        const DeviceDescription* description = CurrentDeviceDescription();
        const std::int32_t inputLength = description != nullptr ? description->InputDataLength() : 0;
        if (inputLength > static_cast<std::int32_t>(ExchangeBufferSize))
            AddException("Input image of " + std::to_string(inputLength) +
                         " bytes exceeds the read buffer; only its first " +
                         std::to_string(ExchangeBufferSize) + " bytes are read!");
    });
    return result;
}

int ControllerSession::CloseHighspeedPort() {
    int result = 0;
    CatchText([&] {
        ErrorTextBuffer errorText{};
        if (_CDDLG_CloseHighspeedPortTCPIP(errorText.data()) != 0) {
            AddLibraryError(errorText);
            return;
        }
        AddMessage(Format("---- Highspeed TCP/IP connection to <%s> closed!", Paths.ControllerAddress));
        result = 1;
    });
    return result;
}

ControllerSession::ImageSizes ControllerSession::ControllerImageSizes(std::uint32_t& inputSize,
                                                                      std::uint32_t& outputSize) {
    // Not one of the six functions every access library offers: a stand-in
    // library without it still loads.
    using ImageSizesFunction = std::int32_t (*)(std::int32_t*, std::int32_t*, double, char*);
    const auto imageSizes = reinterpret_cast<ImageSizesFunction>(
        LibraryFunction("ControllerAccessLibrary", "_CDDLG_HighspeedImageSizesTCPIP"));
    if (imageSizes == nullptr)
        return ImageSizes::NotOffered;
    ImageSizes result = ImageSizes::Failed;
    CatchText([&] {
        ErrorTextBuffer errorText{};
        std::int32_t input = 0;
        std::int32_t output = 0;
        if (imageSizes(&input, &output, HighspeedRequestTimeout, errorText.data()) != 0 || input < 0 ||
            output < 0) {
            AddLibraryError(errorText);
            return;
        }
        inputSize = static_cast<std::uint32_t>(input);
        outputSize = static_cast<std::uint32_t>(output);
        result = ImageSizes::Known;
    });
    return result;
}

std::uint32_t ControllerSession::ReadLength() {
    const DeviceDescription* description = CurrentDeviceDescription();
    const std::int32_t length = description != nullptr ? description->InputDataLength() : 0;
    return static_cast<std::uint32_t>(std::clamp(length, 0, static_cast<std::int32_t>(ExchangeBufferSize)));
}

bool ControllerSession::CommunicateVariable(std::uint32_t& value, const VariableReferencePair& references,
                                            int writeFlag) {
    std::array<unsigned char, ExchangeBufferSize> writeData{};
    std::array<unsigned char, ExchangeBufferSize> readData{};
    std::array<unsigned char, RawValueSize> raw{};
    ErrorTextBuffer errorText{};
    std::int32_t writeLength = 0;
    std::int32_t writeOffset = 0;
    std::int32_t readLength = -1;
    const DeviceDescription* description = CurrentDeviceDescription();

    if (writeFlag != 0) {
        const auto index = static_cast<int>(references.Acknowledge.DeviceIndex);
        CatchText([&] {
            if (description == nullptr)
                throw std::runtime_error("No device description loaded!");
            if (!description->IsWritable(-1, index)) {
                AddMessage("**** Error occurred: Variable (" + std::to_string(index) +
                           ") from Module address (-1) not writeable!");
                return;
            }
            if (!description->ValueToRaw(-1, index, static_cast<double>(value), raw.data()))
                return;
            writeOffset = description->GetOutSplitOffset(-1, index);
            const int size = description->GetDataTypeSize(-1, index);
            // Sizes come from the data type table (at most 8); the bound keeps the copy inside both buffers.
            if (size > 0 && static_cast<std::size_t>(size) <= raw.size()) {
                for (int i = 0; i < size; ++i)
                    writeData[static_cast<std::size_t>(i)] = raw[static_cast<std::size_t>(size - 1 - i)];
                writeLength = size;
            }
        });
    }

    CatchText([&] {
        if (description == nullptr)
            throw std::runtime_error("No device description loaded!");
        // Never ask for more than the read buffer holds.
        readLength = std::min(description->InputDataLength(), static_cast<std::int32_t>(ExchangeBufferSize));
    });

    int result = -1;
    if (!CatchText([&] {
            result =
                _CDDLG_CommunicateHighspeedPortTCPIP(0, writeData.data(), writeLength, writeOffset,
                                                     readData.data(), &readLength, 1.0, 1, errorText.data());
        }))
        return false;
    if (result != 0) {
        AddLibraryError(errorText);
        return false;
    }
    if (writeFlag != 0)
        return writeLength > 0;

    const std::uint32_t offset = references.Event.InputOffset;
    const std::uint32_t length = references.Event.Length;
    if (length <= 1)
        return false;
    // The value is taken from four bytes at the offset, however many were reversed.
    const std::uint64_t end = std::uint64_t{offset} + std::max<std::uint32_t>(length, sizeof value);
    if (readLength < 0 || end > static_cast<std::uint64_t>(readLength)) {
        AddException("Event variable at input offset " + std::to_string(offset) + " with " +
                     std::to_string(length) + " bytes lies beyond the " +
                     std::to_string(std::max(readLength, 0)) + " bytes read!");
        return false;
    }
    if (!ReverseElements(readData.data() + offset, 1, static_cast<int>(length)))
        return false;
    std::memcpy(&value, readData.data() + offset, sizeof value);
    return true;
}
