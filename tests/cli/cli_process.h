#pragma once

// kelvo-cli as a child process: started with posix_spawn, its stdout and stderr captured in
// files, its exit status read back.

#include <sys/types.h>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvo::test {

struct CliResult {
    int status = -1;  // the exit status; -1 when a signal ended it
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    // Starts kelvo-cli with these arguments; output goes to files in `scratch`.
    CliProcess(const std::vector<std::string>& arguments, const std::filesystem::path& scratch);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void signal(int number);
    // Waits for the end; false when it did not end within `timeoutMs`.
    bool wait(int timeoutMs = 60000);
    CliResult result() const;
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    std::filesystem::path out_;
    std::filesystem::path err_;
};

// Runs kelvo-cli to its end.
CliResult runCli(const std::vector<std::string>& arguments, const std::filesystem::path& scratch);

}  // namespace kelvo::test
