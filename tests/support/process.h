#pragma once

// A child process for tests: started with posix_spawn and an argument vector, its stdout and
// stderr read through pipes, its exit status read back. Every cross-process test uses this one.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvo::test {

struct ProcessOptions {
    // Variables set (a value) or removed (nullopt) in the child's environment only.
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    bool pipeInput = false;  // stdin is a pipe for write(); otherwise /dev/null
};

struct ProcessResult {
    int status = -1;  // the exit status; -1 when a signal ended it
    std::string out;
    std::string err;
};

class Process {
  public:
    explicit Process(const std::vector<std::string>& argv, ProcessOptions options = {});
    // A child still running is killed (SIGKILL) and reaped.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line of stdout without its "\n"; nullopt at the end of output or the timeout.
    std::optional<std::string> readLine(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void write(const std::string& text);
    void closeInput();
    void signal(int number);
    // Waits for the end while collecting output; false when it did not end within `timeout`.
    bool wait(std::chrono::milliseconds timeout = std::chrono::seconds(120));
    bool running();
    // The exit status (-1 when a signal ended it) and all output not taken by readLine.
    ProcessResult result() const { return {status_, out_, err_}; }
    pid_t pid() const { return pid_; }

  private:
    bool collect(int waitMs);

    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
    int in_ = -1;
    int outPipe_ = -1;
    int errPipe_ = -1;
    std::string out_;
    std::string err_;
};

// Runs a program to its end; throws std::runtime_error when it does not end within `timeout`.
ProcessResult runProcess(const std::vector<std::string>& argv, ProcessOptions options = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(120));

// Calls `done` every few milliseconds until it answers true or `timeout` passes; returns done().
template <typename Condition>
bool waitUntil(Condition done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

void sleepBriefly();

template <typename Condition>
bool waitUntil(Condition done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return done();
        }
        sleepBriefly();
    }
    return true;
}

}  // namespace kelvo::test
