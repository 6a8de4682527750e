#include "core/engine/tool_locator.h"

#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace kelvo {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> lookup(const Environment& environment, const std::string& name) {
    const auto it = environment.find(name);
    if (it == environment.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace

Environment currentEnvironment() {
    Environment environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        environment.emplace(std::string(text.substr(0, equals)),
                            std::string(text.substr(equals + 1)));
    }
    return environment;
}

std::optional<fs::path> kelvoToolsFolder(const Environment& environment) {
    fs::path data;
    if (auto xdg = lookup(environment, "XDG_DATA_HOME"); xdg && fs::path(*xdg).is_absolute()) {
        data = *xdg;
    } else if (auto home = lookup(environment, "HOME"); home && fs::path(*home).is_absolute()) {
        data = fs::path(*home) / ".local" / "share";
    } else {
        return std::nullopt;
    }
    return data / "kelvo" / "tools";
}

ToolLocator::ToolLocator(const Environment& environment,
                         const std::optional<fs::path>& executable) {
    if (auto tools = lookup(environment, "KELVO_TOOLS_DIR"); tools && !tools->empty()) {
        searchDirs_.emplace_back(*tools);
    }
    if (auto own = kelvoToolsFolder(environment)) {
        searchDirs_.push_back(std::move(*own));
    }

    if (executable) {
        std::error_code error;
        fs::path resolved = fs::weakly_canonical(*executable, error);
        if (error) {
            resolved = *executable;
        }
        const fs::path holder = resolved.parent_path();
        // The installed layout: <prefix>/bin/kelvo with helpers in <prefix>/libexec/kelvo and
        // data in <prefix>/share/kelvo.
        const fs::path prefix = holder.parent_path();
        searchDirs_.push_back(prefix / "libexec" / "kelvo");
        searchDirs_.push_back(prefix / "share" / "kelvo" / "tools");
        searchDirs_.push_back(holder / "tools");
        fs::path level = holder;
        for (int i = 0; i < 6; ++i) {
            searchDirs_.push_back(level / "Vendor" / "bin");
            level = level.parent_path();
        }
    }

    const std::string path = lookup(environment, "PATH").value_or("/usr/bin:/bin");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            searchDirs_.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }

    if (auto home = lookup(environment, "HOME"); home && !home->empty()) {
        searchDirs_.push_back(fs::path(*home) / ".local" / "bin");
    }
    searchDirs_.emplace_back("/usr/local/bin");
}

ToolLocator ToolLocator::forCurrentProcess() {
    return ToolLocator(currentEnvironment(), currentExecutable());
}

std::optional<fs::path> ToolLocator::currentExecutable() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error || self.empty()) {
        return std::nullopt;
    }
    return self;
}

std::optional<fs::path> ToolLocator::find(std::string_view name) const {
    for (const fs::path& dir : searchDirs_) {
        const fs::path candidate = dir / name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace kelvo
