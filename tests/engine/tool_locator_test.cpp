#include "core/engine/tool_locator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Dirs = std::vector<fs::path>;

void makeExecutable(const fs::path& path, bool executable = true) {
    test::writeFile(path, "#!/bin/sh\nexit 0\n");
    fs::permissions(
        path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write,
        fs::perm_options::replace);
}

TEST(ToolLocator, SearchOrderWithAnExecutable) {
    test::Sandbox box;
    const fs::path exe = box / "opt/kelvo/bin/kelvo";
    makeExecutable(exe);
    const fs::path bin = fs::canonical(exe).parent_path();
    const fs::path prefix = bin.parent_path();

    const ToolLocator locator(
        {{"KELVO_TOOLS_DIR", "/tools"}, {"PATH", "/p1::/p2:"}, {"HOME", "/home/u"}}, exe);
    Dirs expected = {"/tools", prefix / "libexec/kelvo", prefix / "share/kelvo/tools",
                     bin / "tools"};
    fs::path level = bin;
    for (int i = 0; i < 6; ++i) {
        expected.push_back(level / "Vendor/bin");
        level = level.parent_path();
    }
    expected.insert(expected.end(), {"/p1", "/p2", "/home/u/.local/bin", "/usr/local/bin"});
    EXPECT_EQ(locator.searchDirs(), expected);
}

TEST(ToolLocator, ResolvesASymlinkedExecutable) {
    test::Sandbox box;
    makeExecutable(box / "real/bin/kelvo");
    fs::create_directories(box / "links");
    fs::create_symlink(box / "real/bin/kelvo", box / "links/kelvo");
    const ToolLocator locator(Environment{{"PATH", ""}}, box / "links/kelvo");
    const fs::path bin = fs::canonical(box / "real/bin");
    ASSERT_GE(locator.searchDirs().size(), 3U);
    EXPECT_EQ(locator.searchDirs()[0], bin.parent_path() / "libexec/kelvo");
    EXPECT_EQ(locator.searchDirs()[2], bin / "tools");
}

TEST(ToolLocator, EnvironmentEdges) {
    const struct {
        const char* name;
        Environment environment;
        Dirs expected;
    } cases[] = {
        {"empty environment", {}, {"/usr/bin", "/bin", "/usr/local/bin"}},
        {"no PATH", {{"LANG", "C"}}, {"/usr/bin", "/bin", "/usr/local/bin"}},
        {"empty PATH", {{"PATH", ""}}, {"/usr/local/bin"}},
        {"empty tools dir", {{"KELVO_TOOLS_DIR", ""}, {"PATH", "/a"}}, {"/a", "/usr/local/bin"}},
        {"colons only", {{"PATH", ":::"}}, {"/usr/local/bin"}},
        {"home", {{"PATH", "/a"}, {"HOME", "/h"}}, {"/a", "/h/.local/bin", "/usr/local/bin"}},
        {"tools dir first",
         {{"KELVO_TOOLS_DIR", "/t"}, {"PATH", "/a:/t"}},
         {"/t", "/a", "/t", "/usr/local/bin"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolLocator(c.environment, std::nullopt).searchDirs(), c.expected) << c.name;
    }
}

TEST(ToolLocator, EmptyToolsDirStartsWithTheInstallPrefix) {
    test::Sandbox box;
    makeExecutable(box / "bin/kelvo");
    const ToolLocator locator({{"KELVO_TOOLS_DIR", ""}}, box / "bin/kelvo");
    EXPECT_EQ(locator.searchDirs().front(), fs::canonical(box.root()) / "libexec/kelvo");
}

TEST(ToolLocator, FindsTheFirstExecutableFile) {
    test::Sandbox box;
    makeExecutable(box / "a/yt-dlp", false);   // not executable: skipped
    fs::create_directories(box / "b/yt-dlp");  // a folder: skipped
    makeExecutable(box / "c/yt-dlp");
    makeExecutable(box / "d/yt-dlp");
    fs::create_directories(box / "e");
    fs::create_symlink(box / "d/yt-dlp", box / "e/ffmpeg");
    fs::create_symlink(box / "missing", box / "e/deno");  // dangling: skipped

    const ToolLocator locator(
        Dirs{box / "none", box / "a", box / "b", box / "c", box / "d", box / "e"});
    EXPECT_EQ(locator.find("yt-dlp"), box / "c/yt-dlp");
    EXPECT_EQ(locator.find("ffmpeg"), box / "e/ffmpeg");
    EXPECT_EQ(locator.find("deno"), std::nullopt);
}

TEST(ToolLocator, CurrentExecutableIsThisProgram) {
    const auto self = ToolLocator::currentExecutable();
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->filename(), "engine_test");
    const auto dirs = ToolLocator::forCurrentProcess().searchDirs();
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), self->parent_path() / "tools"), dirs.end());
}

}  // namespace
}  // namespace kelvo
