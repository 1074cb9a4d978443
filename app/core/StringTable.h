#pragma once

#include <string>

// Ids of the program's user-visible texts.
enum StringId : unsigned {
    IDS_ABOUTBOX = 101,
    IDS_SOCKETS_INIT_FAILED = 103,
    IDS_SYSTEM_MESSAGE_TITLE = 500,
    IDS_COLUMN_NUMBER = 1000,
    IDS_COLUMN_CALLS = 1001,
    IDS_COLUMN_TOOL = 1002,
    IDS_COLUMN_DIRECTORY = 1003,
    IDS_COLUMN_PARAMETER = 1004,
    IDS_CONFIGURATIONS_NOT_LOADED = 2000,
    IDS_PROCESS_NOT_STOPPED = 2003,
    IDS_CONFIGURATION_FILE_INVALID = 3000,
    IDS_NO_ONLINE_DEVICE_CONFIGURATION = 3001,
    IDS_ONLY_ONE_INSTANCE = 3002,
    IDS_VARIABLES_DO_NOT_MATCH = 3003,
    IDS_HELP_FILE_MISSING = 3004,
    IDS_SUMMARY_FILE_NOT_FOUND = 3005,
    IDS_UNKNOWN_ERROR = 3006,
    IDS_EVENT_VARIABLE_NOT_IN_SUMMARY = 3007,
    IDS_ACK_VARIABLE_NOT_IN_SUMMARY = 3008,
};

// The text of a string id; empty for an id the table does not hold.
std::string LoadString(unsigned id);

// printf-style "%s" substitution of one argument: every "%s" takes the text.
// Only "%s" and "%%" are interpreted, so a text from a file can never be read as a format.
std::string FormatMessage(const std::string& format, const std::string& argument);
