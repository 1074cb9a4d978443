#include "platform/LibraryFunction.h"

#include "platform/WideText.h"

#include <windows.h>

void* LibraryFunction(const char* library, const char* name) {
    const HMODULE module = ::GetModuleHandleW(WideText(std::string(library) + ".dll").c_str());
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(module, name));
}
