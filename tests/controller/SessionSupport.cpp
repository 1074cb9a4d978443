#include "tests/controller/SessionSupport.h"

#include "controller/access/ControllerAccessLibrary.h"
#include "device/DeviceDescription.h"

std::string SummaryText(const std::vector<SummaryVariable>& variables) {
    std::string text =
        "[GENERAL]\nAppName=Test\nVendor=Kavel\nVariablesCount=" + std::to_string(variables.size()) +
        "\nSlavesCount=0\n";
    for (std::size_t i = 0; i < variables.size(); ++i) {
        const SummaryVariable& variable = variables[i];
        text += "[V" + std::to_string(i) + "]\nName=" + variable.Name +
                "\nVarType=SPT\nDataType=" + variable.DataType + "\nDataDirection=" + variable.Direction +
                "\nFormat=" + variable.Format + "\nInpSplitDataFieldOffs=" + variable.InputOffset +
                "\nOutSplitDataFieldOffs=" + variable.OutputOffset + "\n";
    }
    return text;
}

std::vector<SummaryVariable> StandardVariables() {
    return {
        {"Counter", "USINT32", "I", "0x0", "-", "%d"}, {"Event", "USINT32", "I", "0x4", "-", "%d"},
        {"Ack", "USINT32", "IO", "0x8", "0x20", "%d"}, {"AckScaled", "USINT32", "O", "-", "0x24", "%8.2f"},
        {"Status", "USINT32", "I", "0xC", "-", "%d"},
    };
}

void CloseControllerSession() {
    char errorText[CDDLG_ERROR_TEXT_SIZE];
    _CDDLG_CloseHighspeedPortTCPIP(errorText);
    _CDDLG_CloseConnection(errorText);
    ReleaseDeviceDescription();
}
