#include "config/ProjectDocument.h"
#include "config/XmlNesting.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

std::string Utf16(const std::string& ascii) {
    std::string wide;
    for (const char c : ascii)
        wide += std::string{c, '\0'};
    return wide;
}

} // namespace

TEST(OpenProjectDocument, LoadsRegularFilesUpToSixtyFourMegabytes) {
    TempFolder folder;
    pugi::xml_document document;
    const std::string big = folder.Write("ok.ADPXML", "<AdvancedPara/>");
    EXPECT_TRUE(OpenProjectDocument(big, document));
    std::filesystem::resize_file(big, 64 * 1024 * 1024 + 1);
    EXPECT_FALSE(OpenProjectDocument(big, document));
    EXPECT_FALSE(document.first_child()) << "a failed load leaves no stale tree";
    EXPECT_FALSE(OpenProjectDocument(folder.Path(), document));
    EXPECT_FALSE(OpenProjectDocument(folder.File("missing"), document));
}

TEST(XmlNestingWithin, CountsOnlyElements) {
    EXPECT_TRUE(XmlNestingWithin(Nested(3), 3));
    EXPECT_FALSE(XmlNestingWithin(Nested(4), 3));
    EXPECT_TRUE(XmlNestingWithin("<a><b/><b></b><c x='>' y=\"/>\"><d/></c></a>", 3));
    EXPECT_FALSE(XmlNestingWithin("<a><b><c x='/'><d></d></c></b></a>", 3));
    EXPECT_TRUE(XmlNestingWithin(
        "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"<b><b>\"><!-- ] > <c> -->"
        "<!ATTLIST a x CDATA '>'>]><a><!-- <b><b> --><![CDATA[<b><b>]]><?pi <b><b>?><b/></a>",
        1));
    EXPECT_TRUE(XmlNestingWithin("<a><b", 1)) << "unfinished text is left to the parser";
    EXPECT_TRUE(XmlNestingWithin("\xFF\xFE" + Utf16(Nested(3)), 3));
    EXPECT_FALSE(XmlNestingWithin("\xFF\xFE" + Utf16(Nested(4)), 3));
    std::string cjk = Utf16("<a>");
    for (int i = 0; i < 1000; ++i)
        cjk += "\x3C\x3E"; // U+3E3C: the bytes of "<>", no markup
    EXPECT_TRUE(XmlNestingWithin(cjk + Utf16("</a>"), 1));
}
