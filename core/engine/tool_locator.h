#pragma once

// Where kelvo looks for yt-dlp, deno and ffmpeg.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// A process environment: variable name to value.
using Environment = std::map<std::string, std::string>;

// The environment of this process.
Environment currentEnvironment();

// kelvo's own tools folder, where `kelvo-cli tools update` installs yt-dlp and deno:
// $XDG_DATA_HOME/kelvo/tools, or ~/.local/share/kelvo/tools when XDG_DATA_HOME is unset, empty or
// relative. Nothing when neither gives an absolute folder.
std::optional<std::filesystem::path> kelvoToolsFolder(const Environment& environment);

// The ordered list of folders searched for an external tool; the first executable file of the
// wanted name wins. Search order:
//   1. $KELVO_TOOLS_DIR when set and not empty;
//   2. kelvo's own tools folder (kelvoToolsFolder);
//   3. <prefix>/libexec/kelvo and 4. <prefix>/share/kelvo/tools, where <prefix> is the parent
//      of the folder holding the (symlink-resolved) executable;
//   5. <exe dir>/tools, then <dir>/Vendor/bin for the exe dir and its five nearest ancestors;
//   6. the entries of PATH ("/usr/bin:/bin" when the environment has none), empty ones dropped;
//   7. ~/.local/bin (HOME from the environment; left out without HOME);
//   8. /usr/local/bin.
// Steps 3-5 are left out when no executable is given. Duplicates are kept.
class ToolLocator {
  public:
    ToolLocator(const Environment& environment,
                const std::optional<std::filesystem::path>& executable);

    // Exactly these folders, in this order (tests, diagnostics).
    explicit ToolLocator(std::vector<std::filesystem::path> searchDirs)
        : searchDirs_(std::move(searchDirs)) {}

    // This process's environment and executable (/proc/self/exe).
    static ToolLocator forCurrentProcess();
    // The running executable, symlinks resolved; nothing when it cannot be told.
    static std::optional<std::filesystem::path> currentExecutable();

    const std::vector<std::filesystem::path>& searchDirs() const { return searchDirs_; }

    // The first executable regular file named `name` in the search folders, or nothing.
    std::optional<std::filesystem::path> find(std::string_view name) const;

  private:
    std::vector<std::filesystem::path> searchDirs_;
};

}  // namespace kelvo
