#pragma once

#include <cstddef>
#include <string_view>

// True unless some element of the XML text is nested more than `limit` deep.
// A light scan that knows comments, CDATA, processing instructions, declarations
// and quoted attribute values; text that is not well-formed passes and is left
// to the parser to refuse. UTF-16 and UTF-32 text, told by a byte order mark or
// a leading "<", is measured in characters.
bool XmlNestingWithin(std::string_view text, std::size_t limit);
