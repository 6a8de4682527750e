#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/sandbox.h"

extern char** environ;

namespace kelvo::test {

namespace {
std::atomic<int> counter{0};
}

CliProcess::CliProcess(const std::vector<std::string>& arguments,
                       const std::filesystem::path& scratch) {
    std::filesystem::create_directories(scratch);
    const int n = counter++;
    out_ = scratch / ("cli-" + std::to_string(n) + ".out");
    err_ = scratch / ("cli-" + std::to_string(n) + ".err");
    std::vector<std::string> argv{KELVO_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int error = posix_spawn(&pid_, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start kelvo-cli");
    }
}

CliProcess::~CliProcess() {
    if (!ended_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait(10000);
    }
}

void CliProcess::signal(int number) {
    ::kill(pid_, number);
}

bool CliProcess::wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ended_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            ended_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

CliResult CliProcess::result() const {
    return {status_, readFile(out_), readFile(err_)};
}

CliResult runCli(const std::vector<std::string>& arguments, const std::filesystem::path& scratch) {
    CliProcess process(arguments, scratch);
    if (!process.wait()) {
        throw std::runtime_error("kelvo-cli did not end");
    }
    return process.result();
}

}  // namespace kelvo::test
