#pragma once

// kelvo's one way to run an external program (yt-dlp, a tool's --version): posix_spawn with an
// argument vector, stdout and stderr captured in private files, stoppable from another thread.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "core/engine/tool_locator.h"

namespace kelvo {

struct ChildResult {
    int waitStatus = 0;  // as waitpid() reports it
    std::string out;     // standard output, raw bytes (empty when unreadable)
    std::string err;     // standard error, raw bytes (empty when unreadable)

    // It exited on its own with status 0.
    bool succeeded() const;
};

// "NAME=value" entries for a child's environment.
std::vector<std::string> environmentEntries(const Environment& environment);

// Runs `program` with `arguments` in `environment` ("NAME=value" entries) to its end. The child
// gets its own process group and default signal handling.
//
// When `stop` is requested before or while it runs, the child's process group gets SIGTERM, then
// SIGKILL after `killGrace`; it is reaped and the call throws EngineError::stopped(). A capture
// file that cannot be created throws std::filesystem::filesystem_error, a child that cannot be
// started std::system_error.
ChildResult runChild(const std::filesystem::path& program,
                     const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, const std::stop_token& stop,
                     std::chrono::milliseconds killGrace);

}  // namespace kelvo
