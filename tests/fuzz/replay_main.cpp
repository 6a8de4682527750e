// The driver of a fuzz target in the ordinary build: a short, deterministic fuzz run that CTest
// can afford on every build.
//
//   fuzz_<target>                 every file of the seed corpus, then mutations of them
//   fuzz_<target> FILE...         just these inputs, unmutated (to replay a crash)
//
// Mutations come from a fixed seed and splice in the fragments of kelvo.dict (the dictionary
// scripts/fuzz gives libFuzzer), so a failure found here is found again on the next run.
// KELVO_FUZZ_RUNS (default 20000) bounds their number and KELVO_FUZZ_SECONDS (default 3) their
// time; KELVO_FUZZ_SEED picks another sequence. Each input is written as it is to
// crash-<target> in the working folder before it runs, and the file is removed when all passed:
// whatever ends the process (an invariant, a crash, a sanitizer, a timeout) leaves the input
// there. The first line of output names the file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

const std::string target = std::string("fuzz_") + KELVO_FUZZ_TARGET;
const fs::path crashFile = fs::current_path() / ("crash-" + std::string(KELVO_FUZZ_TARGET));
int crashFd = -1;

// Keeps the input in the crash file, then runs it from a heap block of exactly its size, as
// libFuzzer does, so that a read past its end is caught by the address sanitizer.
void run(const std::string& input) {
    if (::ftruncate(crashFd, 0) != 0 || ::pwrite(crashFd, input.data(), input.size(), 0) < 0) {
        std::cerr << target << ": cannot write " << crashFile << "\n";
        std::exit(2);
    }
    std::vector<std::uint8_t> block(input.begin(), input.end());
    LLVMFuzzerTestOneInput(block.empty() ? nullptr : block.data(), block.size());
}

std::string readFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The entries of a libFuzzer dictionary: one quoted value a line, with \\, \" and \xNN escapes.
std::vector<std::string> dictionary(const fs::path& path) {
    std::vector<std::string> out;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::size_t open = line.find('"');
        const std::size_t close = line.rfind('"');
        if (line.starts_with('#') || close == open) {
            continue;
        }
        std::string value;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (line.compare(i, 2, "\\x") == 0) {
                value += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                i += line[i] == '\\' ? 1 : 0;  // the escaped character itself
                value += line[i];
            }
        }
        out.push_back(value);
    }
    return out;
}

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

std::mt19937_64 random(environmentNumber("KELVO_FUZZ_SEED", 0x6b656c766fULL));

std::size_t below(std::size_t bound) {
    return bound == 0 ? 0 : static_cast<std::size_t>(random() % bound);
}

// One to four random edits: a byte in or out, a dictionary fragment in, a piece repeated many
// times (long names, deep nesting), a piece of another input spliced in.
std::string mutate(std::string s, const std::vector<std::string>& words,
                   const std::vector<std::string>& pool) {
    for (std::size_t step = 0, steps = 1 + below(4); step < steps; ++step) {
        const std::size_t at = below(s.size() + 1);
        const std::string& other = pool[below(pool.size())];
        switch (below(6)) {
            case 0:
                s.insert(at, 1, static_cast<char>(below(256)));
                break;
            case 1:
                s.erase(at, 1 + below(16));
                break;
            case 2:
            case 3:
                s.replace(at, below(2) * below(8), words[below(words.size())]);
                break;
            case 4:
                for (std::size_t n = 16 + below(256), length = 1 + below(8); n > 0; --n) {
                    s.insert(at, s, at, length);
                }
                break;
            default:
                s.insert(at, other, below(other.size() + 1), below(64));
        }
        s.resize(std::min<std::size_t>(s.size(), 16 * 1024));
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> pool;
    for (int i = 1; i < argc; ++i) {
        pool.push_back(readFile(argv[i]));
    }
    std::vector<fs::path> corpus(fs::directory_iterator(KELVO_FUZZ_CORPUS),
                                 fs::directory_iterator{});
    std::sort(corpus.begin(), corpus.end());
    for (std::size_t i = 0; argc == 1 && i < corpus.size(); ++i) {
        pool.push_back(readFile(corpus[i]));
    }
    const std::vector<std::string> words = dictionary(KELVO_FUZZ_DICTIONARY);
    // Opened once the inputs are read: one of them may be the crash file of an earlier run.
    crashFd = ::open(crashFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::cout << target << ": each input is kept in " << crashFile << " while it runs" << std::endl;
    if (crashFd < 0 || pool.empty() || words.empty()) {
        std::cerr << target << ": no crash file, inputs or dictionary\n";
        return 2;
    }
    for (const std::string& input : pool) {
        run(input);
    }

    // Given inputs run unmutated. Otherwise, now and then a mutant joins the pool (up to 256 of
    // them), so that mutations compound without coverage feedback.
    const std::uint64_t runs = argc > 1 ? 0 : environmentNumber("KELVO_FUZZ_RUNS", 20000);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::seconds(environmentNumber("KELVO_FUZZ_SECONDS", 3));
    const std::size_t inputCount = pool.size();
    std::uint64_t done = 0;
    for (; done < runs && std::chrono::steady_clock::now() < deadline; ++done) {
        std::string mutant = mutate(pool[below(pool.size())], words, pool);
        run(mutant);
        if (below(8) == 0 && pool.size() < inputCount + 256) {
            pool.push_back(std::move(mutant));
        }
    }
    ::close(crashFd);
    fs::remove(crashFile);
    std::cout << target << ": " << inputCount << " inputs and " << done << " mutations passed\n";
    return 0;
}
