#include "tests/app_services/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <stdexcept>

extern char** environ;

namespace kelvo::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int status = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    in_ = input[1];
    out_ = output[0];
    if (status != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (out_ >= 0) {
        ::close(out_);
    }
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd poller{out_, POLLIN, 0};
        if (::poll(&poller, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char chunk[256];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            return {};
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

void ChildProcess::closeInput() {
    if (in_ >= 0) {
        ::close(in_);
        in_ = -1;
    }
}

void ChildProcess::kill(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

int ChildProcess::wait() {
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd poller{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&poller, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    std::string all;
    all.swap(buffer_);
    return all;
}

std::string runAndCapture(const std::vector<std::string>& argv, int* exitStatus) {
    ChildProcess child(argv);
    child.closeInput();
    std::string all = child.readAll();
    const int status = child.wait();
    if (exitStatus != nullptr) {
        *exitStatus = status;
    }
    return all;
}

}  // namespace kelvo::test
