#include "platform/ProgramArguments.h"

std::vector<std::string> Utf8ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}
