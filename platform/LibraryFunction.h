#pragma once

// The address of a function that a library loaded with the program may or may
// not export (`library` is its name without prefix or suffix); null when it does
// not. Lets the program use what a stand-in library need not offer.
void* LibraryFunction(const char* library, const char* name);
