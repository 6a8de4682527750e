#include "tests/support/sandbox.h"

#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvo::test {

namespace fs = std::filesystem;

namespace {
std::atomic<int> counter{0};
fs::path currentScratch;
}  // namespace

fs::path scratchRoot() {
    return currentScratch;
}

Sandbox::Sandbox() {
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::temp_directory_path();
    root_ = base / ("sandbox-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(root_);
    fs::create_directories(root_);
}

Sandbox::~Sandbox() {
    removeTree(root_);
}

void removeTree(const fs::path& root) {
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable again before removing.
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(root, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(root, ignored);
}

void writeFile(const fs::path& path, const std::string& text) {
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

fs::path enterScratchHome(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::path("/tmp");
    fs::create_directories(base);
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw fs::filesystem_error("cannot create a scratch folder", base,
                                   std::error_code(errno, std::generic_category()));
    }
    const fs::path scratch = pattern;
    const fs::path home = scratch / "home";
    const std::pair<const char*, fs::path> folders[] = {
        {"HOME", home},
        {"XDG_DATA_HOME", home / ".local/share"},
        {"XDG_CONFIG_HOME", home / ".config"},
        {"XDG_CACHE_HOME", home / ".cache"},
        {"XDG_STATE_HOME", home / ".local/state"},
        {"XDG_RUNTIME_DIR", scratch / "run"},
        {"TMPDIR", scratch / "tmp"},
    };
    for (const auto& [name, path] : folders) {
        fs::create_directories(path);
        ::setenv(name, path.c_str(), 1);
    }
    fs::permissions(scratch / "run", fs::perms::owner_all, fs::perm_options::replace);
    currentScratch = scratch;
    return scratch;
}

void leaveScratchHome(const fs::path& scratch) {
    const char* keep = std::getenv("KELVO_KEEP_SCRATCH");
    if (keep == nullptr || std::string(keep) != "1") {
        removeTree(scratch);
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kelvo::test
