#pragma once

// Summaries from a language model served on this computer through the OpenAI-compatible chat
// API (Ollama, llama.cpp's server and the like). Nothing leaves the machine: a server URL whose
// host is not a loopback address is refused unless KELVO_MODEL_ALLOW_REMOTE=1.
//
// Configuration, read from the environment by the default constructor:
//   KELVO_MODEL_URL           the API base, default "http://127.0.0.1:11434/v1"
//   KELVO_MODEL               the model id, default the first id GET <base>/models lists
//   KELVO_MODEL_ALLOW_REMOTE  "1" allows a server on another host

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "core/summaries/summarizer.h"

namespace kelvo {

class OnDeviceSummarizer : public Summarizer {
  public:
    struct Config {
        std::string baseURL = "http://127.0.0.1:11434/v1";
        std::optional<std::string> model;  // none: the first model the server lists
        bool allowRemote = false;
        // GET /models must answer within this for the model to count as available.
        std::chrono::milliseconds availabilityLimit{2000};
        // One generation may take this long (a model's first answer includes loading it).
        std::chrono::milliseconds generationLimit{120000};

        // The configuration the environment variables above describe.
        static Config fromEnvironment();
    };

    // What the Settings window shows about summaries.
    struct Status {
        bool available = false;
        std::string model;      // the model id summaries use; empty when unavailable
        std::string serverURL;  // the configured API base
        std::string reason;     // "available", or why no summaries are made

        // "<model> at <server>" or "Unavailable: <reason>".
        std::string text() const;
    };

    OnDeviceSummarizer();
    explicit OnDeviceSummarizer(Config config);

    // "local-model " + model id + "; Linux " + kernel release. The model id is the one the
    // last digest or availability check used (resolved now when there was none).
    std::string modelVersion() const override;

    // GET <base>/models answered within the availability limit and offers a usable model.
    bool isAvailable() const override;
    std::string unavailableReason() const override;
    Status status() const;

    // No digest when the model is unavailable. Otherwise one POST <base>/chat/completions with
    // the instructions, the rendered prompt and a json_schema response format; throws
    // SummarizerError when that fails, times out or answers something unreadable.
    std::optional<VideoDigest> digest(const VideoMetadata& meta) override;

    const Config& config() const { return config_; }

  private:
    Status check() const;

    Config config_;
    mutable std::mutex mutex_;
    mutable std::optional<std::string> lastModel_;
};

}  // namespace kelvo
