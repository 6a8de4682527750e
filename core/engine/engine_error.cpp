#include "core/engine/engine_error.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>
#include <vector>

namespace kelvo {

namespace {

std::string asciiLowercased(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

bool containsAny(std::string_view haystack, std::span<const std::string_view> needles) {
    return std::any_of(needles.begin(), needles.end(), [&](std::string_view needle) {
        return haystack.find(needle) != std::string_view::npos;
    });
}

constexpr std::array<std::string_view, 7> signInPhrases = {
    "private video",
    "members-only",
    "join this channel",
    "available to this channel's members",
    "sign in to confirm your age",
    "age-restricted",
    "inappropriate for some users",
};

// YouTube refusing this computer rather than one video: a rate limit or the bot check.
constexpr std::array<std::string_view, 6> refusalPhrases = {
    "http error 429",
    "too many requests",
    "confirm you're not a bot",
    "confirm you’re not a bot",
    "confirm that you're not a bot",
    "rate-limited by youtube",
};

constexpr std::array<std::string_view, 3> updateAdvice = {
    "confirm you are on the latest version",
    "make sure you are using the latest version",
    "yt-dlp -u",
};

constexpr std::array<std::string_view, 8> transientPhrases = {
    "403",
    "timed out",
    "timeout",
    "connection reset",
    "connection aborted",
    "temporary failure in name resolution",
    "network is unreachable",
    "remote end closed",
};

}  // namespace

EngineError::EngineError(Kind kind, std::string payload, const std::string& description)
    : std::runtime_error(description), kind_(kind), payload_(std::move(payload)) {}

EngineError EngineError::toolMissing(std::string tool) {
    const std::string description =
        tool + " not found (looked in KELVO_TOOLS_DIR, tools/ next to kelvo, Vendor/bin, PATH)";
    return EngineError(Kind::toolMissing, std::move(tool), description);
}

EngineError EngineError::needsSignIn(std::string summary) {
    const std::string description = "needs sign-in: " + summary;
    return EngineError(Kind::needsSignIn, std::move(summary), description);
}

EngineError EngineError::refused(std::string summary) {
    return EngineError(Kind::refused, std::move(summary), std::string(refusedMessage));
}

EngineError EngineError::failed(std::string message) {
    const std::string description = message;
    return EngineError(Kind::failed, std::move(message), description);
}

EngineError EngineError::stopped() {
    return failed(std::string(stoppedMessage));
}

EngineError EngineError::classify(std::string_view stderrText) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= stderrText.size()) {
        std::size_t end = stderrText.find('\n', start);
        if (end == std::string_view::npos) {
            end = stderrText.size();
        }
        if (end > start) {
            lines.push_back(stderrText.substr(start, end - start));
        }
        start = end + 1;
    }

    std::string summary = "yt-dlp failed";
    const auto errorLine = std::find_if(lines.rbegin(), lines.rend(), [](std::string_view line) {
        return line.find("ERROR") != std::string_view::npos;
    });
    if (errorLine != lines.rend()) {
        summary = std::string(*errorLine);
    } else if (!lines.empty()) {
        summary = std::string(lines.back());
    }

    // The phrases are ASCII (or match byte for byte), so an ASCII lower-casing finds them as
    // well as a full one would.
    const std::string lower = asciiLowercased(stderrText);
    if (containsAny(lower, refusalPhrases)) {
        return refused(std::move(summary));
    }
    if (containsAny(lower, signInPhrases)) {
        return needsSignIn(std::move(summary));
    }
    return failed(std::move(summary));
}

bool EngineError::isTransient() const {
    return kind_ == Kind::failed && isTransientMessage(payload_);
}

bool isTransientMessage(std::string_view message) {
    return containsAny(asciiLowercased(message), transientPhrases);
}

bool advisesUpdate(std::string_view text) {
    return containsAny(asciiLowercased(text), updateAdvice);
}

}  // namespace kelvo
