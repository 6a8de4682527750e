#pragma once

// kelvo-cli: kelvo without a desktop. Every subcommand works on the same catalog, settings and
// activity log as the tray app, through AppModel. Progress lines go to stderr as they happen,
// results to stdout. Exit status: 0 done, 1 the job failed (the reason on stderr), 2 usage.

namespace kelvo {

class CliApp {
  public:
    static constexpr int ok = 0;
    static constexpr int failed = 1;
    static constexpr int usage = 2;

    // Parses the arguments and runs one subcommand. Needs a QCoreApplication.
    int run(int argc, char** argv);
};

}  // namespace kelvo
