#include "app/core/StringTable.h"

#include <map>

std::string LoadString(unsigned id) {
    static const std::map<unsigned, std::string> Table = {
        {IDS_ABOUTBOX, "Ab&out KavelApplication..."},
        {IDS_SOCKETS_INIT_FAILED, "Error initializing the Windows Sockets !"},
        {IDS_SYSTEM_MESSAGE_TITLE, "System message (Kavel - Application)"},
        {IDS_COLUMN_NUMBER, "#"},
        {IDS_COLUMN_CALLS, "Calls"},
        {IDS_COLUMN_TOOL, "Tool"},
        {IDS_COLUMN_DIRECTORY, "Directory"},
        {IDS_COLUMN_PARAMETER, "Parameter"},
        {IDS_CONFIGURATIONS_NOT_LOADED, "Error ! The Kavel - configurations could not be loaded ! (%s)"},
        {IDS_PROCESS_NOT_STOPPED, "The process %s could not be stopped ! %s"},
        {IDS_CONFIGURATION_FILE_INVALID, "Error ! The contents of the configuration file %s is not valid !"},
        {IDS_NO_ONLINE_DEVICE_CONFIGURATION, "Error ! Online was no device configuration for %s available !"},
        {IDS_ONLY_ONE_INSTANCE, "Only one instance of the application is allowed !"},
        {IDS_VARIABLES_DO_NOT_MATCH, "Error ! The data of configured and the selected variables do not match !"},
        {IDS_HELP_FILE_MISSING, "Error ! The help file %s is not available !"},
        {IDS_SUMMARY_FILE_NOT_FOUND, "Error ! Summary file %s was not found !"},
        {IDS_UNKNOWN_ERROR, "Unknown error %s !"},
        {IDS_EVENT_VARIABLE_NOT_IN_SUMMARY, "Error ! Data of event variable are not available in summary !"},
        {IDS_ACK_VARIABLE_NOT_IN_SUMMARY, "Error ! Data of acknowledge variable are not available in summary !"},
    };
    const auto it = Table.find(id);
    return it == Table.end() ? std::string() : it->second;
}

std::string FormatMessage(const std::string& format, const std::string& argument) {
    std::string result;
    result.reserve(format.size() + argument.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            result += argument;
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            result += '%';
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}
