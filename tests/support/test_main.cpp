// The main of every kelvo GoogleTest program. Before any test runs it moves HOME, the XDG folders
// and TMPDIR into a fresh scratch folder of this process, so no test can reach the real user's
// files, and removes that folder afterwards (KELVO_KEEP_SCRATCH=1 keeps it for a post-mortem).
#include <gtest/gtest.h>

#include <exception>
#include <iostream>

#include "tests/support/sandbox.h"

int main(int argc, char** argv) {
    std::filesystem::path scratch;
    try {
        scratch = kelvo::test::enterScratchHome("kelvo-test");
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    kelvo::test::leaveScratchHome(scratch);
    return status;
}
