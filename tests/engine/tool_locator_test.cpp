#include "core/engine/tool_locator.h"

#include <gtest/gtest.h>

#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Dirs = std::vector<fs::path>;

void makeFile(const fs::path& path, fs::perms permissions = fs::perms::owner_all) {
    test::writeFile(path, "#!/bin/sh\n");
    fs::permissions(path, permissions);
}

TEST(ToolLocator, SearchOrderBesideASymlinkedExecutable) {
    test::Sandbox box;
    makeFile(box / "opt/kelvo/bin/kelvo");
    fs::create_directories(box / "links");
    fs::create_symlink(box / "opt/kelvo/bin/kelvo", box / "links/kelvo");
    const fs::path bin = fs::canonical(box / "opt/kelvo/bin");

    Dirs expected = {"/tools", "/home/u/.local/share/kelvo/tools",
                     bin.parent_path() / "libexec/kelvo", bin.parent_path() / "share/kelvo/tools",
                     bin / "tools"};
    for (fs::path level = bin; expected.size() < 11; level = level.parent_path()) {
        expected.push_back(level / "Vendor/bin");
    }
    expected.insert(expected.end(), {"/p1", "/p2", "/home/u/.local/bin", "/usr/local/bin"});
    const ToolLocator locator(
        {{"KELVO_TOOLS_DIR", "/tools"}, {"PATH", "/p1::/p2:"}, {"HOME", "/home/u"}},
        box / "links/kelvo");
    EXPECT_EQ(locator.searchDirs(), expected);
}

// kelvo's own tools folder lies in XDG_DATA_HOME, or ~/.local/share when that is not absolute.
TEST(ToolLocator, EnvironmentEdges) {
    const struct {
        Environment environment;
        Dirs expected;
    } cases[] = {
        {{}, {"/usr/bin", "/bin", "/usr/local/bin"}},
        {{{"PATH", ""}, {"HOME", ""}}, {"/usr/local/bin"}},
        {{{"PATH", ":::"}}, {"/usr/local/bin"}},
        {{{"KELVO_TOOLS_DIR", ""}, {"PATH", "/a"}}, {"/a", "/usr/local/bin"}},
        {{{"KELVO_TOOLS_DIR", "/t"}, {"PATH", "/a:/t"}}, {"/t", "/a", "/t", "/usr/local/bin"}},
        {{{"PATH", "/a"}, {"HOME", "/h"}},
         {"/h/.local/share/kelvo/tools", "/a", "/h/.local/bin", "/usr/local/bin"}},
        {{{"PATH", ""}, {"HOME", "/h"}, {"XDG_DATA_HOME", "/x"}},
         {"/x/kelvo/tools", "/h/.local/bin", "/usr/local/bin"}},
        {{{"PATH", ""}, {"HOME", "/h"}, {"XDG_DATA_HOME", "x"}},
         {"/h/.local/share/kelvo/tools", "/h/.local/bin", "/usr/local/bin"}},
        {{{"PATH", ""}, {"HOME", "h"}}, {"h/.local/bin", "/usr/local/bin"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolLocator(c.environment, std::nullopt).searchDirs(), c.expected);
    }
}

TEST(ToolLocator, FindsTheFirstExecutableFile) {
    test::Sandbox box;
    makeFile(box / "a/yt-dlp", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(box / "b/yt-dlp");  // a folder
    makeFile(box / "c/yt-dlp");
    makeFile(box / "d/yt-dlp");
    fs::create_directories(box / "e");
    fs::create_symlink(box / "d/yt-dlp", box / "e/ffmpeg");
    fs::create_symlink(box / "missing", box / "e/deno");

    const ToolLocator locator(
        Dirs{box / "none", box / "a", box / "b", box / "c", box / "d", box / "e"});
    EXPECT_EQ(locator.find("yt-dlp"), box / "c/yt-dlp");
    EXPECT_EQ(locator.find("ffmpeg"), box / "e/ffmpeg");
    EXPECT_EQ(locator.find("deno"), std::nullopt);
}

}  // namespace
}  // namespace kelvo
