#pragma once

// The one error type of kelvo's download engine.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvo {

// A failure of the engine. what() is the description that the catalog stores and the activity
// log shows:
//   toolMissing  "<tool> not found (looked in KELVO_TOOLS_DIR, tools/ next to kelvo, Vendor/bin,
//                PATH)"
//   needsSignIn  "needs sign-in: " + the summary line of yt-dlp's error text
//   refused      refusedMessage: YouTube refuses this computer for now (HTTP 429, the bot
//                check), whatever the video; the summary line stays in payload()
//   failed       the message unchanged
class EngineError : public std::runtime_error {
  public:
    enum class Kind { toolMissing, needsSignIn, refused, failed };

    // What kelvo says when YouTube refuses this computer: what happened and what helps.
    static constexpr std::string_view refusedMessage =
        "YouTube is refusing this computer for now (too many requests or a bot check). "
        "Waiting helps; so does “Use cookies from” a browser in Settings (kelvo-cli "
        "settings cookies-from NAME).";

    // The message of the `failed` error thrown when a job is stopped (see YTDLPEngine).
    static constexpr std::string_view stoppedMessage = "stopped";

    static EngineError toolMissing(std::string tool);
    static EngineError needsSignIn(std::string summary);
    static EngineError refused(std::string summary);
    static EngineError failed(std::string message);
    // failed("stopped"): yt-dlp was terminated or a retry pause was cut short on request.
    static EngineError stopped();

    // yt-dlp's error text turned into refused, needsSignIn or failed, in that order of
    // precedence: a bot check asks to "sign in" too, but it is about this computer, not the
    // video. The summary is the last line that contains "ERROR", else the last non-empty line,
    // else "yt-dlp failed".
    static EngineError classify(std::string_view stderrText);

    Kind kind() const { return kind_; }
    // The tool name, the summary or the message: the error's text without the prefix.
    const std::string& payload() const { return payload_; }
    std::string description() const { return what(); }

    // A `failed` error whose message names a network hiccup worth another run ("403",
    // "timed out", "connection reset", ...).
    bool isTransient() const;
    // The error a stopped job throws.
    bool isStopped() const { return kind_ == Kind::failed && payload_ == stoppedMessage; }

    bool operator==(const EngineError& other) const {
        return kind_ == other.kind_ && payload_ == other.payload_;
    }

  private:
    EngineError(Kind kind, std::string payload, const std::string& description);

    Kind kind_;
    std::string payload_;
};

// True when the message, lower-cased, names a transient network failure.
bool isTransientMessage(std::string_view message);

// True when yt-dlp's error text carries its own advice to update it ("Confirm you are on the
// latest version using yt-dlp -U", "Make sure you are using the latest version").
bool advisesUpdate(std::string_view text);

}  // namespace kelvo
