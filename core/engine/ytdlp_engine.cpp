#include "core/engine/ytdlp_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unicode/utf8.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "core/engine/engine_error.h"

namespace kelvo {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::system_error systemError(int code, const std::string& what) {
    return std::system_error(code, std::generic_category(), what);
}

std::string freshUUID() {
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_lower(uuid, text);
    return text;
}

// A file descriptor closed on scope exit.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// One capture file of a run: created exclusively with mode 0600, removed on scope exit.
class CaptureFile {
  public:
    CaptureFile(const fs::path& folder, std::string_view extension) {
        const fs::path path = folder / ("kelvo-" + freshUUID() + std::string(extension));
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            throw fs::filesystem_error("cannot create a capture file for yt-dlp", path,
                                       std::error_code(errno, std::generic_category()));
        }
        path_ = path;
    }
    ~CaptureFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    int fd() const { return fd_; }
    // The whole file; empty when it cannot be read.
    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        if (in) {
            text << in.rdbuf();
        }
        return in ? text.str() : std::string();
    }

  private:
    fs::path path_;
    int fd_ = -1;
};

bool isValidUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

// The environment of a yt-dlp child: ours, with deno's and ffmpeg's folders in front of PATH.
std::vector<std::string> childEnvironment(const fs::path& deno, const fs::path& ffmpeg) {
    Environment environment = currentEnvironment();
    const auto inherited = environment.find("PATH");
    const std::string searchPath =
        inherited != environment.end() ? inherited->second : std::string("/usr/bin:/bin");
    environment["PATH"] =
        deno.parent_path().string() + ":" + ffmpeg.parent_path().string() + ":" + searchPath;
    std::vector<std::string> entries;
    entries.reserve(environment.size());
    for (const auto& [name, value] : environment) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (std::string& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

// posix_spawn's attribute and file-action objects, destroyed on scope exit.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// Waits for a child; can be woken early by a stop request.
class ChildWaiter {
  public:
    explicit ChildWaiter(pid_t pid)
        : pid_(pid),
          pidfd_(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))),
          wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    // Writes to the wake-up descriptor (safe from any thread).
    void wake() const {
        if (wake_.get() >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
        }
    }

    // Reaps the child if it has exited; its wait status then.
    std::optional<int> reap() const {
        int status = 0;
        for (;;) {
            const pid_t result = ::waitpid(pid_, &status, WNOHANG);
            if (result == pid_) {
                return status;
            }
            if (result == 0) {
                return std::nullopt;
            }
            if (errno != EINTR) {
                throw systemError(errno, "cannot wait for yt-dlp");
            }
        }
    }

    // Blocks until the child may have exited, a wake-up arrived (when `wakeable`) or `timeout`
    // passed (-1: none). Without pidfd or eventfd support it falls back to a short interval.
    void block(int timeoutMs, bool wakeable = true) const {
        pollfd fds[2];
        nfds_t count = 0;
        if (wakeable && wake_.get() >= 0) {
            fds[count++] = pollfd{wake_.get(), POLLIN, 0};
        }
        if (pidfd_.get() >= 0) {
            fds[count++] = pollfd{pidfd_.get(), POLLIN, 0};
        }
        int wait = timeoutMs;
        if (pidfd_.get() < 0 || wake_.get() < 0) {
            wait = timeoutMs < 0 ? 50 : std::min(timeoutMs, 50);
        }
        ::poll(fds, count, wait);
    }

  private:
    pid_t pid_;
    FileDescriptor pidfd_;
    FileDescriptor wake_;
};

// SIGTERM to the child's process group, SIGKILL after `grace`; the child is reaped.
void terminate(pid_t pid, const ChildWaiter& waiter, std::chrono::milliseconds grace) {
    if (::kill(-pid, SIGTERM) != 0) {
        ::kill(pid, SIGTERM);
    }
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        if (waiter.reap()) {
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms) {
            break;
        }
        waiter.block(static_cast<int>(left.count()), false);
    }
    if (::kill(-pid, SIGKILL) != 0) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void refuseOption(std::string_view link) {
    if (link.starts_with('-')) {
        throw EngineError::failed("not a link: " + std::string(link));
    }
}

}  // namespace

YTDLPEngine::YTDLPEngine(const ToolLocator& locator, int attempts, std::stop_token stop)
    : attempts_(attempts), stop_(std::move(stop)) {
    const std::pair<const char*, fs::path*> tools[] = {
        {"yt-dlp", &ytdlp_}, {"deno", &deno_}, {"ffmpeg", &ffmpeg_}};
    for (const auto& [name, path] : tools) {
        auto found = locator.find(name);
        if (!found) {
            throw EngineError::toolMissing(name);
        }
        *path = std::move(*found);
    }
}

std::map<std::string, std::string> YTDLPEngine::toolPaths() const {
    return {{"yt-dlp", ytdlp_.string()}, {"deno", deno_.string()}, {"ffmpeg", ffmpeg_.string()}};
}

RunOutput YTDLPEngine::run(const std::vector<std::string>& arguments) const {
    if (stop_.stop_requested()) {
        throw EngineError::stopped();
    }
    const fs::path temporary = fs::temp_directory_path();
    const CaptureFile out(temporary, ".out");
    const CaptureFile err(temporary, ".err");

    std::vector<std::string> argv;
    argv.reserve(arguments.size() + 1);
    argv.push_back(ytdlp_.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = childEnvironment(deno_, ffmpeg_);
    std::vector<char*> argvPointers = pointers(argv);
    std::vector<char*> envPointers = pointers(envp);

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, out.fd(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, err.fd(), STDERR_FILENO);
    // Its own process group, so a stop reaches the ffmpeg it starts too; default signal
    // handling and an empty mask whatever this thread has set up.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) {
        sigaddset(&defaults, signal);
    }
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setsigmask(&setup.attributes, &mask);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int spawnError = ::posix_spawn(&pid, ytdlp_.c_str(), &setup.actions, &setup.attributes,
                                         argvPointers.data(), envPointers.data());
    if (spawnError != 0) {
        throw systemError(spawnError, "cannot start " + ytdlp_.string());
    }

    const ChildWaiter waiter(pid);
    const std::stop_callback onStop(stop_, [&waiter] { waiter.wake(); });
    std::optional<int> status;
    while (!(status = waiter.reap())) {
        if (stop_.stop_requested()) {
            terminate(pid, waiter, killGrace_);
            throw EngineError::stopped();
        }
        waiter.block(-1);
    }

    RunOutput output{out.contents(), err.contents()};
    if (!isValidUTF8(output.err)) {
        output.err.clear();
    }
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        throw EngineError::classify(output.err);
    }
    return output;
}

void YTDLPEngine::pause(std::chrono::milliseconds duration) const {
    if (sleeper_) {
        sleeper_(duration, stop_);
    } else {
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        wakeUp.wait_for(lock, stop_, duration, [] { return false; });
    }
    if (stop_.stop_requested()) {
        throw EngineError::stopped();
    }
}

RunOutput YTDLPEngine::runWithRetries(const std::vector<std::string>& arguments) const {
    for (int attempt = 1;; ++attempt) {
        try {
            return run(arguments);
        } catch (const EngineError& error) {
            if (!error.isTransient() || attempt >= attempts_) {
                throw;
            }
        }
        pause(std::chrono::seconds(2 * attempt));
    }
}

std::string YTDLPEngine::flatPlaylist(std::string_view address) const {
    return runWithRetries({"--flat-playlist", "-J", "--no-warnings", std::string(address)}).out;
}

VideoMetadata YTDLPEngine::metadata(std::string_view link) {
    refuseOption(link);
    const RunOutput output =
        runWithRetries({"-J", "--no-playlist", "--no-warnings", std::string(link)});
    try {
        return VideoMetadata::decode(output.out);
    } catch (const nlohmann::json::exception& error) {
        throw EngineError::failed(std::string("could not read yt-dlp metadata: ") + error.what());
    }
}

std::string YTDLPEngine::outputTemplate(const fs::path& folder, std::string_view baseName) {
    const std::string path = (folder / std::string(baseName)).string();
    std::string escaped;
    escaped.reserve(path.size() + 16);
    for (char c : path) {
        if (c == '%') {
            escaped += "%%";
        } else if (c == '$') {
            // yt-dlp expands $NAME and ${NAME} from its environment in the template, and "$$"
            // is no escape there. A "$" followed by an empty template field is never read as a
            // variable, and the field evaluates to nothing.
            escaped += "$%(kelvo|)s";
        } else {
            escaped += c;
        }
    }
    return escaped + ".%(ext)s";
}

std::vector<std::string> YTDLPEngine::downloadArguments(std::string_view link,
                                                        const fs::path& folder,
                                                        std::string_view baseName) const {
    return {"--no-playlist",
            "--no-progress",
            "--no-warnings",
            "-f",
            std::string(formatSelector),
            "--merge-output-format",
            "mp4",
            "--ffmpeg-location",
            ffmpeg_.string(),
            "--retries",
            "10",
            "--fragment-retries",
            "10",
            "-o",
            outputTemplate(folder, baseName),
            std::string(link)};
}

fs::path YTDLPEngine::download(std::string_view link, const fs::path& folder,
                               std::string_view baseName) {
    refuseOption(link);
    fs::create_directories(folder);
    runWithRetries(downloadArguments(link, folder, baseName));
    const fs::path expected = folder / (std::string(baseName) + ".mp4");
    if (fs::exists(expected)) {
        return expected;
    }
    throw EngineError::failed("yt-dlp reported success but " + expected.filename().string() +
                              " is missing");
}

}  // namespace kelvo
