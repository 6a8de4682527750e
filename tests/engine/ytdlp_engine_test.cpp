#include "core/engine/ytdlp_engine.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <thread>

#include "core/engine/downloaded_bytes.h"
#include "core/engine/engine_error.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FakeBehaviour;
using test::FakePhase;
using test::FakeService;
using test::FakeVideo;
using Args = std::vector<std::string>;

const std::string videoID = "abcdefghijk";
const std::string link = "https://www.youtube.com/watch?v=abcdefghijk";

// Capture files of yt-dlp runs still lying in the temporary folder.
std::vector<fs::path> leftoverCaptures() {
    std::vector<fs::path> found;
    const std::regex pattern("kelvo-[0-9a-f-]{36}\\.(out|err)SH");
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        if (std::regex_match(entry.path().filename().string(), pattern)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// Records the pauses instead of waiting.
struct RecordingSleeper {
    std::shared_ptr<std::vector<std::chrono::milliseconds>> pauses =
        std::make_shared<std::vector<std::chrono::milliseconds>>();
    YTDLPEngine::Sleeper sleeper() const {
        return
            [list = pauses](std::chrono::milliseconds d, std::stop_token) { list->push_back(d); };
    }
};

template <typename Call>
EngineError engineErrorOf(Call&& call) {
    try {
        call();
    } catch (const EngineError& error) {
        return error;
    }
    ADD_FAILURE() << "no EngineError thrown";
    return EngineError::failed("<none>");
}

bool processGoneNow(pid_t pid) {
    if (::kill(pid, 0) != 0) {
        return errno == ESRCH;
    }
    // A zombie waiting for a reaper that is not us no longer runs.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

// A signalled process takes a moment to exit; allow it two seconds.
bool processGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (processGoneNow(pid)) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

pid_t waitForPidFile(const fs::path& path) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(path);
        pid_t pid = 0;
        if (in >> pid && pid > 0) {
            return pid;
        }
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

// A tools folder whose yt-dlp is the given shell script; deno and ffmpeg in folders of their
// own so the child's PATH order shows.
struct ScriptTools {
    test::Sandbox box;
    explicit ScriptTools(const std::string& script) {
        FakeService::makeToolsDir(box / "deno");
        FakeService::makeToolsDir(box / "ffmpeg");
        fs::remove(box / "deno/ffmpeg");
        fs::remove(box / "ffmpeg/deno");
        fs::create_directories(box / "yt");
        test::writeFile(box / "yt/yt-dlp", "#!/bin/sh\n" + script);
        fs::permissions(box / "yt/yt-dlp", fs::perms::owner_all, fs::perm_options::replace);
    }
    ToolLocator locator() const {
        return ToolLocator(std::vector<fs::path>{box / "yt", box / "deno", box / "ffmpeg"});
    }
};

TEST(YTDLPEngineRun, PassesArgumentsUnchangedAndCapturesOutput) {
    ScriptTools tools(R"SH(for a in "$@"; do printf '<%s>\n' "$a"; done
echo "PATH=$PATH"
printf 'to stderr' >&2
)SH");
    const YTDLPEngine engine(tools.locator(), 1);
    const RunOutput output = engine.run({"a b", "$HOME", "*", "", "--x=\"q\""});
    const std::string path = std::getenv("PATH");
    EXPECT_EQ(output.out,
              "<a b>\n<$HOME>\n<*>\n<>\n<--x=\"q\">\nPATH=" + (tools.box / "deno").string() + ":" +
                  (tools.box / "ffmpeg").string() + ":" + path + "\n");
    EXPECT_EQ(output.err, "to stderr");
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST(YTDLPEngineRun, CapturesIntoPrivateUniqueFiles) {
    ScriptTools tools(R"SH(for fd in 1 2; do
  echo "$(stat -L -c %a /proc/$$/fd/$fd) $(readlink /proc/$$/fd/$fd)"
done
)SH");
    const YTDLPEngine engine(tools.locator(), 1);
    const std::string out = engine.run({}).out;
    const std::regex line("600 " + fs::temp_directory_path().string() +
                          "/kelvo-[0-9a-f-]{36}\\.out\n600 " + fs::temp_directory_path().string() +
                          "/kelvo-[0-9a-f-]{36}\\.err\n");
    EXPECT_TRUE(std::regex_match(out, line)) << out;
    EXPECT_NE(engine.run({}).out, out);  // fresh names for every run
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST(YTDLPEngineRun, FailuresAreClassifiedAndLeaveNoFiles) {
    const struct {
        std::string script;
        EngineError expected;
    } cases[] = {
        {"echo 'ERROR: Sign in to confirm your age' >&2; exit 1",
         EngineError::needsSignIn("ERROR: Sign in to confirm your age")},
        {"printf 'ERROR: one\\nERROR: two\\ntrailer\\n' >&2; exit 3",
         EngineError::failed("ERROR: two")},
        {"printf 'ERROR: caf\\351\\n' >&2; exit 1", EngineError::failed("yt-dlp failed")},
        {"echo fine; exit 1", EngineError::failed("yt-dlp failed")},
        {"kill -9 $$", EngineError::failed("yt-dlp failed")},
    };
    for (const auto& c : cases) {
        ScriptTools tools(c.script);
        const YTDLPEngine engine(tools.locator(), 3);
        EXPECT_EQ(engineErrorOf([&] { engine.run({}); }), c.expected) << c.script;
        EXPECT_TRUE(leftoverCaptures().empty()) << c.script;
    }
}

TEST(YTDLPEngineRun, LaunchFailureIsTheSystemErrorAndNotRetried) {
    test::Sandbox box;
    FakeService::makeToolsDir(box.root());
    fs::remove(box / "yt-dlp");
    test::writeFile(box / "yt-dlp", "#!/nonexistent/interpreter\n");
    fs::permissions(box / "yt-dlp", fs::perms::owner_all, fs::perm_options::replace);
    YTDLPEngine engine(ToolLocator(std::vector<fs::path>{box.root()}), 3);
    RecordingSleeper sleeper;
    engine.setSleeper(sleeper.sleeper());
    EXPECT_THROW(engine.runWithRetries({"-J"}), std::system_error);
    EXPECT_TRUE(sleeper.pauses->empty());
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST(YTDLPEngine, MissingToolsAreNamedInOrder) {
    test::Sandbox box;
    FakeService::makeToolsDir(box / "all");
    for (const char* tool : {"yt-dlp", "deno", "ffmpeg"}) {
        fs::create_directories(box / tool);
        fs::create_symlink(box / "all" / tool, box / tool / tool);
    }
    const struct {
        std::vector<fs::path> dirs;
        std::string missing;
    } cases[] = {
        {{}, "yt-dlp"},
        {{box / "deno", box / "ffmpeg"}, "yt-dlp"},
        {{box / "yt-dlp", box / "ffmpeg"}, "deno"},
        {{box / "yt-dlp", box / "deno"}, "ffmpeg"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engineErrorOf([&] { YTDLPEngine(ToolLocator(c.dirs), 3); }),
                  EngineError::toolMissing(c.missing));
    }
    const YTDLPEngine engine(ToolLocator({box / "yt-dlp", box / "deno", box / "ffmpeg"}), 3);
    EXPECT_EQ(engine.toolPaths(),
              (std::map<std::string, std::string>{{"yt-dlp", (box / "yt-dlp/yt-dlp").string()},
                                                  {"deno", (box / "deno/deno").string()},
                                                  {"ffmpeg", (box / "ffmpeg/ffmpeg").string()}}));
    EXPECT_EQ(engine.attempts(), 3);
}

class YTDLPEngineFake : public ::testing::Test {
  protected:
    test::Sandbox box;
    FakeService service{box / "service"};

    YTDLPEngine engine(int attempts = 3) {
        YTDLPEngine result(service.locator(), attempts);
        result.setSleeper(sleeper.sleeper());
        return result;
    }
    RecordingSleeper sleeper;
};

TEST_F(YTDLPEngineFake, ReadsMetadataWithTheExactArguments) {
    service.addVideo({.id = videoID,
                      .title = "A title",
                      .info = {{"uploader", "Someone"}, {"duration", 61.5}, {"tags", {"x"}}}});
    const VideoMetadata meta = engine().metadata(link);
    EXPECT_EQ(meta.id, videoID);
    EXPECT_EQ(meta.title, "A title");
    EXPECT_EQ(meta.channel, "Someone");
    EXPECT_EQ(meta.record().durationSec, 62);
    const std::vector<Args> expected = {{"-J", "--no-playlist", "--no-warnings", link}};
    EXPECT_EQ(service.calls(), expected);
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST_F(YTDLPEngineFake, UnreadableMetadataFails) {
    service.addVideo({.id = videoID, .behaviour = FakeBehaviour::garbage});
    service.addVideo({.id = "noidnoidnoi", .info = {{"id", nullptr}}});
    for (const std::string& id : {videoID, std::string("noidnoidnoi")}) {
        const EngineError error = engineErrorOf([&] { engine().metadata(id); });
        EXPECT_EQ(error.kind(), EngineError::Kind::failed);
        EXPECT_TRUE(error.payload().starts_with("could not read yt-dlp metadata: "))
            << error.what();
    }
}

TEST_F(YTDLPEngineFake, RetriesTransientFailuresWithGrowingPauses) {
    const struct {
        FakeBehaviour behaviour;
        int failures;
        int attempts;
        int runs;
        std::vector<std::chrono::milliseconds> pauses;
        std::optional<EngineError::Kind> error;
    } cases[] = {
        {FakeBehaviour::forbidden, 2, 3, 3, {2s, 4s}, std::nullopt},
        {FakeBehaviour::forbidden, 1, 3, 2, {2s}, std::nullopt},
        {FakeBehaviour::forbidden, 5, 3, 3, {2s, 4s}, EngineError::Kind::failed},
        {FakeBehaviour::forbidden, 5, 4, 4, {2s, 4s, 6s}, EngineError::Kind::failed},
        {FakeBehaviour::forbidden, 1, 1, 1, {}, EngineError::Kind::failed},
        {FakeBehaviour::unsupported, 0, 3, 1, {}, EngineError::Kind::failed},
        {FakeBehaviour::signIn, 0, 3, 1, {}, EngineError::Kind::needsSignIn},
    };
    int round = 0;
    for (const auto& c : cases) {
        const std::string id = "video" + std::to_string(round++);
        service.addVideo({.id = id, .behaviour = c.behaviour, .failures = c.failures});
        service.clearCalls();
        sleeper.pauses->clear();
        std::optional<EngineError::Kind> error;
        try {
            engine(c.attempts).metadata(id);
        } catch (const EngineError& e) {
            error = e.kind();
            if (c.behaviour == FakeBehaviour::forbidden) {
                EXPECT_EQ(e.payload(),
                          "ERROR: unable to download video data: HTTP Error 403: Forbidden");
            }
        }
        EXPECT_EQ(error, c.error) << id;
        EXPECT_EQ(static_cast<int>(service.calls().size()), c.runs) << id;
        EXPECT_EQ(*sleeper.pauses, c.pauses) << id;
    }
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST_F(YTDLPEngineFake, TheRealPauseWaitsTwoSeconds) {
    service.addVideo({.id = videoID, .behaviour = FakeBehaviour::forbidden, .failures = 1});
    const YTDLPEngine real(service.locator(), 2);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(real.runWithRetries({"-J", "--no-playlist", "--no-warnings", videoID}).err, "");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(service.calls().size(), 2U);
}

TEST_F(YTDLPEngineFake, RefusesLinksThatLookLikeOptions) {
    YTDLPEngine e = engine();
    for (const std::string bad : {"-o", "--exec=touch /tmp/x", "-"}) {
        EXPECT_EQ(engineErrorOf([&] { e.metadata(bad); }),
                  EngineError::failed("not a link: " + bad));
        EXPECT_EQ(engineErrorOf([&] { e.download(bad, box / "never", "base"); }),
                  EngineError::failed("not a link: " + bad));
    }
    EXPECT_TRUE(service.calls().empty());
    EXPECT_FALSE(fs::exists(box / "never"));
}

TEST_F(YTDLPEngineFake, DownloadsWithTheSixteenArguments) {
    service.addVideo({.id = videoID});
    YTDLPEngine e = engine();
    const fs::path folder = box / "library/Playlist/Mix";  // created with its parents
    const std::string base = "2024-01-31 - A title [abcdefghijk]";
    const fs::path file = e.download(link, folder, base);
    EXPECT_EQ(file, folder / (base + ".mp4"));
    EXPECT_EQ(fs::file_size(file), fs::file_size(FakeService::sampleVideo()));
    const Args expected = {"--no-playlist",
                           "--no-progress",
                           "--no-warnings",
                           "-f",
                           "bv*[vcodec^=avc1][height<=1080]+ba[ext=m4a]",
                           "--merge-output-format",
                           "mp4",
                           "--ffmpeg-location",
                           (service.toolsDir() / "ffmpeg").string(),
                           "--retries",
                           "10",
                           "--fragment-retries",
                           "10",
                           "-o",
                           folder.string() + "/" + base + ".%(ext)s",
                           link};
    EXPECT_EQ(service.calls(), std::vector<Args>(1, expected));
    EXPECT_EQ(e.downloadArguments(link, folder, base), expected);
}

TEST_F(YTDLPEngineFake, NamesWithPercentAndDollarComeOutAsGiven) {
    service.addVideo({.id = videoID});
    ::setenv("KELVO_SECRET", "expanded", 1);
    const std::string names[] = {
        "100% sure [abcdefghijk]", "50%% off %(title)s %d", "$HOME and ${HOME}",
        "$$KELVO_SECRET pay $5 $", "$KELVO_SECRET%(ext)s",  "price: 5$ or %",
    };
    for (const std::string& base : names) {
        const fs::path folder = box / "out $KELVO_SECRET 100%";
        EXPECT_EQ(engine().download(link, folder, base), folder / (base + ".mp4"));
        EXPECT_TRUE(fs::exists(folder / (base + ".mp4"))) << base;
    }
    ::unsetenv("KELVO_SECRET");
}

TEST(YTDLPEngineTemplate, EscapesOnlyPercentAndDollar) {
    const struct {
        std::string base;
        std::string expected;
    } cases[] = {
        {"plain [id]", "/lib/plain [id].%(ext)s"},
        {"100%", "/lib/100%%.%(ext)s"},
        {"%(title)s", "/lib/%%(title)s.%(ext)s"},
        {"$HOME", "/lib/$%(kelvo|)sHOME.%(ext)s"},
        {"a$$b", "/lib/a$%(kelvo|)s$%(kelvo|)sb.%(ext)s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(YTDLPEngine::outputTemplate("/lib", c.base), c.expected);
    }
}

TEST_F(YTDLPEngineFake, SuccessWithoutTheFileFails) {
    service.addVideo({.id = videoID, .behaviour = FakeBehaviour::noFile});
    const EngineError error = engineErrorOf([&] { engine().download(link, box / "out", "Base"); });
    EXPECT_EQ(error, EngineError::failed("yt-dlp reported success but Base.mp4 is missing"));
    EXPECT_TRUE(fs::exists(box / "out/Base.webm"));  // left for yt-dlp, not removed
}

TEST_F(YTDLPEngineFake, AFolderThatCannotBeMadeIsAFileSystemError) {
    service.addVideo({.id = videoID});
    test::writeFile(box / "file", "x");
    EXPECT_THROW(engine().download(link, box / "file/sub", "Base"), fs::filesystem_error);
    EXPECT_TRUE(service.calls().empty());
}

// Stopping.

TEST(YTDLPEngineStop, TerminatesTheChildAndItsGroup) {
    ScriptTools tools(R"SH(sleep 30 &
echo $! > "$1.grandchild"
echo $$ > "$1"
wait
)SH");
    const fs::path pidFile = tools.box / "pid";
    std::stop_source stop;
    YTDLPEngine engine(tools.locator(), 3, stop.get_token());
    std::jthread stopper([&] {
        waitForPidFile(pidFile);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(engineErrorOf([&] { engine.runWithRetries({pidFile.string()}); }).isStopped());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_TRUE(processGone(waitForPidFile(pidFile)));
    EXPECT_TRUE(processGone(waitForPidFile(pidFile.string() + ".grandchild")));
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST(YTDLPEngineStop, KillsAChildThatIgnoresTerm) {
    ScriptTools tools(R"SH(trap '' TERM
echo $$ > "$1"
while :; do sleep 0.05; done
)SH");
    const fs::path pidFile = tools.box / "pid";
    std::stop_source stop;
    YTDLPEngine engine(tools.locator(), 3, stop.get_token());
    engine.setKillGrace(300ms);
    std::jthread stopper([&] {
        waitForPidFile(pidFile);
        stop.request_stop();
    });
    EXPECT_TRUE(engineErrorOf([&] { engine.run({pidFile.string()}); }).isStopped());
    EXPECT_TRUE(processGone(waitForPidFile(pidFile)));
    EXPECT_TRUE(leftoverCaptures().empty());
}

TEST_F(YTDLPEngineFake, AStopDuringARetryPauseEndsItAtOnce) {
    service.addVideo({.id = videoID, .behaviour = FakeBehaviour::forbidden, .failures = 5});
    std::stop_source stop;
    YTDLPEngine real(service.locator(), 3, stop.get_token());  // the real, interruptible pause
    std::atomic<std::chrono::steady_clock::time_point> stopped{};
    std::jthread stopper([&] {
        while (service.calls().empty()) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(300ms);
        stopped = std::chrono::steady_clock::now();
        stop.request_stop();
    });
    EXPECT_TRUE(engineErrorOf([&] { real.metadata(link); }).isStopped());
    // The first pause lasts 2 s; the stop ends it well before.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped.load(), 1500ms);
    EXPECT_EQ(service.calls().size(), 1U);
}

TEST_F(YTDLPEngineFake, NothingRunsOnceStopped) {
    service.addVideo({.id = videoID});
    std::stop_source stop;
    stop.request_stop();
    YTDLPEngine stopped(service.locator(), 3, stop.get_token());
    EXPECT_TRUE(engineErrorOf([&] { stopped.metadata(link); }).isStopped());
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(YTDLPEngineFake, AStoppedDownloadKeepsItsPartialFile) {
    service.addVideo({.id = videoID, .phase = FakePhase::download, .sleepSeconds = 30});
    std::stop_source stop;
    YTDLPEngine e(service.locator(), 3, stop.get_token());
    const fs::path folder = box / "out";
    std::jthread stopper([&] {
        while (downloadedBytes(folder, "Base") == 0) {
            std::this_thread::sleep_for(10ms);
        }
        stop.request_stop();
    });
    EXPECT_TRUE(engineErrorOf([&] { e.download(link, folder, "Base"); }).isStopped());
    EXPECT_TRUE(fs::exists(folder / "Base.f137.mp4.part"));
    EXPECT_FALSE(fs::exists(folder / "Base.mp4"));
}

TEST(DownloadedBytes, SumsTheFilesOfOneBaseName) {
    test::Sandbox box;
    test::writeFile(box / "Base.f137.mp4.part", std::string(1000, 'v'));
    test::writeFile(box / "Base.f140.m4a", std::string(300, 'a'));
    test::writeFile(box / "Base.mp4.ytdl", std::string(20, 'y'));
    test::writeFile(box / "Other.mp4", std::string(5000, 'o'));
    test::writeFile(box / "xBase.mp4", std::string(7000, 'o'));
    fs::create_directories(box / "Base.folder");
    EXPECT_EQ(downloadedBytes(box.root(), "Base"), 1320U);
    EXPECT_EQ(downloadedBytes(box.root(), "Nothing"), 0U);
    EXPECT_EQ(downloadedBytes(box / "missing", "Base"), 0U);
}

}  // namespace
}  // namespace kelvo
