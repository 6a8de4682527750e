// The main of every kelvo test program. Before any test runs it moves HOME, the XDG folders and
// TMPDIR into a fresh scratch folder of this process, so no test can reach the real user's files,
// and removes that folder afterwards (KELVO_KEEP_SCRATCH=1 keeps it for a post-mortem).
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace {
fs::path scratch;
}

namespace kelvo::test {
fs::path scratchRoot() {
    return scratch;
}
}  // namespace kelvo::test

int main(int argc, char** argv) {
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = tmp != nullptr && *tmp != '\0' ? fs::path(tmp) : fs::path("/tmp");
    fs::create_directories(base);
    std::string pattern = (base / "kelvo-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "cannot create a scratch folder in " << base << "\n";
        return 1;
    }
    scratch = pattern;
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

    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();

    const char* keep = std::getenv("KELVO_KEEP_SCRATCH");
    if (keep == nullptr || std::string(keep) != "1") {
        kelvo::test::removeTree(scratch);
    }
    return status;
}
