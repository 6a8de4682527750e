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
//   failed       the message unchanged
class EngineError : public std::runtime_error {
  public:
    enum class Kind { toolMissing, needsSignIn, failed };

    // The message of the `failed` error thrown when a job is stopped (see YTDLPEngine).
    static constexpr std::string_view stoppedMessage = "stopped";

    static EngineError toolMissing(std::string tool);
    static EngineError needsSignIn(std::string summary);
    static EngineError failed(std::string message);
    // failed("stopped"): yt-dlp was terminated or a retry pause was cut short on request.
    static EngineError stopped();

    // yt-dlp's error text turned into needsSignIn or failed. The summary is the last line that
    // contains "ERROR", else the last non-empty line, else "yt-dlp failed".
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

}  // namespace kelvo
