#include "app/relauncher.h"

#include <spawn.h>
#include <filesystem>
#include <string>

extern char** environ;

namespace kelvo {

ShellRelauncher::ShellRelauncher(QString executable) : executable_(std::move(executable)) {
    if (executable_.isEmpty()) {
        std::error_code error;
        const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) {
            executable_ = QString::fromStdString(path.string());
        }
    }
}

bool ShellRelauncher::relaunch() {
    if (executable_.isEmpty()) {
        return false;
    }
    // The program path travels as $0, never inside the script text.
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string script = "sleep 1; exec \"$0\"";
    std::string program = executable_.toStdString();
    char* argv[] = {shell.data(), dashC.data(), script.data(), program.data(), nullptr};

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        return false;
    }
    // A session of its own: the shell outlives this process and its terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int status = posix_spawn(&pid, shell.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (status != 0) {
        return false;
    }
    lastPid_ = pid;
    return true;
}

}  // namespace kelvo
