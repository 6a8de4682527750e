#include "core/library/nfo_writer.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/sandbox.h"

extern char** environ;

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// Runs `xmllint --noout` on a file; its exit status (0: well-formed).
int xmllint(const fs::path& file) {
    const std::string path = file.string();
    std::vector<char*> argv = {const_cast<char*>("xmllint"), const_cast<char*>("--noout"),
                               const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xmllint", nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The document, after checking that xmllint reads it as well-formed XML.
std::string wellFormed(const std::string& doc) {
    const test::Sandbox sandbox;
    const fs::path file = sandbox / "check.nfo";
    test::writeFile(file, doc);
    EXPECT_EQ(xmllint(file), 0) << doc;
    return doc;
}

std::vector<std::string> lines(const std::string& doc) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end = doc.find('\n'); end != std::string::npos;
         start = end + 1, end = doc.find('\n', start)) {
        out.push_back(doc.substr(start, end - start));
    }
    return out;
}

VideoMetadata sample() {
    VideoMetadata meta;
    meta.id = "abcdefghijk";
    meta.title = "Fish & Chips";
    meta.channel = "Kitchen <Live>";
    meta.uploadDate = "20240131";
    meta.duration = 212.5;
    meta.description = "never written";
    meta.tags = {"unused"};
    meta.categories = {"Howto & Style", "Food"};
    meta.chapterTitles = {"never written either"};
    meta.webpageURL = "https://www.youtube.com/watch?v=abcdefghijk";
    return meta;
}

TEST(NFOWriter, WritesTheFullDocument) {
    const std::string doc =
        wellFormed(NFOWriter::xml(sample(), "  A \"quoted\" summary.\n", {"Cooking", "it's"}));
    EXPECT_EQ(doc,
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

TEST(NFOWriter, LeavesOutLinesWithoutValues) {
    VideoMetadata bare;
    bare.id = "";
    bare.title = " \n ";
    bare.channel = "\t";
    const std::string doc = wellFormed(NFOWriter::xml(bare, " \n\n ", {"", "  "}));
    EXPECT_EQ(doc,
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<movie>\n</movie>\n");
    EXPECT_EQ(wellFormed(NFOWriter::xml(bare, std::nullopt, {})), doc);
}

TEST(NFOWriter, DatesOnlyFromEightDigits) {
    struct Case {
        std::optional<std::string> date;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"20240131", {"  <premiered>2024-01-31</premiered>", "  <year>2024</year>"}},
        {"20241399", {"  <premiered>2024-13-99</premiered>", "  <year>2024</year>"}},
        {std::nullopt, {}},
        {"2024-01-31", {}},
        {"2024013a", {}},
    };
    for (const Case& c : cases) {
        VideoMetadata meta;
        meta.uploadDate = c.date;
        const std::vector<std::string> all = lines(wellFormed(NFOWriter::xml(meta, {}, {})));
        const std::vector<std::string> middle(all.begin() + 2, all.end() - 1);
        EXPECT_EQ(middle, c.expected) << c.date.value_or("(none)");
    }
}

TEST(NFOWriter, RoundsRunningTimeToWholeMinutes) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "1"},     {29, "1"},      {89, "1"},       {90, "2"},  {150, "3"},
        {149.9, "2"}, {3599.9, "60"}, {86400, "1440"}, {-30, "1"},
    };
    for (const auto& [seconds, minutes] : cases) {
        VideoMetadata meta;
        meta.duration = seconds;
        EXPECT_EQ(lines(NFOWriter::xml(meta, {}, {})).at(2), "  <runtime>" + minutes + "</runtime>")
            << seconds;
    }
    VideoMetadata none;
    EXPECT_EQ(NFOWriter::xml(none, {}, {}).find("runtime"), std::string::npos);
}

TEST(NFOWriter, ListsGenresAndDistinctTags) {
    VideoMetadata meta;
    meta.categories = {"Music", "", "  ", "Music", " Film "};
    const std::string doc =
        wellFormed(NFOWriter::xml(meta, {},
                                  {"Cooking", "cooking", "COOKING", "", "", " Baking ", "baking",
                                   "\u00c4pfel", "\u00e4PFEL"}));
    const std::vector<std::string> all = lines(doc);
    const std::vector<std::string> middle(all.begin() + 2, all.end() - 1);
    // " Baking " and "baking" differ before trimming, so both are written; "Äpfel" and "äPFEL"
    // are the same word.
    EXPECT_EQ(middle, (std::vector<std::string>{
                          "  <genre>Music</genre>",
                          "  <genre>Music</genre>",
                          "  <genre>Film</genre>",
                          "  <tag>Cooking</tag>",
                          "  <tag>Baking</tag>",
                          "  <tag>baking</tag>",
                          "  <tag>\u00c4pfel</tag>",
                      }));
}

TEST(NFOWriter, EscapesAndCleansValues) {
    struct Case {
        std::string title;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"bell\a here", "bell here"},
        {"two\nlines", "two\nlines"},
        {"crlf\r\nkept\tand tab", "crlf\r\nkept\tand tab"},
        {"a < b && c > d", "a &lt; b &amp;&amp; c &gt; d"},
        {"\"quoted\" 'single'", "&quot;quoted&quot; &apos;single&apos;"},
        {"esc\x1b[0m\x01\x1f", "esc[0m"},
        {"emoji \U0001F600 caf\u00e9", "emoji \U0001F600 caf\u00e9"},
        // What XML cannot carry at all: bytes that are not UTF-8 and the two non-characters.
        {"bad \xff\xfe byte", "bad \uFFFD\uFFFD byte"},
        {"cut \xe6\xbc", "cut \uFFFD\uFFFD"},
        {"non\uFFFE\uFFFFchar", "nonchar"},
    };
    for (const Case& c : cases) {
        VideoMetadata meta;
        meta.title = c.title;
        const std::string doc = wellFormed(NFOWriter::xml(meta, {}, {}));
        EXPECT_EQ(
            doc.substr(doc.find("<title>") + 7, doc.find("</title>") - doc.find("<title>") - 7),
            c.written)
            << c.title;
    }
    VideoMetadata only;
    only.title = "\a";  // trimmed it is not empty, so the line stays, empty
    EXPECT_NE(wellFormed(NFOWriter::xml(only, {}, {})).find("  <title></title>\n"),
              std::string::npos);
}

class NFOWriteTest : public ::testing::Test {
  protected:
    // The names in the folder, so a test can see that no temporary file was left behind.
    std::vector<std::string> names(const fs::path& folder) const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(folder)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    test::Sandbox sandbox;
    VideoMetadata meta = sample();
};

TEST_F(NFOWriteTest, WritesAndReplacesTheFile) {
    const fs::path file = sandbox / "2024-01-31 - Fish & Chips [abcdefghijk].nfo";
    NFOWriter::write(meta, std::nullopt, {"first"}, file);
    EXPECT_EQ(test::readFile(file), NFOWriter::xml(meta, std::nullopt, {"first"}));
    EXPECT_EQ(xmllint(file), 0);

    NFOWriter::write(meta, "Now with a summary.", {"second"}, file);
    EXPECT_EQ(test::readFile(file), NFOWriter::xml(meta, "Now with a summary.", {"second"}));
    EXPECT_EQ(xmllint(file), 0);
    EXPECT_EQ(names(sandbox.root()), std::vector<std::string>{file.filename().string()});
}

TEST_F(NFOWriteTest, MissingFolderThrowsAndLeavesNothing) {
    const fs::path file = sandbox / "missing" / "x.nfo";
    try {
        NFOWriter::write(meta, std::nullopt, {}, file);
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path1(), file);
    }
    EXPECT_TRUE(names(sandbox.root()).empty());
}

TEST_F(NFOWriteTest, TargetThatIsAFolderThrowsAndRemovesTheTemporaryFile) {
    const fs::path file = sandbox / "x.nfo";
    fs::create_directory(file);
    EXPECT_THROW(NFOWriter::write(meta, std::nullopt, {}, file), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(names(sandbox.root()), std::vector<std::string>{"x.nfo"});
}

TEST_F(NFOWriteTest, ReadOnlyFolderKeepsTheEarlierFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    const fs::path folder = sandbox / "locked";
    const fs::path file = folder / "x.nfo";
    fs::create_directory(folder);
    NFOWriter::write(meta, "earlier", {}, file);
    const std::string earlier = test::readFile(file);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(NFOWriter::write(meta, "later", {}, file), fs::filesystem_error);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(test::readFile(file), earlier);
    EXPECT_EQ(names(folder), std::vector<std::string>{"x.nfo"});
}

TEST_F(NFOWriteTest, FailedWriteKeepsTheEarlierFile) {
    // A file-size limit makes the write itself fail half way, for root too.
    const fs::path file = sandbox / "x.nfo";
    NFOWriter::write(meta, "earlier", {}, file);
    const std::string earlier = test::readFile(file);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool threw = false;
    try {
        NFOWriter::write(meta, std::string(4096, 'x'), {}, file);
    } catch (const fs::filesystem_error& error) {
        threw = true;
        EXPECT_EQ(error.code(), std::errc::file_too_large);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(test::readFile(file), earlier);
    EXPECT_EQ(names(sandbox.root()), std::vector<std::string>{"x.nfo"});
}

}  // namespace
}  // namespace kelvo
