// The installed tree: its files, desktop entry, icons and manual pages, run where it is moved.
#include "process_support.h"
#include <sstream>
namespace telvara::e2e {
namespace {
constexpr std::array<const char*, 5> kPrograms{"telvara", "telvara-contacts", "telvara-modem",
                                               "telvara-settings", "telvara-skinc"};
// A manual page's text without roff's escapes: fonts ("\fB"), spacing hints
// ("\,", "\/", "\&"), and "\-" and "\e" for '-' and '\'.
std::string roff_text(const std::string& page) {
    std::string text;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] != '\\' || i + 1 == page.size()) {
            text += page[i];
            continue;
        }
        const char escape = page[++i];
        if (escape == 'f')
            ++i;
        else if (escape == '-')
            text += '-';
        else if (escape == 'e' || escape == '\\')
            text += '\\';
        else if (escape != ',' && escape != '/' && escape != '&')
            text += std::string{'\\', escape};
    }
    return text;
}
class InstallE2e : public TelvaraWorld {
  protected:
    // Runs a program by name (PATH) or path; the run, checked for status 0.
    Finished tool(const std::string& program, const std::vector<std::string>& args,
                  std::chrono::milliseconds limit = 120s) {
        const std::string path =
            program.find('/') == std::string::npos ? find_program(program) : program;
        Finished done = finish(start(args, path), limit);
        EXPECT_EQ(done.status, 0) << program << " failed:\n" << done.output;
        return done;
    }
    // The main screen of the program at `binary`, run headless: what a tree
    // whose binary cannot find its program folder never shows.
    void expect_main_screen(const fs::path& binary) {
        const Finished run = script("wait 1500\nshot main.png\n", {}, binary.string());
        ASSERT_EQ(run.status, 0) << run.output;
        const Png main = shot("main.png");
        EXPECT_TRUE(near_colour(main.at(4, 20), {0xF3, 0xF5, 0xF7})); // the title bar
        EXPECT_TRUE(near_colour(main.at(120, 200), {0xFF, 0xFF, 0xFF}));
        fs::remove(m_dir / "main.png");
    }
};
// The tree: programs, data, desktop entry, icons, metainfo and manual pages, which name
// every option and command word --help names; it runs from wherever it is moved.
TEST_F(InstallE2e, TheInstalledTreeIsCompleteAndRunsFromWhereverItIsMoved) {
    const fs::path prefix = m_dir / "prefix";
    tool(CMAKE_COMMAND, {"--install", TELVARA_BUILD_DIR, "--prefix", prefix.string()});
    const fs::path share = prefix / "share";
    for (const char* file :
         {"english.lng", "russian.lng", "keyboard.txt", "help/english.html", "help/russian.html",
          "skins/bin/default.skin", "skins/bin/splash.skin", "skins/bin/@2x/splash/mark.bmp"})
        EXPECT_TRUE(fs::is_regular_file(share / "telvara" / file)) << file;
    // Nothing of the program folder beside the binaries.
    EXPECT_FALSE(fs::exists(prefix / "bin/english.lng"));
    EXPECT_FALSE(fs::exists(prefix / "bin/skins"));
    for (const char* program : kPrograms) {
        const fs::path page = share / "man/man1" / (std::string(program) + ".1.gz");
        ASSERT_TRUE(fs::is_regular_file(page)) << page;
        const std::string man = roff_text(tool("gzip", {"-dc", page.string()}).output);
        const std::string binary = (prefix / "bin" / program).string();
        const std::string help = tool(binary, {"--help"}).output;
        ASSERT_FALSE(help.empty()) << program;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string first;
            if (words >> first && first.size() > 2 && first.back() != ':') {
                EXPECT_NE(man.find(first), std::string::npos)
                    << program << ": \"" << first << "\" of: " << line;
            }
        }
        EXPECT_EQ(tool(binary, {"--version"}).output, std::string(program) + " 3.01\n");
        EXPECT_NE(man.find(std::string(program) + " 3.01"), std::string::npos) << program;
    }
    const std::string id = "com.kelma.Telvara";
    const std::string desktop = "applications/" + id + ".desktop";
    const std::string metainfo = "metainfo/" + id + ".metainfo.xml";
    ASSERT_TRUE(fs::is_regular_file(share / desktop));
    ASSERT_TRUE(fs::is_regular_file(share / metainfo));
    EXPECT_TRUE(fs::is_regular_file(share / "icons/hicolor/scalable/apps" / (id + ".svg")));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        Png icon;
        EXPECT_TRUE(icon.read((share / "icons/hicolor" / folder / "apps" / (id + ".png")).string()))
            << folder;
        EXPECT_EQ(std::pair(icon.width, icon.height), std::pair(size, size));
    }
    // The validators where scripts/setup.sh installed them (desktop-file-utils, appstream).
    if (!find_program("desktop-file-validate").empty() && !find_program("appstreamcli").empty()) {
        EXPECT_EQ(tool("desktop-file-validate", {(share / desktop).string()}).output, "");
        tool("appstreamcli", {"validate", "--no-net", "--strict", (share / metainfo).string()});
    }
    expect_main_screen(prefix / "bin/telvara");
    fs::rename(prefix, m_dir / "moved");
    expect_main_screen(m_dir / "moved/bin/telvara");
}
// The Debian package: its dependencies come from the linked libraries, lintian finds no error,
// and the unpacked tree runs.
TEST_F(InstallE2e, DebianPackagePassesLintianAndRunsUnpacked) {
    for (const char* needed : {"dpkg-deb", "dpkg-shlibdeps", "lintian"})
        if (find_program(needed).empty())
            GTEST_SKIP() << needed
                         << " is missing (scripts/setup.sh installs dpkg-dev and lintian)";
    const fs::path out = m_dir / "package", unpacked = m_dir / "unpacked";
    tool((fs::path(CMAKE_COMMAND).parent_path() / "cpack").string(),
         {"-G", "DEB", "--config", std::string(TELVARA_BUILD_DIR) + "/CPackConfig.cmake", "-B",
          out.string()},
         240s);
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out))
        deb = entry.path().extension() == ".deb" ? entry.path() : deb;
    ASSERT_FALSE(deb.empty()) << "cpack wrote no .deb";
    const std::string depends = tool("dpkg-deb", {"--field", deb.string(), "Depends"}).output;
    for (const char* package : {"libsdl2-2.0-0", "libsqlite3-0", "libfreetype6", "libfontconfig1",
                                "libpng16-16", "libminizip1", "libc6", "fonts-dejavu-core"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    const Finished lintian = tool("lintian", {"--fail-on", "error", deb.string()}, 240s);
    EXPECT_EQ(("\n" + lintian.output).find("\nE: "), std::string::npos) << lintian.output;
    tool("dpkg-deb", {"-x", deb.string(), unpacked.string()});
    expect_main_screen(unpacked / "usr/bin/telvara");
}
} // namespace
} // namespace telvara::e2e
