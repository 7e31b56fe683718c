// Reading skin sources: structure, typed properties, and errors that name
// the file and the line.
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
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
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
        {"<node id=\"A\"><prop name=\"x\" kind=\"bool\" value=\"1\"/></node>\n",
         "kind \"bool\" is not one of"},
        {"<node id=\"A\"\n anchor_x=\"center\"/>\n", "s.xml:3: string anchor_x: \"center\" is not "
                                                     "a word anchor_x knows"},
        {"<node id=\"A\" design_size=\"240\"/>\n", "point design_size"},
        {"<image id=\"A\" src=\"p\" src.slice=\"1 2 3\"/>\n", "a slice is 4 insets"},
        {"<image id=\"A\" src=\"p\" src.slice=\"0 0 5 5 4 4 9 9\"/>\n", "must not decrease"},
        {"<image id=\"A\" grow.slice=\"1 1 1 1\" grow=\"1\"/>\n", "takes no slice"},
        {"<image id=\"A\" src.flag=\"1\"/>\n", "without a picture attribute \"src\""},
        {"<node id=\"A\"><picture name=\"p\"/></node>\n", "belong directly under <skin>"},
        {"<picture name=\"p\" transparency=\"backdrop\"/>\n", "needs a backdrop colour"},
        {"<picture name=\"p\" shade=\"1\"/>\n", "<picture> has no attribute \"shade\""},
        {"<picture name=\"p\"/><picture name=\"p\"/>\n", "already described on line 2"},
        {"<text id=\"A\" font=\"12 Tahoma\"/>\n", "give the three flags before the face name"},
    };
    for (const auto& c : cases)
        EXPECT_THAT(read_error(c.body), HasSubstr(c.message)) << c.body;
    EXPECT_THAT(read_error(""), testing::IsEmpty());
}

// A skin kept in parts: the included sources' pictures and screens join the
// skin; ids stay unique across the parts; mistakes name the part's own line.
TEST(SkinSource, IncludedPartsJoinTheSkin) {
    telvara::skinc::test::SourceFolder folder;
    folder.write("parts/list.xml", "<skin>\n"
                                   "  <picture name=\"row\" transparency=\"key\"/>\n"
                                   "  <node id=\"Row\"/>\n"
                                   "  <include file=\"more/menu.xml\"/>\n"
                                   "</skin>\n");
    folder.write("parts/more/menu.xml", "<skin><node id=\"Menu\"/></skin>\n");
    const std::string main = folder.write_skin("  <node id=\"Main\"/>\n"
                                               "  <include file=\"parts/list.xml\"/>\n");
    const SourceSkin skin = read_skin_source(main);
    ASSERT_EQ(skin.nodes.size(), 3u);
    EXPECT_EQ(std::tie(skin.nodes[0].first, skin.nodes[1].first, skin.nodes[2].first),
              std::tuple("Main", "Row", "Menu"));
    ASSERT_EQ(skin.pictures.size(), 1u);
    EXPECT_EQ(skin.name, "test");
    EXPECT_EQ(skin.folder, folder.path()); // the parts use the skin's own art
    folder.write("parts/twice.xml", "<skin>\n<node id=\"Main\"/>\n</skin>\n");
    EXPECT_THAT(read_error_of(folder.write_skin("<node id=\"Main\"/>\n"
                                                "<include file=\"parts/twice.xml\"/>\n")),
                HasSubstr("twice.xml:2: top-level id \"Main\" is already used"));
    folder.write("parts/broken.xml", "<skin>\n\n<node id=\"X\" bogus=\"1\"/>\n</skin>\n");
    EXPECT_THAT(read_error_of(folder.write_skin("<include file=\"parts/broken.xml\"/>\n")),
                HasSubstr("broken.xml:3:"));
    EXPECT_THAT(read_error_of(folder.write_skin("\n<include file=\"parts/none.xml\"/>\n")),
                HasSubstr("test.xml:3: cannot open the included source"));
    EXPECT_THAT(read_error_of(folder.write_skin("<include/>\n")),
                HasSubstr("<include> needs a file"));
    folder.write("self.xml", "<skin><include file=\"self.xml\"/></skin>\n");
    EXPECT_THAT(read_error_of(folder.path() + "/self.xml"), HasSubstr("includes nest deeper"));
}

// A tab's contents kept in their own file: a <part> included inside a node
// puts its nodes there as children, in order.
TEST(SkinSource, PartsIncludedInsideANodeBecomeItsChildren) {
    telvara::skinc::test::SourceFolder folder;
    folder.write("parts/tab.xml", "<part>\n"
                                  "  <text id=\"empty\" text=\"skinNoRecents\"/>\n"
                                  "  <vlist id=\"RecentsList\"/>\n"
                                  "</part>\n");
    const SourceSkin skin =
        read_skin_source(folder.write_skin("<node id=\"Main\">\n"
                                           "  <color id=\"first\" color=\"#FFFFFF\"/>\n"
                                           "  <node id=\"RecentsContainer\">\n"
                                           "    <include file=\"parts/tab.xml\"/>\n"
                                           "  </node>\n"
                                           "</node>\n"));
    const SourceNode& main = skin.nodes.at(0).second;
    ASSERT_EQ(main.children.size(), 2u);
    const SourceNode& recents = main.children[1];
    ASSERT_EQ(recents.children.size(), 2u);
    EXPECT_EQ(std::tie(recents.children[0].type, recents.children[1].type),
              std::tuple("text", "vlist"));
    folder.write("parts/wrong.xml", "<skin><node id=\"X\"/></skin>\n");
    EXPECT_THAT(read_error_of(folder.write_skin("<node id=\"Main\">\n"
                                                "<include file=\"parts/wrong.xml\"/>\n"
                                                "</node>\n")),
                HasSubstr("wrong.xml:1: a source included inside a node has the root <part>"));
}
