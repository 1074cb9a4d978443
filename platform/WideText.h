#pragma once

#include <string>

// Text crosses the Windows boundary as UTF-16; inside the program it is UTF-8.
// Bytes that are no UTF-8 become U+FFFD rather than being dropped.
std::wstring WideText(const std::string& text);
std::string Utf8Text(const std::wstring& text);
std::string Utf8Text(const wchar_t* text, std::size_t length);
