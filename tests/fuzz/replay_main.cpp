// The driver of a fuzz target in the ordinary build: a short, deterministic fuzz run that CTest
// can afford on every build.
//
//   fuzz_<target>                 every file of the seed corpus, then mutations of them
//   fuzz_<target> FILE|FOLDER...  just these inputs, unmutated (to replay a crash)
//
// Mutations come from a fixed seed, so a failure found here is found again on the next run.
// KELVO_FUZZ_RUNS (default 20000) bounds their number and KELVO_FUZZ_SECONDS (default 3) their
// time; KELVO_FUZZ_SEED picks another sequence. When a target crashes, aborts or breaks an
// invariant, the input is printed in hex and written to ./crash-<target> before the process
// dies, so it can be replayed and added to the corpus.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace fs = std::filesystem;

namespace {

constexpr const char* targetName = KELVO_FUZZ_TARGET;
constexpr std::size_t maxInputSize = 16 * 1024;

// The input being run, for the crash report. Read from signal handlers: plain data only.
const std::uint8_t* currentData = nullptr;
std::size_t currentSize = 0;
char currentOrigin[512] = "";
volatile sig_atomic_t reported = 0;

void writeAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written <= 0) {
            return;
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void writeText(int fd, const char* text) {
    writeAll(fd, text, std::strlen(text));
}

// Async-signal-safe: no allocation, only write(2) and open(2).
void reportCurrentInput() {
    if (reported != 0 || currentData == nullptr) {
        return;
    }
    reported = 1;
    char number[32];
    std::size_t digits = 0;
    std::size_t n = currentSize;
    do {
        number[sizeof number - 1 - digits++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0 && digits < sizeof number);

    writeText(2, "\n==== kelvo fuzz: target ");
    writeText(2, targetName);
    writeText(2, " failed on ");
    writeText(2, currentOrigin);
    writeText(2, " (");
    writeAll(2, number + sizeof number - digits, digits);
    writeText(2, " bytes), hex:\n");
    static const char hex[] = "0123456789abcdef";
    char line[2 * 32 + 1];
    for (std::size_t i = 0; i < currentSize; i += 32) {
        std::size_t used = 0;
        for (std::size_t j = i; j < currentSize && j < i + 32; ++j) {
            line[used++] = hex[currentData[j] >> 4];
            line[used++] = hex[currentData[j] & 0xF];
        }
        line[used++] = '\n';
        writeAll(2, line, used);
    }
    char path[128] = "crash-";
    std::strncat(path, targetName, sizeof path - std::strlen(path) - 1);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        writeAll(fd, reinterpret_cast<const char*>(currentData), currentSize);
        ::close(fd);
        writeText(2, "==== input written to ./");
        writeText(2, path);
        writeText(2, "\n");
    }
}

struct sigaction previousActions[NSIG];

// Reports the input, then puts the earlier handler back. A fault returns to the faulting
// instruction, which faults again into that handler (a sanitizer's report, or the default
// action); abort() raises again by itself.
void onFatalSignal(int signal) {
    reportCurrentInput();
    sigaction(signal, &previousActions[signal], nullptr);
    if (signal != SIGSEGV && signal != SIGBUS && signal != SIGILL && signal != SIGFPE) {
        raise(signal);
    }
}

void installCrashReport() {
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, &previousActions[signal]);
    }
    if (__sanitizer_set_death_callback != nullptr) {
        __sanitizer_set_death_callback(reportCurrentInput);
    }
}

// Runs one input from a heap block of exactly its size, as libFuzzer does, so a read past the
// end is caught by the address sanitizer.
void runOne(const std::string& input, const std::string& origin) {
    auto block = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(input.size(), 1));
    std::copy(input.begin(), input.end(), block.get());
    std::snprintf(currentOrigin, sizeof currentOrigin, "%s", origin.c_str());
    currentData = block.get();
    currentSize = input.size();
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : block.get(), input.size());
    currentData = nullptr;
    currentSize = 0;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Seed {
    std::string name;
    std::string data;
};

std::vector<Seed> readInputs(const fs::path& path) {
    std::vector<Seed> seeds;
    if (fs::is_directory(path)) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(path)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            seeds.push_back({file.filename().string(), readFile(file)});
        }
    } else if (fs::is_regular_file(path)) {
        seeds.push_back({path.filename().string(), readFile(path)});
    } else {
        std::cerr << "fuzz_" << targetName << ": no such input " << path << "\n";
        std::exit(2);
    }
    return seeds;
}

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

// Fragments that make parsers take unusual paths: JSON, URL, XML and FTS syntax, path tricks,
// and Unicode that splits, joins, reverses or vanishes.
const std::vector<std::string> tokens = {
    "\"",
    "\\",
    "\\u0000",
    "\\ud800",
    "{",
    "}",
    "[",
    "]",
    ":",
    ",",
    "null",
    "true",
    "1e999",
    "-0",
    "1.5",
    "\"id\":",
    "\"title\":",
    "\"entries\":",
    "\"tags\":",
    "\"duration\":",
    "\"chapters\":",
    "%",
    "%00",
    "%2F",
    "%zz",
    "&",
    "=",
    "?",
    "#",
    "@",
    "list=",
    "v=",
    "/",
    "../",
    "..",
    ".",
    "~",
    "$",
    "%(id)s",
    "<",
    ">",
    "&amp;",
    "]]>",
    "<![CDATA[",
    "'",
    "*",
    "^",
    "(",
    ")",
    "NEAR",
    "AND",
    "OR",
    "NOT",
    "-",
    "+",
    " ",
    "\t",
    "\n",
    "\r",
    std::string(1, '\0'),
    "\x7f",
    "\xc2\x85",
    "\xe2\x80\xae",
    "\xe2\x80\x8b",
    "\xe2\x80\x8d",
    "\xef\xbb\xbf",
    "\xef\xbf\xbe",
    "\xcc\x81",
    "\xe3\x80\x80",
    "\xd8\x80",
    "\xf0\x9f\x87\xba",
    "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb",
    "\xe6\x97\xa5",
    "\xff",
    "\xc0\xaf",
    "\xed\xa0\x80",
    "\xf4\x90\x80\x80",
    "\xe2\x80\xa8",
    "\x1e\x1e",
    "youtube.com/",
    "youtu.be/",
    "https://",
    "watch",
    "playlist",
    "shorts/",
    "dQw4w9WgXcQ",
    "PLx0sYbCqOb8TBPRdmBHs5Iftvv9TPboYG",
};

class Mutator {
  public:
    explicit Mutator(std::uint64_t seed) : random_(seed) {}

    std::string mutate(std::string input, const std::vector<std::string>& pool) {
        const std::size_t steps = 1 + below(4);
        for (std::size_t step = 0; step < steps; ++step) {
            apply(input, pool);
        }
        if (input.size() > maxInputSize) {
            input.resize(maxInputSize);
        }
        return input;
    }

    std::size_t below(std::size_t bound) {
        return bound == 0 ? 0 : static_cast<std::size_t>(random_() % bound);
    }

  private:
    void apply(std::string& s, const std::vector<std::string>& pool) {
        const std::size_t at = below(s.size() + 1);
        switch (below(10)) {
            case 0:  // flip a bit
                if (!s.empty()) {
                    s[at % s.size()] = static_cast<char>(s[at % s.size()] ^ (1 << below(8)));
                }
                break;
            case 1:  // replace a byte
                if (!s.empty()) {
                    s[at % s.size()] = static_cast<char>(below(256));
                }
                break;
            case 2:  // insert a few random bytes
                s.insert(at, randomBytes(1 + below(4)));
                break;
            case 3:  // erase a range
                s.erase(at, 1 + below(16));
                break;
            case 4:
            case 5:  // insert a token
                s.insert(at, tokens[below(tokens.size())]);
                break;
            case 6:  // replace a range by a token
                s.replace(at, below(8), tokens[below(tokens.size())]);
                break;
            case 7: {  // duplicate a range in place
                const std::size_t length = std::min<std::size_t>(s.size() - at, 1 + below(64));
                s.insert(at, s.substr(at, length));
                break;
            }
            case 8: {  // repeat a range many times: long names, deep nesting
                const std::size_t length = std::min<std::size_t>(s.size() - at, 1 + below(8));
                const std::string piece = s.substr(at, length);
                const std::size_t times = 16 + below(256);
                std::string repeated;
                for (std::size_t i = 0; i < times && repeated.size() < maxInputSize; ++i) {
                    repeated += piece;
                }
                s.insert(at, repeated);
                break;
            }
            default: {  // splice in a piece of another input
                const std::string& other = pool[below(pool.size())];
                const std::size_t from = below(other.size() + 1);
                s.insert(at, other.substr(from, below(other.size() - from + 1)));
                break;
            }
        }
    }

    std::string randomBytes(std::size_t count) {
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i) {
            // Mostly ASCII, sometimes anything.
            bytes += static_cast<char>(below(4) == 0 ? below(256) : 0x20 + below(0x5F));
        }
        return bytes;
    }

    std::mt19937_64 random_;
};

}  // namespace

int main(int argc, char** argv) {
    installCrashReport();
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }

    if (argc > 1) {
        std::size_t count = 0;
        for (int i = 1; i < argc; ++i) {
            for (const Seed& seed : readInputs(argv[i])) {
                runOne(seed.data, "input " + seed.name);
                ++count;
            }
        }
        std::cout << "fuzz_" << targetName << ": " << count << " inputs passed\n";
        return 0;
    }

    const std::vector<Seed> seeds = readInputs(KELVO_FUZZ_CORPUS);
    if (seeds.empty()) {
        std::cerr << "fuzz_" << targetName << ": empty corpus " << KELVO_FUZZ_CORPUS << "\n";
        return 2;
    }
    std::vector<std::string> pool;
    for (const Seed& seed : seeds) {
        runOne(seed.data, "corpus file " + seed.name);
        pool.push_back(seed.data);
    }

    const std::uint64_t runs = environmentNumber("KELVO_FUZZ_RUNS", 20000);
    const std::uint64_t seconds = environmentNumber("KELVO_FUZZ_SECONDS", 3);
    const std::uint64_t seed = environmentNumber("KELVO_FUZZ_SEED", 0x6b656c766fULL);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);

    // Mutants join a bounded pool now and then, so mutations compound without coverage feedback.
    const std::size_t seedCount = pool.size();
    constexpr std::size_t maxMutants = 256;
    std::size_t nextSlot = 0;
    Mutator mutator(seed);
    std::uint64_t done = 0;
    for (; done < runs && std::chrono::steady_clock::now() < deadline; ++done) {
        const std::size_t base = mutator.below(pool.size());
        std::string mutant = mutator.mutate(pool[base], pool);
        runOne(mutant, "mutation " + std::to_string(done) + " (seed " + std::to_string(seed) + ")");
        if (mutator.below(8) == 0) {
            if (pool.size() < seedCount + maxMutants) {
                pool.push_back(std::move(mutant));
            } else {
                pool[seedCount + nextSlot++ % maxMutants] = std::move(mutant);
            }
        }
    }
    std::cout << "fuzz_" << targetName << ": " << seeds.size() << " corpus files and " << done
              << " mutations passed\n";
    return 0;
}
