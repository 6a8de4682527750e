// The ".nfo" sidecar: the exact document, and its atomic write. That any value at all gives a
// well-formed document the sidecar fuzz target checks on every build.

#include "core/library/nfo_writer.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "tests/support/sandbox.h"
#include "tests/support/xml.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// clang-format off
const VideoMetadata sample{"abcdefghijk", "Fish & Chips", "Kitchen <Live>", "20240131", 212.5,
                           "never written", {"unused"}, {"Howto & Style", "Food"},
                           {"never written either"}, "https://www.youtube.com/watch?v=abcdefghijk"};
// clang-format on

// The document after checking that libxml2 reads it as well-formed XML.
std::string wellFormed(const std::string& document) {
    EXPECT_EQ(test::xmlProblem(document), "") << document;
    return document;
}

TEST(NFOWriter, WritesTheFullDocument) {
    EXPECT_EQ(wellFormed(NFOWriter::xml(sample, "  A \"quoted\" summary.\n", {"Cooking", "it's"})),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<movie>\n"
              "  <title>Fish &amp; Chips</title>\n"
              "  <plot>A &quot;quoted&quot; summary.</plot>\n"
              "  <outline>A &quot;quoted&quot; summary.</outline>\n"
              "  <studio>Kitchen &lt;Live&gt;</studio>\n"
              "  <premiered>2024-01-31</premiered>\n"
              "  <year>2024</year>\n"
              "  <runtime>4</runtime>\n"
              "  <genre>Howto &amp; Style</genre>\n"
              "  <genre>Food</genre>\n"
              "  <tag>Cooking</tag>\n"
              "  <tag>it&apos;s</tag>\n"
              "  <uniqueid type=\"youtube\" default=\"true\">abcdefghijk</uniqueid>\n"
              "</movie>\n");
}

TEST(NFOWriter, WritesOnlyUsableValuesCleanedForXML) {
    struct Case {
        VideoMetadata meta;
        std::optional<std::string> summary;
        std::vector<std::string> tags;
        std::string lines;  // between <movie> and </movie>
    };
    // clang-format off
    const Case cases[] = {
        {{.title = " \n ", .channel = "\t"}, " \n\n ", {"", "  "}, ""},
        {{.uploadDate = "20241399"}, {}, {}, "  <premiered>2024-13-99</premiered>\n  <year>2024</year>\n"},
        {{.uploadDate = "2024-01-31"}, {}, {}, ""},
        // Genres as they come; tags once each whatever their case, judged before trimming.
        {{.categories = {"Music", "", "  ", "Music", " Film "}}, {},
         {"Cooking", "cooking", "COOKING", "", " Baking ", "baking", "\u00c4pfel", "\u00e4PFEL"},
         "  <genre>Music</genre>\n  <genre>Music</genre>\n  <genre>Film</genre>\n  <tag>Cooking</tag>\n"
         "  <tag>Baking</tag>\n  <tag>baking</tag>\n  <tag>\u00c4pfel</tag>\n"},
        // Control characters go but tab, CR and LF; what XML cannot carry at all (bytes that are
        // not UTF-8, U+FFFE and U+FFFF) goes too, the bytes as U+FFFD.
        {{.title = "bell\a two\nlines\r\n\tand\x1b[0m\x01\x1f"}, {}, {}, "  <title>bell two\nlines\r\n\tand[0m</title>\n"},
        {{.title = "bad \xff\xfe byte, cut \xe6\xbc"}, {}, {}, "  <title>bad \uFFFD\uFFFD byte, cut \uFFFD\uFFFD</title>\n"},
        {{.title = "non\uFFFE\uFFFFchar \U0001F600 caf\u00e9"}, {}, {}, "  <title>nonchar \U0001F600 caf\u00e9</title>\n"},
        {{.title = "\a"}, {}, {}, "  <title></title>\n"},  // not blank before the cleaning
        // Whole minutes, halves away from zero, at least one.
        {{.duration = 89}, {}, {}, "  <runtime>1</runtime>\n"}, {{.duration = 90}, {}, {}, "  <runtime>2</runtime>\n"},
        {{.duration = 0}, {}, {}, "  <runtime>1</runtime>\n"}, {{.duration = -30}, {}, {}, "  <runtime>1</runtime>\n"},
        {{.duration = 86400}, {}, {}, "  <runtime>1440</runtime>\n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(wellFormed(NFOWriter::xml(c.meta, c.summary, c.tags)),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<movie>\n" +
                      c.lines + "</movie>\n");
    }
}

// Every file and folder under `root` with its content: what a failed write must leave alone.
std::map<fs::path, std::string> contents(const fs::path& root) {
    std::map<fs::path, std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        out[entry.path()] = test::readFile(entry.path());
    }
    return out;
}

TEST(NFOWriter, WritesAtomicallyOrLeavesTheFolderAsItWas) {
    const test::Sandbox sandbox;
    const fs::path file = sandbox / "2024-01-31 - Fish & Chips [abcdefghijk].nfo";
    for (const char* summary : {"first", "second"}) {
        NFOWriter::write(sample, summary, {}, file);
        EXPECT_EQ(test::readFile(file), NFOWriter::xml(sample, summary, {}));
        EXPECT_EQ(contents(sandbox.root()).size(), 1u);  // no temporary file left
    }
    fs::create_directory(sandbox / "folder.nfo");
    fs::create_directory(sandbox / "locked");
    NFOWriter::write(sample, "earlier", {}, sandbox / "locked" / "x.nfo");
    fs::permissions(sandbox / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = contents(sandbox.root());
    // A file-size limit makes the write itself fail half way; SIGXFSZ is ignored meanwhile.
    const std::tuple<fs::path, std::errc, rlim_t> cases[] = {
        {sandbox / "missing" / "x.nfo", std::errc::no_such_file_or_directory, RLIM_INFINITY},
        {sandbox / "folder.nfo", std::errc::is_a_directory, RLIM_INFINITY},
        {sandbox / "locked" / "x.nfo", std::errc::permission_denied, RLIM_INFINITY},
        {file, std::errc::file_too_large, 64},
    };
    for (const auto& [to, error, fileSizeLimit] : cases) {
        SCOPED_TRACE(to);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit{std::min(fileSizeLimit, saved.rlim_cur), saved.rlim_max};
        const auto handler = ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::optional<fs::filesystem_error> failure;
        std::thread([&] {
            // Root writes into read-only folders; this thread gives that power up.
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            ::syscall(SYS_capget, &header, data);
            data[0].effective &= ~(1U << CAP_DAC_OVERRIDE);
            ::syscall(SYS_capset, &header, data);
            try {
                NFOWriter::write(sample, std::string(4096, 'x'), {}, to);
            } catch (const fs::filesystem_error& thrown) {
                failure = thrown;
            }
        }).join();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, handler);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), error);
        EXPECT_EQ(failure->path1(), to);
        EXPECT_EQ(contents(sandbox.root()), before);
    }
}

}  // namespace
}  // namespace kelvo
