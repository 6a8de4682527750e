#include "core/engine/ytdlp_engine.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "core/engine/downloaded_bytes.h"
#include "core/engine/engine_error.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FakeBehaviour;
using test::FakeService;
using Clock = std::chrono::steady_clock;

const std::string link = "https://www.youtube.com/watch?v=abcdefghijk";
const std::regex captureName("kelvo-[0-9a-f-]{36}\\.(out|err)");

// Capture files of yt-dlp runs left in the temporary folder (this test program's own).
long leftoverCaptures() {
    return std::count_if(fs::directory_iterator(fs::temp_directory_path()), {}, [](auto& entry) {
        return std::regex_match(entry.path().filename().string(), captureName);
    });
}

// The description of the EngineError that `call` throws, or "no error".
template <typename Call>
std::string failure(Call&& call) {
    try {
        call();
    } catch (const EngineError& error) {
        return error.description();
    }
    return "no error";
}

// True once the process has ended: gone, or a zombie waiting for a reaper that is not us.
bool processGone(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) {
        return pid > 0 && errno == ESRCH;
    }
    const std::string stat = test::readFile("/proc/" + std::to_string(pid) + "/stat");
    return stat.find(") Z ") != std::string::npos;
}

pid_t pidIn(const fs::path& file) {
    return std::atoi(test::readFile(file).c_str());
}

// A yt-dlp running `script` under sh; deno and ffmpeg are stubs in folders of their own, so the
// child's PATH shows their order.
ToolLocator scriptTools(const test::Sandbox& box, const std::string& script) {
    for (const auto& [path, text] : {std::pair{box / "yt/yt-dlp", script},
                                     {box / "deno/deno", ""},
                                     {box / "ffmpeg/ffmpeg", ""}}) {
        test::writeFile(path, "#!/bin/sh\n" + text);
        fs::permissions(path, fs::perms::owner_all);
    }
    return ToolLocator(std::vector<fs::path>{box / "yt", box / "deno", box / "ffmpeg"});
}

TEST(YTDLPEngineRun, PassesArgumentsAndPathAndCapturesThroughPrivateFiles) {
    test::Sandbox box;
    const YTDLPEngine engine(scriptTools(box, R"SH(printf '<%s>' "$@"
echo "|$PATH"
stat -L -c %a /proc/$$/fd/1 /proc/$$/fd/2
printf '%s\n' "$(readlink /proc/$$/fd/1)" "$(readlink /proc/$$/fd/2)" >> "$0.captures"
printf 'to stderr' >&2)SH"),
                             1);
    const std::vector<std::string> arguments = {"a b", "$HOME", "*", "", "--x=\"q\""};
    const RunOutput output = engine.run(arguments);
    EXPECT_EQ(output.out, "<a b><$HOME><*><><--x=\"q\">|" + (box / "deno").string() + ":" +
                              (box / "ffmpeg").string() + ":" + std::getenv("PATH") +
                              "\n600\n600\n");
    EXPECT_EQ(output.err, "to stderr");
    engine.run(arguments);
    std::istringstream captures(test::readFile(box / "yt/yt-dlp.captures"));
    std::set<std::string> names;
    for (std::string line; std::getline(captures, line); names.insert(line)) {
        EXPECT_EQ(fs::path(line).parent_path(), fs::temp_directory_path());
        EXPECT_TRUE(std::regex_match(fs::path(line).filename().string(), captureName)) << line;
        EXPECT_FALSE(fs::exists(line));
    }
    EXPECT_EQ(names.size(), 4U);  // fresh names for every run
}

// A failed run is classified by its error text (not UTF-8: dropped); none is retried here.
TEST(YTDLPEngineRun, FailuresAreClassifiedAndLeaveNoFiles) {
    const std::pair<std::string, std::string> cases[] = {
        {"echo 'ERROR: Sign in to confirm your age' >&2; exit 1",
         "needs sign-in: ERROR: Sign in to confirm your age"},
        {"printf 'ERROR: one\\nERROR: two\\ntrailer\\n' >&2; exit 3", "ERROR: two"},
        {"printf 'ERROR: caf\\351\\n' >&2; exit 1", "yt-dlp failed"},
        {"echo fine; exit 1", "yt-dlp failed"},
        {"kill -9 $$", "yt-dlp failed"},
    };
    for (const auto& [script, expected] : cases) {
        test::Sandbox box;
        YTDLPEngine engine(scriptTools(box, script), 3);
        engine.setSleeper([](auto, auto) { ADD_FAILURE() << "retried"; });
        EXPECT_EQ(failure([&] { engine.runWithRetries({}); }), expected) << script;
        EXPECT_EQ(leftoverCaptures(), 0);
    }
    test::Sandbox box;
    YTDLPEngine engine(scriptTools(box, ""), 3);
    engine.setSleeper([](auto, auto) { ADD_FAILURE() << "retried"; });
    test::writeFile(box / "yt/yt-dlp", "#!/nonexistent/interpreter\n");
    EXPECT_THROW(engine.runWithRetries({}), std::system_error);
    EXPECT_EQ(leftoverCaptures(), 0);
}

TEST(YTDLPEngine, MissingToolsAreNamedInOrder) {
    test::Sandbox box;
    scriptTools(box, "");
    const std::pair<std::vector<fs::path>, std::string> cases[] = {
        {{}, "yt-dlp"},
        {{box / "deno", box / "ffmpeg"}, "yt-dlp"},
        {{box / "yt", box / "ffmpeg"}, "deno"},
        {{box / "yt", box / "deno"}, "ffmpeg"},
    };
    for (const auto& [dirs, missing] : cases) {
        EXPECT_EQ(failure([&] { YTDLPEngine(ToolLocator(dirs), 3); }),
                  EngineError::toolMissing(missing).description());
    }
}

class YTDLPEngineFake : public ::testing::Test {
  protected:
    test::Sandbox box;
    FakeService service{box / "service"};
    std::vector<std::chrono::milliseconds> pauses;

    YTDLPEngine engine(int attempts = 3) {
        YTDLPEngine result(service.locator(), attempts);
        result.setSleeper([this](auto pause, std::stop_token) { pauses.push_back(pause); });
        return result;
    }
};

TEST_F(YTDLPEngineFake, MetadataIsDecodedOrRefused) {
    service.addVideo({.id = "abcdefghijk", .title = "A title", .info = {{"uploader", "Someone"}}});
    service.addVideo({.id = "garbagegarb", .behaviour = FakeBehaviour::garbage});
    const VideoMetadata meta = engine().metadata(link);
    EXPECT_EQ(meta.id, "abcdefghijk");
    EXPECT_EQ(meta.title, "A title");
    EXPECT_EQ(meta.channel, "Someone");
    EXPECT_TRUE(failure([&] {
                    engine().metadata("garbagegarb");
                }).starts_with("could not read yt-dlp metadata: "));
}

// Only transient failures run again, up to `attempts` runs, after pauses of 2 s x the attempt.
TEST_F(YTDLPEngineFake, RetriesTransientFailuresWithGrowingPauses) {
    const struct {
        FakeBehaviour behaviour;
        int failures;
        int attempts;
        std::size_t runs;
        std::vector<std::chrono::milliseconds> pauses;
        bool succeeds;
    } cases[] = {
        {FakeBehaviour::forbidden, 2, 3, 3, {2s, 4s}, true},
        {FakeBehaviour::forbidden, 5, 3, 3, {2s, 4s}, false},
        {FakeBehaviour::forbidden, 5, 4, 4, {2s, 4s, 6s}, false},
        {FakeBehaviour::forbidden, 1, 1, 1, {}, false},
        {FakeBehaviour::unsupported, 0, 3, 1, {}, false},
        {FakeBehaviour::signIn, 0, 3, 1, {}, false},
    };
    for (const auto& c : cases) {
        const std::string id = "video" + std::to_string(&c - cases);
        service.addVideo({.id = id, .behaviour = c.behaviour, .failures = c.failures});
        service.clearCalls();
        pauses.clear();
        EXPECT_EQ(failure([&] { engine(c.attempts).metadata(id); }) == "no error", c.succeeds)
            << id;
        EXPECT_EQ(service.calls().size(), c.runs) << id;
        EXPECT_EQ(pauses, c.pauses) << id;
    }
    EXPECT_EQ(leftoverCaptures(), 0);
}

TEST_F(YTDLPEngineFake, RefusesLinksThatLookLikeOptions) {
    YTDLPEngine e = engine();
    for (const std::string bad : {"-o", "--exec=touch /tmp/x", "-"}) {
        EXPECT_EQ(failure([&] { e.metadata(bad); }), "not a link: " + bad);
        EXPECT_EQ(failure([&] { e.download(bad, box / "never", "base"); }), "not a link: " + bad);
    }
    EXPECT_TRUE(service.calls().empty());
    EXPECT_FALSE(fs::exists(box / "never"));
}

TEST_F(YTDLPEngineFake, DownloadsIntoAFolderItMakes) {
    service.addVideo({.id = "abcdefghijk"});
    service.addVideo({.id = "nofilenofil", .behaviour = FakeBehaviour::noFile});
    YTDLPEngine e = engine();
    const fs::path folder = box / "library/Playlist/Mix";
    EXPECT_EQ(e.download(link, folder, "Base"), folder / "Base.mp4");
    EXPECT_EQ(fs::file_size(folder / "Base.mp4"), fs::file_size(FakeService::sampleVideo()));

    EXPECT_EQ(failure([&] { e.download("nofilenofil", folder, "Other"); }),
              "yt-dlp reported success but Other.mp4 is missing");
    EXPECT_TRUE(fs::exists(folder / "Other.webm"));  // left for yt-dlp

    service.clearCalls();
    test::writeFile(box / "file", "x");
    EXPECT_THROW(e.download(link, box / "file/sub", "Base"), fs::filesystem_error);
    EXPECT_TRUE(service.calls().empty());
}

// The extras reach the stand-in, which writes what yt-dlp would; a language the video lacks is
// skipped without an error, and automatic captions count only when asked for.
TEST_F(YTDLPEngineFake, ExtrasAreWrittenBesideTheVideo) {
    const nlohmann::json track = nlohmann::json::array({{{"ext", "vtt"}, {"url", "x"}}});
    service.addVideo(
        {.id = "abcdefghijk",
         .info = {{"subtitles", {{"en", track}}}, {"automatic_captions", {{"de", track}}}}});
    DownloadOptions none, thumbnail, subtitles, captions, sponsor;
    thumbnail.thumbnails = true;
    subtitles.subtitleLanguages = {"en", "de", "fr"};
    captions = subtitles;
    captions.automaticCaptions = true;
    sponsor.sponsorChapters = true;
    const struct {
        DownloadOptions options;
        std::set<std::string> files;
        bool chapters;
    } cases[] = {
        {none, {"B.mp4"}, false},
        {thumbnail, {"B.mp4", "B-poster.jpg"}, false},
        {subtitles, {"B.mp4", "B.en.srt"}, false},
        {captions, {"B.mp4", "B.en.srt", "B.de.srt"}, false},
        {sponsor, {"B.mp4"}, true},
    };
    for (const auto& c : cases) {
        const fs::path folder = box / ("lib" + std::to_string(&c - cases));
        YTDLPEngine e = engine();
        e.setOptions(c.options);
        e.download(link, folder, "B");
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(folder)) {
            files.insert(entry.path().filename().string());
        }
        EXPECT_EQ(files, c.files) << (&c - cases);
        EXPECT_EQ(test::readFile(service.servicePath().parent_path() / "chapters.jsonl")
                          .find((folder / "B.mp4").string()) != std::string::npos,
                  c.chapters);
    }
}

// Each yt-dlp script writes its pid to "$1.pid" once it runs.
TEST(YTDLPEngineStop, EndsTheChildAndItsGroupOrThePauseAtOnce) {
    enum class Stop { whileRunning, inThePause, beforeTheRun };
    const struct {
        std::string script;
        Stop stop;
        std::vector<std::string> gone;  // files naming processes that must have ended
    } cases[] = {
        // TERM reaches the child's group: the sleep it started ends too.
        {"sleep 30 & echo $! > \"$1.child\"\necho $$ > \"$1.pid\"\nwait",
         Stop::whileRunning,
         {".pid", ".child"}},
        // A child ignoring TERM (it writes ".term") gets KILL after the grace.
        {"trap 'echo $$ > \"$1.term\"' TERM\necho $$ > \"$1.pid\"\nwhile :; do sleep 0.05; done",
         Stop::whileRunning,
         {".pid", ".term"}},
        {"echo $$ > \"$1.pid\"\necho 'ERROR: HTTP Error 403' >&2\nexit 1", Stop::inThePause, {}},
        {"", Stop::beforeTheRun, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        test::Sandbox box;
        const std::string base = (box / "run").string();
        std::stop_source stop;
        YTDLPEngine engine(scriptTools(box, c.script), 3, stop.get_token());  // the real pause
        engine.setKillGrace(300ms);
        std::atomic<Clock::time_point> stopped = Clock::now();
        std::jthread stopper;
        if (c.stop == Stop::beforeTheRun) {
            fs::remove(box / "yt/yt-dlp");  // a run would fail to start instead
            stop.request_stop();
        } else {
            stopper = std::jthread([&] {
                test::waitUntil([&] {
                    const pid_t pid = pidIn(base + ".pid");
                    return pid > 0 && (c.stop == Stop::whileRunning || processGone(pid));
                });
                stopped = Clock::now();
                stop.request_stop();
            });
        }
        EXPECT_EQ(failure([&] { engine.runWithRetries({base}); }), "stopped");
        EXPECT_LT(Clock::now() - stopped.load(), 1500ms);  // the first pause lasts 2 s
        for (const std::string& file : c.gone) {
            EXPECT_TRUE(test::waitUntil([&] { return processGone(pidIn(base + file)); })) << file;
        }
        EXPECT_EQ(leftoverCaptures(), 0);
    }
}

TEST_F(YTDLPEngineFake, AStoppedDownloadKeepsItsPartialFile) {
    service.addVideo({.id = "abcdefghijk", .phase = test::FakePhase::download, .sleepSeconds = 30});
    std::stop_source stop;
    YTDLPEngine e(service.locator(), 3, stop.get_token());
    const fs::path folder = box / "out";
    test::writeFile(folder / "Other.mp4", "not counted");
    const auto sample = fs::file_size(FakeService::sampleVideo());
    std::jthread stopper([&] {
        test::waitUntil([&] { return downloadedBytes(folder, "Base") == sample; });
        stop.request_stop();
    });
    EXPECT_EQ(failure([&] { e.download(link, folder, "Base"); }), "stopped");
    EXPECT_TRUE(fs::exists(folder / "Base.f137.mp4.part"));
    EXPECT_EQ(downloadedBytes(folder, "Base"), sample);
    EXPECT_EQ(downloadedBytes(box / "missing", "Base"), 0U);
}

}  // namespace
}  // namespace kelvo
