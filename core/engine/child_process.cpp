#include "core/engine/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

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
    CaptureFile(const fs::path& folder, std::string_view extension, const std::string& program) {
        const fs::path path = folder / ("kelvo-" + freshUUID() + std::string(extension));
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            throw fs::filesystem_error("cannot create a capture file for " + program, path,
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
    ChildWaiter(pid_t pid, std::string program)
        : pid_(pid),
          program_(std::move(program)),
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
                throw systemError(errno, "cannot wait for " + program_);
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
    std::string program_;
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

}  // namespace

bool ChildResult::succeeded() const {
    return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
}

std::vector<std::string> environmentEntries(const Environment& environment) {
    std::vector<std::string> entries;
    entries.reserve(environment.size());
    for (const auto& [name, value] : environment) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

ChildResult runChild(const fs::path& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, const std::stop_token& stop,
                     std::chrono::milliseconds killGrace) {
    if (stop.stop_requested()) {
        throw EngineError::stopped();
    }
    const std::string name = program.filename().string();
    const fs::path temporary = fs::temp_directory_path();
    const CaptureFile out(temporary, ".out", name);
    const CaptureFile err(temporary, ".err", name);

    std::vector<std::string> argv;
    argv.reserve(arguments.size() + 1);
    argv.push_back(program.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = environment;
    std::vector<char*> argvPointers = pointers(argv);
    std::vector<char*> envPointers = pointers(envp);

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, out.fd(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, err.fd(), STDERR_FILENO);
    // Its own process group, so a stop reaches the programs it starts too (yt-dlp's ffmpeg);
    // default signal handling and an empty mask whatever this thread has set up.
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
    const int spawnError = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes,
                                         argvPointers.data(), envPointers.data());
    if (spawnError != 0) {
        throw systemError(spawnError, "cannot start " + program.string());
    }

    const ChildWaiter waiter(pid, name);
    const std::stop_callback onStop(stop, [&waiter] { waiter.wake(); });
    std::optional<int> status;
    while (!(status = waiter.reap())) {
        if (stop.stop_requested()) {
            terminate(pid, waiter, killGrace);
            throw EngineError::stopped();
        }
        waiter.block(-1);
    }
    return ChildResult{*status, out.contents(), err.contents()};
}

}  // namespace kelvo
