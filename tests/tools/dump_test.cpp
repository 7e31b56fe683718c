// "telvara-skinc --dump" on damaged node trees: child lists that point back
// at an ancestor, or share one subtree so often that the paths through it
// outnumber the atoms, are listed as far as the loader's bounds go and the
// listing says where it stopped; files that are no skin are refused by name.
#include "skinc/dump.h"
#include "skinc/skin_writer.h"
#include "skinc_test_support.h"

#include <gmock/gmock.h>

#include <functional>
#include <sstream>

using namespace telvara;
using namespace telvara::skinc;
using testing::HasSubstr;

namespace {

// A chain "Top" -> n1 -> n2 ... of `depth` nodes below the top, each with a
// second, empty child beside the next link.
SkinModel chain(int depth) {
    SkinModel model;
    const std::uint32_t type = model.intern_string(u"node");
    NodeModel leaf;
    leaf.strings = {{u"type", type}};
    NodeModel node = leaf;
    for (int i = 0; i < depth; ++i) {
        NodeModel parent = leaf;
        parent.children = {std::move(node), leaf};
        node = std::move(parent);
    }
    model.nodes.push_back({u"Top", std::move(node)});
    return model;
}

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + std::uint32_t(i)) = std::uint8_t(value >> (8 * i));
}

// The records of the chain from "Top" down its first children.
std::vector<std::uint32_t> chain_records(const std::vector<std::uint8_t>& bytes) {
    ui::PropertiesImpl skin(bytes, "/nonexistent", u"chain.skin", 0, ui::SkinResources::None);
    std::vector<std::uint32_t> records;
    for (ui::NodeRecord at = skin.find_node(u"Top"); at; at = skin.child(at, 0))
        records.push_back(at.offset);
    return records;
}

// Where child `index` of the record at `record` is stored.
std::uint32_t child_slot(std::uint32_t record, std::uint32_t index) {
    return record + 16 + 4 * index;
}

class DumpFile : public testing::Test {
  protected:
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        return m_folder.write(name, std::string(bytes.begin(), bytes.end()));
    }
    struct Run {
        int status = -1;
        std::string out, err;
    };
    static Run dump(std::vector<std::string> args) {
        args.insert(args.begin(), {"telvara-skinc", "--dump"});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        std::ostringstream out, err;
        const int status = dump_command(int(argv.size()), argv.data(), out, err);
        return {status, out.str(), err.str()};
    }
    skinc::test::SourceFolder m_folder;
    std::filesystem::path m_dir = m_folder.path();
};

struct DamagedTree {
    const char* name;
    int depth;
    // Rewrites child offsets of the written chain.
    std::function<void(std::vector<std::uint8_t>&, const std::vector<std::uint32_t>&)> damage;
    const char* stopped; // the reason the listing gives
    const char* where;   // the place it names
};

TEST_F(DumpFile, DamagedTreesAreListedAsFarAsTheBoundsGoAndSayWhereTheyStopped) {
    const DamagedTree cases[] = {
        {"the first link points back at the top", 3,
         [](auto& bytes, const auto& records) {
             put32(bytes, child_slot(records[1], 0), records[0]);
         },
         "points back at an ancestor", "node \"Top\" / child 0 / child 0"},
        // Both children of every link lead on: 2^60 paths through 61 records.
        {"every link shares its subtree twice", 60,
         [](auto& bytes, const auto& records) {
             for (std::size_t i = 0; i + 1 < records.size(); ++i)
                 put32(bytes, child_slot(records[i], 1), records[i + 1]);
         },
         "more than 65536 nodes under one top-level node", "node \"Top\" / child 0"},
        {"a tree deeper than the loader follows", 70, [](auto&, const auto&) {},
         "deeper than 64 levels", "node \"Top\" / child 0"},
    };
    for (const DamagedTree& c : cases) {
        SCOPED_TRACE(c.name);
        WriteResult written = write_skin(chain(c.depth));
        ASSERT_TRUE(written.ok()) << written.error;
        c.damage(written.bytes, chain_records(written.bytes));
        const std::string file = write("damaged.skin", written.bytes);
        const Run run = dump({"--no-pictures", file});
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err, HasSubstr(file + ": listing stopped at " + c.where));
        EXPECT_THAT(run.err, HasSubstr(c.stopped));
        EXPECT_THAT(run.out, HasSubstr(std::string("(") + c.stopped));
        // Bounded: the budget's nodes at a few lines each, not 2^60.
        EXPECT_LT(run.out.size(), 64u << 20);
        EXPECT_LE(std::count(run.err.begin(), run.err.end(), '\n'), 11);
    }
    // A whole tree of the same make is listed without complaint, every node once.
    const Run run = dump({"--no-pictures", write("whole.skin", write_skin(chain(20)).bytes)});
    EXPECT_EQ(std::tie(run.status, run.err), std::tuple(0, ""));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '@'), 41);
}

// Which files are no skin is the skin loader's table; the dump names the file and stops.
TEST_F(DumpFile, WhatIsNoSkinFileIsRefusedByNameAndReason) {
    const std::string file = write("short.skin", std::vector<std::uint8_t>(10, 0));
    const Run run = dump({file});
    EXPECT_EQ(std::tie(run.status, run.out), std::tuple(1, ""));
    EXPECT_THAT(run.err, HasSubstr("telvara-skinc: " + file + ": shorter than"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--no-pictures"}, {"a.skin", "b.skin"}})
        EXPECT_EQ(dump(args).status, 2) << testing::PrintToString(args);
}

} // namespace
