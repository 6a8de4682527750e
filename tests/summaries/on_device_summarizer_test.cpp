// The summarizer against the stand-in model server (tests/fixtures/model_server.py).

#include "core/summaries/on_device_summarizer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/summaries/summary_prompt.h"
#include "tests/fixtures/model_server.h"
#include "tests/support/environment.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// The title is not UTF-8: such bytes go to the server as U+FFFD.
// clang-format off
const VideoMetadata bread{.id = "abcdefghijk", .title = "Sourdough \xff bread", .channel = "Baker",
                          .description = "How to bake it.", .tags = {"bread"}};
// clang-format on

// What one digest call came to: the model named in the request with the digest, no digest and
// why, or the error.
std::string outcome(OnDeviceSummarizer& summarizer, const test::ModelServer& server) {
    try {
        const std::optional<VideoDigest> digest = summarizer.digest(bread);
        if (!digest) {
            return "none: " + summarizer.unavailableReason();
        }
        std::string out = server.requests().back()["body"]["model"].get<std::string>() + ": " +
                          digest->summary + " |";
        for (const std::string& tag : digest->tags) {
            out += " " + tag;
        }
        return out;
    } catch (const SummarizerError& error) {
        return std::string("error: ") + error.what();
    }
}

TEST(OnDeviceSummarizer, AvailableServerGivesADigestFromOneExactRequest) {
    const test::Sandbox sandbox;
    test::ModelServer server(sandbox / "server", {{"models", {"first-model", "second-model"}}});
    OnDeviceSummarizer summarizer({.baseURL = server.baseURL() + "/"});
    EXPECT_EQ(summarizer.status().text(), "first-model at " + server.baseURL());
    EXPECT_TRUE(summarizer.digest(bread));
    EXPECT_TRUE(summarizer.modelVersion().starts_with("local-model first-model; Linux "));

    const json post = server.requests().back();
    EXPECT_EQ(post["method"], "POST");
    EXPECT_EQ(post["path"], "/v1/chat/completions");
    json expected = json::parse(R"({"model": "first-model", "stream": false, "messages": [
        {"role": "system", "content": ""}, {"role": "user", "content":
         "Title: Sourdough \ufffd bread\nChannel: Baker\nYouTube tags: bread\nDescription: How to bake it."}],
      "response_format": {"type": "json_schema", "json_schema": {"name": "GeneratedDigest",
        "strict": true, "schema": {"type": "object", "additionalProperties": false,
          "required": ["summary", "tags"], "properties": {
            "summary": {"type": "string",
              "description": "One or two plain sentences describing what the video is about."},
            "tags": {"type": "array", "items": {"type": "string"},
              "description": "Between 3 and 8 short lowercase search tags, one to three words each."}}}}}})");
    expected["messages"][0]["content"] = SummaryPrompt::instructions;
    EXPECT_EQ(post["body"], expected);
}

TEST(OnDeviceSummarizer, AnswersOfTheModelServer) {
    const test::Sandbox sandbox;
    test::ModelServer server(sandbox / "server", json::object());
    // A proxy would carry the video's data off the machine; here it would also swallow every
    // request, since nothing listens on its port.
    const std::string proxy = "http://127.0.0.1:" + std::to_string(test::unusedPort());
    const test::ScopedEnvironment environment{
        {"http_proxy", proxy}, {"HTTPS_PROXY", proxy},     {"ALL_PROXY", proxy},
        {"all_proxy", proxy},  {"no_proxy", std::nullopt}, {"NO_PROXY", std::nullopt}};
    const std::string at = "none: the model server at " + server.baseURL();
    const std::string standIn = ": A stand-in summary. | stand-in test";
    const std::string noMessage = "error: the local model server's answer holds no message";
    struct Case {
        json script;
        std::string outcome;
        std::optional<std::string> model;
        std::chrono::milliseconds availabilityLimit = 5s;
        std::chrono::milliseconds generationLimit = 120s;
    };
    const json offered = {{"models", {"llama3.2:latest", "other"}}};
    // clang-format off
    const Case cases[] = {
        {{{"models", {"first", "second"}},
          {"chat_content", R"({"summary": "  A loaf.\n", "tags": [" Bread ", "bread", "Baking"]})"}},
         "first: A loaf. | bread baking"},
        {offered, "llama3.2" + standIn, "llama3.2"},  // Ollama lists "name:latest" for "name"
        {offered, at + " does not offer the model \"missing\"", "missing"},
        {{{"models", json::array()}}, at + " offers no model"},
        {{{"models_body", R"({"data": [{"name": "x"}, {"id": ""}]})"}}, at + " offers no model"},
        {{{"models_body", "<html>hello</html>"}}, at + " sent an unreadable model list"},
        {{{"models_status", 503}}, at + " answered HTTP 503 to the model list"},
        {{{"models_delay", 2}}, at + " did not answer within 300 ms", {}, 300ms},
        {{{"chat_content", "Sure! Here is a summary."}}, "error: the local model's answer is not JSON"},
        {{{"chat_content", R"({"summary": "S.", "tags": "a, b"})"}},
         "error: the local model's answer has no \"tags\" list"},
        {{{"chat_status", 500}, {"chat_body", R"({"error": {"message": "out of memory"}})"}},
         "error: the local model server answered HTTP 500: out of memory"},
        {{{"chat_status", 404}, {"chat_body", "model not found"}},
         "error: the local model server answered HTTP 404: model not found"},
        {{{"chat_body", R"({"object": "chat.completion", "choices": []})"}}, noMessage},
        {{{"chat_body", R"({"choices": [{"message": {"content": null}}]})"}}, noMessage},
        {{{"chat_body", "garbage"}}, noMessage},
        {{{"chat_hang", true}}, "error: the local model gave no answer within 400 ms", {}, 5s, 400ms},
        // A slow answer inside the generation limit, beyond the availability limit: each has its own.
        {{{"chat_delay", 2.5}}, "stand-in-model" + standIn, {}, 2s, 60s}};
    // clang-format on
    const auto posts = [&] {
        const auto requests = server.requests();
        return std::count_if(requests.begin(), requests.end(),
                             [](const json& request) { return request["method"] == "POST"; });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        server.setScript(c.script);
        const auto postsBefore = posts();
        OnDeviceSummarizer summarizer(
            {server.baseURL(), c.model, false, c.availabilityLimit, c.generationLimit});
        EXPECT_EQ(outcome(summarizer, server), c.outcome);
        EXPECT_EQ(posts() - postsBefore, c.outcome.starts_with("none") ? 0 : 1);
    }

    // Availability is asked afresh: a model that appears later is used from the next call on.
    OnDeviceSummarizer summarizer({.baseURL = server.baseURL()});
    server.setScript({{"models", json::array()}});
    EXPECT_EQ(summarizer.digest(bread), std::nullopt);
    server.setScript({{"models", {"late-model"}}});
    EXPECT_EQ(outcome(summarizer, server), "late-model" + standIn);
    EXPECT_TRUE(summarizer.modelVersion().starts_with("local-model late-model; Linux "));
}

TEST(OnDeviceSummarizer, UsesOnlyServersOnThisComputer) {
    const test::Sandbox sandbox;
    test::ModelServer server(sandbox / "server", json::object());
    const std::string live = ":" + std::to_string(server.port()) + "/v1";
    const std::string dead = ":" + std::to_string(test::unusedPort()) + "/v1";
    const std::string away = " is not on this computer (KELVO_MODEL_ALLOW_REMOTE=1 allows it)";
    const std::string none = "no model server answers at http://";
    const std::string bad = "KELVO_MODEL_URL is not an http or https address: \"";
    const std::tuple<std::string, std::string, bool> cases[] = {
        // url, reason (its start), remote
        {"http://example.com/v1", "the model server example.com" + away, false},
        {"http://128.0.0.1" + live, "the model server 128.0.0.1" + away, false},
        {"http://127.0.0.1.example.com/v1", "the model server 127.0.0.1.example.com" + away, false},
        {"http://user@192.0.2.1/v1", "the model server 192.0.2.1" + away, false},
        {"http://0.0.0.0" + live, "the model server 0.0.0.0" + away, false},
        {"http://0.0.0.0" + live, "available", true},
        {"http://LOCALHOST" + live, "available", false},
        {"http://[::1]" + dead, none + "[::1]" + dead + " (", false},
        {"http://[::ffff:127.0.0.1]" + dead, none + "[::ffff:127.0.0.1]" + dead + " (", false},
        {"ftp://127.0.0.1/v1", bad + "ftp://127.0.0.1/v1\"", false},
        {"http://", bad + "http:\"", false},  // trailing slashes go first
    };
    for (const auto& [url, start, allowRemote] : cases) {
        SCOPED_TRACE(url);
        const std::size_t requests = server.requests().size();
        const std::string reason =
            OnDeviceSummarizer({.baseURL = url, .allowRemote = allowRemote}).unavailableReason();
        EXPECT_EQ(reason.substr(0, start.size()), start);
        EXPECT_EQ(server.requests().size() > requests, start == "available");
    }
    OnDeviceSummarizer nowhere({.baseURL = "http://127.0.0.1" + dead});
    EXPECT_TRUE(nowhere.modelVersion().starts_with("local-model unknown; Linux "));
}

TEST(OnDeviceSummarizer, ReadsItsConfigurationFromTheEnvironment) {
    test::ScopedEnvironment environment{{"KELVO_MODEL_URL", "http://localhost:8080/v1/"},
                                        {"KELVO_MODEL", "qwen2.5"},
                                        {"KELVO_MODEL_ALLOW_REMOTE", "1"}};
    const auto config = OnDeviceSummarizer().config();
    EXPECT_EQ(std::tie(config.baseURL, config.model, config.allowRemote),
              std::make_tuple("http://localhost:8080/v1", "qwen2.5", true));
    environment.set("KELVO_MODEL_ALLOW_REMOTE", "yes").set("KELVO_MODEL", "");
    EXPECT_FALSE(OnDeviceSummarizer::Config::fromEnvironment().allowRemote);
    EXPECT_EQ(OnDeviceSummarizer::Config::fromEnvironment().model, std::nullopt);
}

}  // namespace
}  // namespace kelvo
