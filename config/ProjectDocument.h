#pragma once

#include <pugixml.hpp>

#include <string>

// Loads the project file at `path` into `document`. No document type is processed
// and no external entity is ever loaded; a file larger than 64 MB, nested more
// than 1000 elements deep, or not well-formed XML is refused (false).
bool OpenProjectDocument(const std::string& path, pugi::xml_document& document);

// Loads the project file at `path` into `document` and gives its section
// "AdvancedPara"/"KavelPara"/`section`; an empty node when the file cannot be
// loaded or that section is missing.
pugi::xml_node OpenProjectSection(const std::string& path, pugi::xml_document& document,
                                  const std::string& section);

// The first child element of `node` named exactly `name`; an empty node when none.
pugi::xml_node FindChildElement(const pugi::xml_node& node, const std::string& name);

// The value of the attribute `name` of `element` replaces `text`: true. Without
// that attribute `text` is left as it is: false.
bool ReadAttribute(const pugi::xml_node& element, const std::string& name, std::string& text);

// The text of the element and of everything inside it, in document order, with
// white space around it removed (project files written by hand are indented).
std::string ElementText(const pugi::xml_node& element);
