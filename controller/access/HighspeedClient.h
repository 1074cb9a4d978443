#pragma once

#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerLink.h"

#include <chrono>
#include <cstdint>
#include <string>

// The high-speed data port. Once opened it stays open until Close, and a lost
// connection is made again by the next exchange. Operations return CDDLG_OK or
// a CDDLG_ERROR_ code with a text in `error`.
class HighspeedClient {
public:
    static constexpr std::chrono::milliseconds ConnectTimeout{2000};

    std::int32_t Open(const std::string& host, std::chrono::milliseconds requestTimeout, std::string& error);
    // Writes writeLength bytes at writeOffset of the output image and reads
    // readLength bytes of the input image from offset 0.
    std::int32_t Exchange(const unsigned char* writeData, std::int32_t writeLength, std::int32_t writeOffset,
                          unsigned char* readData, std::int32_t readLength,
                          std::chrono::milliseconds requestTimeout, std::string& error);
    // The image sizes of the controller's last hello (a lost connection is made
    // again first).
    std::int32_t ImageSizes(std::chrono::milliseconds requestTimeout, std::uint32_t& inputSize,
                            std::uint32_t& outputSize, std::string& error);
    void Close();
    bool IsOpen() const { return m_Open; }

private:
    // Connects and asks for the image sizes.
    std::int32_t Connect(std::chrono::milliseconds requestTimeout, std::string& error);
    bool CheckRanges(std::int32_t writeLength, std::int32_t writeOffset, std::int32_t readLength,
                     std::string& error) const;
    RequestResult Send(const unsigned char* writeData, std::int32_t writeLength, std::int32_t writeOffset,
                       unsigned char* readData, std::int32_t readLength, Deadline deadline,
                       std::string& error);

    std::string m_Host;
    bool m_Open = false;
    ControllerLink m_Link;
    std::uint32_t m_InputSize = 0;
    std::uint32_t m_OutputSize = 0;
};
