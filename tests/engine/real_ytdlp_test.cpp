// The engine against the real yt-dlp and ffmpeg, offline: a DASH presentation with separate
// H.264 video and AAC (m4a) audio adaptation sets, served from 127.0.0.1, is read and
// downloaded through the exact argument lists kelvo uses, and the merged MP4 is probed.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <thread>

#include "core/engine/ytdlp_engine.h"
#include "tests/support/sandbox.h"

extern char** environ;

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

pid_t start(std::vector<std::string> argv, const fs::path& output) {
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), argv[0]);
    }
    return pid;
}

// Runs a program to its end; its combined output, or a test failure.
std::string runProgram(const std::vector<std::string>& argv, const fs::path& output) {
    const pid_t pid = start(argv, output);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string text = test::readFile(output);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << argv[0] << ": " << text;
    return text;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// python3's http.server on 127.0.0.1, stopped with the object.
class LocalServer {
  public:
    LocalServer(const fs::path& folder, const fs::path& log) : port_(freePort()) {
        pid_ = start({"/usr/bin/python3", "-m", "http.server", std::to_string(port_), "--bind",
                      "127.0.0.1", "--directory", folder.string()},
                     log);
        for (int i = 0; i < 300 && !accepts(port_); ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
    ~LocalServer() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    std::string url(const std::string& file) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
    }

  private:
    int port_;
    pid_t pid_ = 0;
};

TEST(RealYTDLP, ReadsAndDownloadsALocalDashPresentation) {
    test::Sandbox box;
    const fs::path site = box / "site";
    fs::create_directories(site);
    runProgram({"ffmpeg",
                "-nostdin",
                "-v",
                "error",
                "-f",
                "lavfi",
                "-i",
                "testsrc=size=160x120:rate=15",
                "-f",
                "lavfi",
                "-i",
                "sine=frequency=440:sample_rate=44100",
                "-t",
                "2",
                "-map",
                "0:v",
                "-map",
                "1:a",
                "-c:v",
                "libx264",
                "-pix_fmt",
                "yuv420p",
                "-c:a",
                "aac",
                "-b:a",
                "64k",
                "-f",
                "dash",
                "-adaptation_sets",
                "id=0,streams=v id=1,streams=a",
                (site / "clip.mpd").string()},
               box / "ffmpeg.log");

    // The real tools, found the way kelvo finds them.
    const fs::path tools = box / "tools";
    fs::create_directories(tools);
    for (const char* name : {"yt-dlp", "deno", "ffmpeg"}) {
        const auto found = ToolLocator(currentEnvironment(), std::nullopt).find(name);
        ASSERT_TRUE(found.has_value()) << name;
        fs::create_symlink(*found, tools / name);
    }
    YTDLPEngine engine(ToolLocator(std::vector<fs::path>{tools}), 1);

    const LocalServer server(site, box / "server.log");
    const std::string link = server.url("clip.mpd");

    const VideoMetadata meta = engine.metadata(link);
    EXPECT_EQ(meta.id, "clip");
    EXPECT_EQ(meta.webpageURL, link);

    // "%" and "$HOME" reach the file name as written, not as template or variable.
    const std::string base = "2024-01-31 - 100% $HOME clip [" + meta.id + "]";
    const fs::path folder = box / "library/Singles";
    const fs::path file = engine.download(link, folder, base);
    EXPECT_EQ(file, folder / (base + ".mp4"));
    ASSERT_TRUE(fs::exists(file));

    const std::string streams =
        runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,codec_name",
                    "-of", "csv=p=0", file.string()},
                   box / "ffprobe.log");
    EXPECT_EQ(streams, "h264,video\naac,audio\n");
}

}  // namespace
}  // namespace kelvo
