#include "config/ProjectDocument.h"

#include "config/XmlNesting.h"
#include "platform/FileContent.h"

namespace {

constexpr std::size_t MaximumProjectFileSize = 64 * 1024 * 1024;
// A project file needs six levels; the limit keeps every walk over the tree safe.
constexpr std::size_t MaximumProjectNesting = 1000;

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

bool OpenProjectDocument(const std::string& path, pugi::xml_document& document) {
    document.reset();
    std::string content;
    if (!ReadFileContent(path, MaximumProjectFileSize, content) ||
        !XmlNestingWithin(content, MaximumProjectNesting))
        return false;
    // The default options skip the document type declaration and expand only the
    // predefined entities, so nothing outside this file is ever opened.
    const pugi::xml_parse_result result =
        document.load_buffer(content.data(), content.size(), pugi::parse_default);
    if (!result) {
        document.reset();
        return false;
    }
    return true;
}

pugi::xml_node OpenProjectSection(const std::string& path, pugi::xml_document& document,
                                  const std::string& section) {
    if (!OpenProjectDocument(path, document))
        return {};
    const pugi::xml_node advanced = FindChildElement(document, "AdvancedPara");
    const pugi::xml_node kavel = FindChildElement(advanced, "KavelPara");
    return FindChildElement(kavel, section);
}

pugi::xml_node FindChildElement(const pugi::xml_node& node, const std::string& name) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && name == child.name())
            return child;
    }
    return {};
}

bool ReadAttribute(const pugi::xml_node& element, const std::string& name, std::string& text) {
    const pugi::xml_attribute attribute = element.attribute(name.c_str());
    if (!attribute)
        return false;
    text = attribute.value();
    return true;
}

std::string ElementText(const pugi::xml_node& element) {
    std::string text;
    // Depth-first without recursion: down to the first child, else on to the next
    // sibling of the nearest node that has one.
    pugi::xml_node node = element.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            text += node.value();
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != element && !node.next_sibling())
            node = node.parent();
        if (!node || node == element)
            break;
        node = node.next_sibling();
    }
    return Trimmed(text);
}
