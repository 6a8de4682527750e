#pragma once

// Starts a helper program with a pipe on its stdin and stdout, for the cross-process tests.

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace kelvo::test {

class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line the child printed, without its "\n"; "" at end of output or timeout.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Everything the child prints until it closes its output (or the timeout).
    std::string readAll(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Closes the child's stdin.
    void closeInput();
    void kill(int signal);
    // Waits for the child and returns its exit status (-1 when killed by a signal).
    int wait();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
};

// Runs a program to its end and returns what it printed on stdout.
std::string runAndCapture(const std::vector<std::string>& argv, int* exitStatus = nullptr);

}  // namespace kelvo::test
