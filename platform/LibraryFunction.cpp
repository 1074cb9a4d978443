#include "platform/LibraryFunction.h"

#include <dlfcn.h>

// Every library the program was linked with is searched, as the dynamic linker does.
void* LibraryFunction(const char*, const char* name) {
    return ::dlsym(RTLD_DEFAULT, name);
}
