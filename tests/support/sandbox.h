#pragma once

#include <filesystem>
#include <string>

namespace kelvo::test {

// A private folder for one test, removed when the object goes. The whole test program already
// runs with HOME, XDG_* and TMPDIR pointing into a scratch folder of its own (see test_main.cpp);
// a Sandbox gives one test a clean folder inside it.
class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const {
        return root_ / relative;
    }

  private:
    std::filesystem::path root_;
};

// Writes text to a file, creating its parent folders.
void writeFile(const std::filesystem::path& path, const std::string& text);
// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Removes a folder tree, first making read-only folders in it writable again.
void removeTree(const std::filesystem::path& root);

// Creates a fresh folder <TMPDIR>/<prefix>-XXXXXX and points HOME, the XDG folders and TMPDIR
// into it, so nothing the program does reaches the real user's files. Returns the folder; throws
// std::filesystem::filesystem_error when it cannot be created. Every test program's main calls
// it before anything else.
std::filesystem::path enterScratchHome(const std::string& prefix);
// Removes the scratch folder unless KELVO_KEEP_SCRATCH=1 asks to keep it for a post-mortem.
void leaveScratchHome(const std::filesystem::path& scratch);

// The scratch folder this test program runs in (HOME is <scratch>/home).
std::filesystem::path scratchRoot();

}  // namespace kelvo::test
