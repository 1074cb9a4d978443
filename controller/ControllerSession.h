#pragma once

#include "config/ProjectPaths.h"
#include "config/VariableReference.h"
#include "controller/access/ControllerProtocol.h"

#include <cstdint>
#include <string>

// Everything done with the real controller, through the controller-access
// library: the summary download, the high-speed port and the variable exchange.
// Each step reports one line through AddMessage ("---- " progress, "**** " errors).
class ControllerSession {
public:
    ProjectPaths Paths;
    std::string UserName = ControllerUserName;
    std::string Password = ControllerPassword;
    double ConnectionParameter = 2.0;

    // 0 opened, -1 parameters missing or exception, else the library's code.
    int OpenFileTransfer();
    int CloseFileTransfer();
    int ReadSummaryFile(const std::string& localPath);
    // 1 loaded, 0 not; `path` always receives the local summary path used.
    int LoadDeviceDescription(std::string& path);
    int OpenHighspeedPort();
    int CloseHighspeedPort();
    // writeFlag 0: reads the event variable into value (changed only on success);
    // 1: writes value as the acknowledge variable. True when the exchange read
    // the value, or carried the acknowledge bytes to the controller.
    bool CommunicateVariable(std::uint32_t& value, const VariableReferencePair& references, int writeFlag);
    enum class ImageSizes { Known, NotOffered, Failed };
    // The image sizes the controller announced on the open port. NotOffered: the
    // access library in use is a stand-in with only the six classic functions.
    // Failed is reported.
    ImageSizes ControllerImageSizes(std::uint32_t& inputSize, std::uint32_t& outputSize);
    // Bytes of the input image that every exchange reads: the description's
    // input data length, at most the read buffer.
    static std::uint32_t ReadLength();
};

// The local path of the summary file ("<program folder>/Temp/#summary.sta"), or
// empty when the Temp folder cannot be made.
std::string SummaryFilePath();

// Reverses the order of the elements of a buffer; false (nothing changed) unless
// 1 <= elementSize <= 10, totalLength is a multiple of it and holds two elements.
bool ReverseElements(unsigned char* buffer, int elementSize, int totalLength);
