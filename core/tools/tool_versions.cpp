#include "core/tools/tool_versions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/engine/child_process.h"

namespace kelvo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        if (i > start) {
            result.push_back(line.substr(start, i - start));
        }
    }
    return result;
}

// Reads a number of 1 to `maxDigits` digits at `text[at]`, moving `at` past it.
std::optional<int> number(std::string_view text, std::size_t& at, std::size_t maxDigits) {
    std::size_t end = at;
    while (end < text.size() && isDigit(text[end]) && end - at < maxDigits) {
        ++end;
    }
    int value = 0;
    if (end == at ||
        std::from_chars(text.data() + at, text.data() + end, value).ec != std::errc()) {
        return std::nullopt;
    }
    at = end;
    return value;
}

}  // namespace

std::optional<std::string> versionFromOutput(std::string_view output) {
    const std::vector<std::string_view> line = words(output.substr(0, output.find('\n')));
    if (line.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] == "version") {
            return std::string(line[i + 1]);
        }
    }
    for (std::string_view word : line) {
        if ((word[0] == 'v' || word[0] == 'V') && word.size() > 1 && isDigit(word[1])) {
            return std::string(word.substr(1));
        }
        if (isDigit(word[0])) {
            return std::string(word);
        }
    }
    std::string joined(line.front());
    for (std::size_t i = 1; i < line.size(); ++i) {
        joined += ' ';
        joined += line[i];
    }
    return joined;
}

std::optional<std::string> toolVersion(const std::filesystem::path& tool,
                                       std::chrono::milliseconds limit, std::stop_token stop) {
    // ffmpeg knows only "-version" (it prints its version for "--version" too, then fails).
    const std::string versionFlag =
        tool.filename().string().starts_with("ffmpeg") ? "-version" : "--version";
    std::stop_source run;
    const std::stop_callback forward(stop, [&run] { run.request_stop(); });
    // Ends a tool that hangs instead of answering.
    const std::jthread watchdog([&run, limit](std::stop_token finished) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, finished, limit, [] { return false; });
        if (!finished.stop_requested()) {
            run.request_stop();
        }
    });
    try {
        const ChildResult result =
            runChild(tool, {versionFlag}, environmentEntries(currentEnvironment()), run.get_token(),
                     std::chrono::milliseconds(500));
        if (!result.succeeded()) {
            return std::nullopt;
        }
        return versionFromOutput(result.out);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<int> ytdlpAgeDays(std::string_view version, std::chrono::sys_days today) {
    std::size_t at = 0;
    const auto year = number(version, at, 4);
    if (!year || at != 4 || at >= version.size() || version[at++] != '.') {
        return std::nullopt;
    }
    const auto month = number(version, at, 2);
    if (!month || at >= version.size() || version[at++] != '.') {
        return std::nullopt;
    }
    const auto day = number(version, at, 2);
    if (!day || (at < version.size() && isDigit(version[at]))) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::max(0, static_cast<int>((today - std::chrono::sys_days(date)).count()));
}

std::chrono::sys_days utcToday() {
    return std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
}

}  // namespace kelvo
