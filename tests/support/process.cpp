#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kelvo::test {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Reads what is ready on `fd` into `into`; closes it at the end of output.
void drain(int& fd, std::string& into) {
    char chunk[8192];
    while (fd >= 0) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            into.append(chunk, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN) {
                closeFd(fd);
            }
            return;
        }
    }
}

std::vector<std::string> childEnvironment(const ProcessOptions& options) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : options.environment) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, ProcessOptions options) {
    int input[2] = {-1, -1};
    int output[2];
    int errors[2];
    if ((options.pipeInput && ::pipe2(input, O_CLOEXEC) != 0) || ::pipe2(output, O_CLOEXEC) != 0 ||
        ::pipe2(errors, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipeInput) {
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = childEnvironment(options);
    const int error = ::posix_spawnp(&pid_, arguments.at(0).c_str(), &actions, nullptr,
                                     pointers(arguments).data(), pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    closeFd(input[0]);
    closeFd(output[1]);
    closeFd(errors[1]);
    in_ = input[1];
    outPipe_ = output[0];
    errPipe_ = errors[0];
    ::fcntl(outPipe_, F_SETFL, O_NONBLOCK);
    ::fcntl(errPipe_, F_SETFL, O_NONBLOCK);
    if (error != 0) {
        pid_ = -1;
        closeFd(in_);
        closeFd(outPipe_);
        closeFd(errPipe_);
        throw std::runtime_error("cannot start " + argv.at(0) + ": " + std::strerror(error));
    }
}

Process::~Process() {
    closeInput();
    if (!ended_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait(std::chrono::seconds(30));
    }
    closeFd(outPipe_);
    closeFd(errPipe_);
}

bool Process::collect(int waitMs) {
    pollfd fds[2] = {{outPipe_, POLLIN, 0}, {errPipe_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, waitMs);
    drain(outPipe_, out_);
    drain(errPipe_, err_);
    return ready > 0;
}

std::optional<std::string> Process::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto newline = out_.find('\n');
        if (newline != std::string::npos) {
            std::string line = out_.substr(0, newline);
            out_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (outPipe_ < 0 && errPipe_ < 0)) {
            return std::nullopt;
        }
        collect(static_cast<int>(std::min<long long>(left.count(), 50)));
        if (outPipe_ < 0 && out_.find('\n') == std::string::npos) {
            return std::nullopt;
        }
    }
}

void Process::write(const std::string& text) {
    std::size_t done = 0;
    while (in_ >= 0 && done < text.size()) {
        const ssize_t n = ::write(in_, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("write to child: ") + std::strerror(errno));
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

void Process::closeInput() {
    closeFd(in_);
}

void Process::signal(int number) {
    if (!ended_ && pid_ > 0) {
        ::kill(pid_, number);
    }
}

bool Process::running() {
    if (ended_) {
        return false;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        collect(0);
    }
    return !ended_;
}

bool Process::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        collect(20);
    }
    // A grandchild may still hold the pipes open: take what is there and do not wait for it.
    collect(0);
    return true;
}

ProcessResult runProcess(const std::vector<std::string>& argv, ProcessOptions options,
                         std::chrono::milliseconds timeout) {
    Process process(argv, std::move(options));
    if (!process.wait(timeout)) {
        throw std::runtime_error(argv.at(0) + " did not end in time");
    }
    return process.result();
}

void sleepBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace kelvo::test
