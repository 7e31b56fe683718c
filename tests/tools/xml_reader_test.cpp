// Reading skin sources: structure, typed properties, and errors that name the file and the line.
#include "skinc_test_support.h"

#include <gmock/gmock.h>

using namespace telvara::skinc;
using telvara::skinc::test::read_error;
using testing::HasSubstr;

namespace {
// What reading a source file throws, or nothing.
std::string read_error_of(const std::string& file) {
    return telvara::skinc::test::error_of([&] { read_skin_source(file); });
}
} // namespace

// Typed properties, slices, flags and masks read are checked through the compiled skin's dump.
TEST(SkinSource, MalformedXmlNamesFileAndLine) {
    try {
        read_skin_text("<skin>\n<node id=\"A\"\n  x=\"1\" x=>\n</skin>", "bad.xml", ".");
        ADD_FAILURE() << "read";
    } catch (const SourceError& e) {
        EXPECT_EQ(std::pair(e.file(), e.line()), std::pair(std::string("bad.xml"), 3));
    }
    EXPECT_THROW(read_skin_text("<skins/>", "s.xml", "."), SourceError); // the root must be <skin>
    EXPECT_THROW(read_skin_text("<skin name=\"x\"/>", "s.xml", "."), SourceError);
    EXPECT_THROW(read_skin_source("/nonexistent/skin.xml"), SourceError);
}

TEST(SkinSource, StructuralMistakesAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"<node id=\"A\">\n\n  <text id=\"t\">\n</node>\n", "malformed XML"},
        {"<node id=\"A\">\n  <text id=\"t\"\n        speed=\"3\"/>\n</node>\n",
         "s.xml:4: unknown property \"speed\""},
        {"<node id=\"A\">\n<prop name=\"speed\" value=\"3\"/></node>\n",
         "s.xml:3: unknown property \"speed\" needs a kind"},
        {"<Text id=\"A\"/>\n", "s.xml:2: <Text> is not a node type"},
        {"<node/>\n", "s.xml:2: a top-level node needs an id"},
        {"<node id=\"A\"/>\n<text id=\"A\"/>\n", "s.xml:3: top-level id \"A\" is already used on "
                                                 "line 2"},
        {"<node id=\"A\" cache=\"1\"\n cache=\"1\"/>\n",
         "s.xml:3: property \"cache\" is given twice (also on line 2)"},
        {"<node id=\"A\" grow=\"1\"><prop name=\"grow\" value=\"0\"/></node>\n",
         "s.xml:2: property \"grow\" is given twice"},
        {"<node id=\"A\">hello</node>\n", "s.xml:2: text is not allowed inside <node>"},
        {"<node id=\"A\"><prop name=\"color\" kind=\"integer\" value=\"1\"/></node>\n",
         "\"color\" is read by the program as colour, not integer"},
        {"<node id=\"A\"\n anchor_x=\"center\"/>\n", "s.xml:3: string anchor_x: \"center\" is not "
                                                     "a word anchor_x knows"},
        {"<image id=\"A\" src=\"p\" src.slice=\"1 2 3\"/>\n", "a slice is 4 insets"},
        {"<image id=\"A\" src=\"p\" src.slice=\"0 0 5 5 4 4 9 9\"/>\n", "must not decrease"},
        {"<image id=\"A\" grow.slice=\"1 1 1 1\" grow=\"1\"/>\n", "takes no slice"},
        {"<image id=\"A\" src.flag=\"1\"/>\n", "without a picture attribute \"src\""},
        {"<node id=\"A\"><picture name=\"p\"/></node>\n", "belong directly under <skin>"},
        {"<picture name=\"p\" transparency=\"backdrop\"/>\n", "needs a backdrop colour"},
        {"<picture name=\"p\" shade=\"1\"/>\n", "<picture> has no attribute \"shade\""},
        {"<picture name=\"p\"/><picture name=\"p\"/>\n", "already described on line 2"},
    };
    for (const auto& [body, message] : cases)
        EXPECT_THAT(read_error(body), HasSubstr(message)) << body;
    EXPECT_THAT(read_error(""), testing::IsEmpty());
}

// A skin kept in parts (the shipped skin is, so the parts joining is seen on every screen): the
// mistakes name the part's own line.
TEST(SkinSource, MistakesInIncludedPartsNameThePart) {
    telvara::skinc::test::SourceFolder folder;
    folder.write("parts/twice.xml", "<skin>\n<node id=\"Main\"/>\n</skin>\n");
    folder.write("parts/broken.xml", "<skin>\n\n<node id=\"X\" bogus=\"1\"/>\n</skin>\n");
    folder.write("parts/wrong.xml", "<skin><node id=\"X\"/></skin>\n");
    folder.write("self.xml", "<skin><include file=\"self.xml\"/></skin>\n");
    const std::pair<const char*, const char*> cases[] = {
        {"<node id=\"Main\"/>\n<include file=\"parts/twice.xml\"/>\n",
         "twice.xml:2: top-level id \"Main\" is already used"},
        {"<include file=\"parts/broken.xml\"/>\n", "broken.xml:3:"},
        {"\n<include file=\"parts/none.xml\"/>\n", "test.xml:3: cannot open the included source"},
        {"<include/>\n", "<include> needs a file"},
        {"<include file=\"self.xml\"/>\n", "includes nest deeper"},
        {"<node id=\"Main\">\n<include file=\"parts/wrong.xml\"/>\n</node>\n",
         "wrong.xml:1: a source included inside a node has the root <part>"},
    };
    for (const auto& [body, message] : cases)
        EXPECT_THAT(read_error_of(folder.write_skin(body)), HasSubstr(message)) << body;
}
