#include "core/summaries/on_device_summarizer.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/summaries/generated_digest.h"
#include "core/summaries/summary_prompt.h"
#include "tests/fixtures/model_server.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

std::string kernelRelease() {
    utsname names{};
    uname(&names);
    return names.release;
}

VideoMetadata bread() {
    VideoMetadata meta;
    meta.id = "abcdefghijk";
    meta.title = "Sourdough bread";
    meta.channel = "Baker";
    meta.tags = {"bread"};
    meta.description = "How to bake it.";
    return meta;
}

json completion(const std::string& content) {
    return {{"chat_content", content}};
}

class OnDeviceSummarizerTest : public ::testing::Test {
  protected:
    OnDeviceSummarizer::Config configFor(const test::ModelServer& server) const {
        OnDeviceSummarizer::Config config;
        config.baseURL = server.baseURL();
        return config;
    }

    // The message of the SummarizerError that digest throws, or "(no error)".
    std::string failure(OnDeviceSummarizer& summarizer) {
        try {
            summarizer.digest(bread());
        } catch (const SummarizerError& error) {
            return error.what();
        }
        return "(no error)";
    }

    test::Sandbox sandbox;
};

TEST_F(OnDeviceSummarizerTest, AvailableServerGivesADigest) {
    test::ModelServer server(sandbox / "server",
                             {{"models", {"first-model", "second-model"}},
                              {"chat_content", json({{"summary", "  A loaf is baked.\n"},
                                                     {"tags", {" Bread ", "bread", "", "Baking"}}})
                                                   .dump()}});
    OnDeviceSummarizer summarizer(configFor(server));

    const OnDeviceSummarizer::Status status = summarizer.status();
    EXPECT_TRUE(status.available);
    EXPECT_EQ(status.model, "first-model");
    EXPECT_EQ(status.reason, "available");
    EXPECT_EQ(status.text(), "first-model at " + server.baseURL());
    EXPECT_TRUE(summarizer.isAvailable());
    EXPECT_EQ(summarizer.unavailableReason(), "available");

    const std::optional<VideoDigest> digest = summarizer.digest(bread());
    ASSERT_TRUE(digest);
    EXPECT_EQ(*digest, (VideoDigest{"A loaf is baked.", {"bread", "baking"}}));
    EXPECT_EQ(summarizer.modelVersion(), "local-model first-model; Linux " + kernelRelease());

    // The generation request: the model, the instructions, the prompt and the schema.
    const std::vector<json> requests = server.requests();
    ASSERT_FALSE(requests.empty());
    const json& post = requests.back();
    EXPECT_EQ(post["method"], "POST");
    EXPECT_EQ(post["path"], "/v1/chat/completions");
    const json& body = post["body"];
    EXPECT_EQ(body["model"], "first-model");
    EXPECT_EQ(body["messages"],
              json::array({{{"role", "system"}, {"content", SummaryPrompt::instructions}},
                           {{"role", "user"}, {"content", SummaryPrompt::render(bread())}}}));
    EXPECT_EQ(body["response_format"]["type"], "json_schema");
    EXPECT_EQ(body["response_format"]["json_schema"]["schema"], GeneratedDigest::schema());
    EXPECT_FALSE(body.contains("temperature"));
    EXPECT_FALSE(body.contains("max_tokens"));
}

TEST_F(OnDeviceSummarizerTest, ConfiguredModelMustBeOffered) {
    test::ModelServer server(sandbox / "server", {{"models", {"llama3.2:latest", "other"}}});
    struct Case {
        std::string model;
        bool available;
    };
    for (const Case& c : std::vector<Case>{
             {"other", true}, {"llama3.2", true}, {"llama3.2:latest", true}, {"missing", false}}) {
        OnDeviceSummarizer::Config config = configFor(server);
        config.model = c.model;
        OnDeviceSummarizer summarizer(config);
        const OnDeviceSummarizer::Status status = summarizer.status();
        EXPECT_EQ(status.available, c.available) << c.model;
        if (c.available) {
            EXPECT_EQ(status.model, c.model);
            EXPECT_EQ(summarizer.modelVersion(),
                      "local-model " + c.model + "; Linux " + kernelRelease());
            ASSERT_TRUE(summarizer.digest(bread()));
            EXPECT_EQ(server.requests().back()["body"]["model"], c.model);
        } else {
            EXPECT_NE(status.reason.find("does not offer the model \"missing\""), std::string::npos)
                << status.reason;
            EXPECT_EQ(status.text(), "Unavailable: " + status.reason);
        }
    }
}

TEST_F(OnDeviceSummarizerTest, UnavailableServersGiveNoDigest) {
    struct Case {
        const char* name;
        json script;
        std::string reasonPart;
    };
    const std::vector<Case> cases = {
        {"no model", {{"models", json::array()}}, "offers no model"},
        {"ids missing",
         {{"models_body", R"({"data": [{"name": "x"}, {"id": ""}]})"}},
         "offers no model"},
        {"not a list", {{"models_body", "<html>hello</html>"}}, "unreadable model list"},
        {"HTTP error", {{"models_status", 503}}, "answered HTTP 503"},
        {"too slow", {{"models_delay", 2}}, "did not answer within 300 ms"},
    };
    test::ModelServer server(sandbox / "server", json::object());
    OnDeviceSummarizer::Config config = configFor(server);
    config.availabilityLimit = 300ms;
    OnDeviceSummarizer summarizer(config);
    for (const Case& c : cases) {
        server.setScript(c.script);
        EXPECT_FALSE(summarizer.isAvailable()) << c.name;
        const std::string reason = summarizer.unavailableReason();
        EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << c.name << ": " << reason;
        EXPECT_EQ(summarizer.digest(bread()), std::nullopt) << c.name;
    }
    for (const json& request : server.requests()) {
        EXPECT_EQ(request["method"], "GET") << "no generation was asked for";
    }
}

TEST_F(OnDeviceSummarizerTest, NoServerGivesNoDigest) {
    OnDeviceSummarizer::Config config;
    config.baseURL = "http://127.0.0.1:" + std::to_string(test::unusedPort()) + "/v1";
    OnDeviceSummarizer summarizer(config);
    EXPECT_FALSE(summarizer.isAvailable());
    EXPECT_NE(summarizer.unavailableReason().find("no model server answers at " + config.baseURL),
              std::string::npos)
        << summarizer.unavailableReason();
    EXPECT_EQ(summarizer.digest(bread()), std::nullopt);
    EXPECT_EQ(summarizer.modelVersion(), "local-model unknown; Linux " + kernelRelease());
}

TEST_F(OnDeviceSummarizerTest, FailedGenerationsThrow) {
    struct Case {
        const char* name;
        json script;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"not JSON", completion("Sure! Here is a summary of the video."),
         "the local model's answer is not JSON"},
        {"wrong shape", completion(R"({"summary": "S.", "tags": "a, b"})"),
         "the local model's answer has no \"tags\" list"},
        {"HTTP error",
         {{"chat_status", 500}, {"chat_body", R"({"error": {"message": "out of memory"}})"}},
         "the local model server answered HTTP 500: out of memory"},
        {"HTTP error, plain body",
         {{"chat_status", 404}, {"chat_body", "model not found"}},
         "the local model server answered HTTP 404: model not found"},
        {"no completion",
         {{"chat_body", R"({"object": "chat.completion", "choices": []})"}},
         "the local model server's answer holds no message"},
        {"refusal",
         {{"chat_body", R"({"choices": [{"message": {"content": null}}]})"}},
         "the local model server's answer holds no message"},
        {"body not JSON",
         {{"chat_body", "garbage"}},
         "the local model server's answer holds no message"},
    };
    test::ModelServer server(sandbox / "server", json::object());
    OnDeviceSummarizer summarizer(configFor(server));
    for (const Case& c : cases) {
        server.setScript(c.script);
        EXPECT_EQ(failure(summarizer), c.message) << c.name;
    }
}

TEST_F(OnDeviceSummarizerTest, GenerationLimitFires) {
    test::ModelServer server(sandbox / "server", {{"chat_hang", true}});
    OnDeviceSummarizer::Config config = configFor(server);
    config.generationLimit = 400ms;
    OnDeviceSummarizer summarizer(config);
    EXPECT_EQ(failure(summarizer), "the local model gave no answer within 400 ms");

    // A slow answer inside the limit is fine.
    server.setScript({{"chat_delay", 0.2}});
    config.generationLimit = 5s;
    OnDeviceSummarizer patient(config);
    EXPECT_TRUE(patient.digest(bread()));
}

TEST_F(OnDeviceSummarizerTest, ModelThatAppearsLaterIsUsedFromTheNextCall) {
    test::ModelServer server(sandbox / "server", {{"models", json::array()}});
    OnDeviceSummarizer summarizer(configFor(server));
    EXPECT_EQ(summarizer.digest(bread()), std::nullopt);
    server.setScript({{"models", {"late-model"}}});
    EXPECT_TRUE(summarizer.digest(bread()));
    EXPECT_EQ(summarizer.modelVersion(), "local-model late-model; Linux " + kernelRelease());
}

TEST_F(OnDeviceSummarizerTest, RefusesServersOnOtherHosts) {
    const std::string deadPort = std::to_string(test::unusedPort());
    struct Case {
        std::string url;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"http://example.com/v1", true},
        {"https://10.0.0.1:11434/v1", true},
        {"http://128.0.0.1/v1", true},
        {"http://127.0.0.1.example.com/v1", true},
        {"http://0.0.0.0:" + deadPort + "/v1", true},
        {"http://user@192.0.2.1/v1", true},
        {"http://127.0.0.1:" + deadPort + "/v1", false},
        {"http://127.9.8.7:" + deadPort + "/v1", false},
        {"http://LOCALHOST:" + deadPort + "/v1", false},
        {"http://[::1]:" + deadPort + "/v1", false},
        {"http://[::ffff:127.0.0.1]:" + deadPort + "/v1", false},
    };
    for (const Case& c : cases) {
        OnDeviceSummarizer::Config config;
        config.baseURL = c.url;
        config.availabilityLimit = 500ms;
        OnDeviceSummarizer summarizer(config);
        const std::string reason = summarizer.unavailableReason();
        EXPECT_EQ(reason.find("is not on this computer (KELVO_MODEL_ALLOW_REMOTE=1 allows it)") !=
                      std::string::npos,
                  c.refused)
            << c.url << ": " << reason;
        EXPECT_EQ(summarizer.digest(bread()), std::nullopt) << c.url;
    }

    // Allowed, another host is tried (and, here, does not answer).
    OnDeviceSummarizer::Config remote;
    remote.baseURL = "http://192.0.2.1:9/v1";
    remote.allowRemote = true;
    remote.availabilityLimit = 300ms;
    const std::string reason = OnDeviceSummarizer(remote).unavailableReason();
    EXPECT_EQ(reason.find("not on this computer"), std::string::npos) << reason;

    for (const char* unusable : {"ftp://127.0.0.1/v1", "127.0.0.1:11434", "", "http://"}) {
        OnDeviceSummarizer::Config config;
        config.baseURL = unusable;
        EXPECT_NE(OnDeviceSummarizer(config).unavailableReason().find(
                      "KELVO_MODEL_URL is not an http or https address"),
                  std::string::npos)
            << unusable;
    }
}

// Sets environment variables for one test and restores them afterwards.
class ScopedEnvironment {
  public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(OnDeviceSummarizerTest, ReadsItsConfigurationFromTheEnvironment) {
    {
        ScopedEnvironment environment;
        environment.set("KELVO_MODEL_URL", nullptr);
        environment.set("KELVO_MODEL", "");
        environment.set("KELVO_MODEL_ALLOW_REMOTE", nullptr);
        const auto config = OnDeviceSummarizer::Config::fromEnvironment();
        EXPECT_EQ(config.baseURL, "http://127.0.0.1:11434/v1");
        EXPECT_EQ(config.model, std::nullopt);
        EXPECT_FALSE(config.allowRemote);
        EXPECT_EQ(config.availabilityLimit, 2s);
        EXPECT_EQ(config.generationLimit, 120s);
    }
    {
        ScopedEnvironment environment;
        environment.set("KELVO_MODEL_URL", "http://localhost:8080/v1/");
        environment.set("KELVO_MODEL", "qwen2.5");
        environment.set("KELVO_MODEL_ALLOW_REMOTE", "1");
        const auto config = OnDeviceSummarizer::Config::fromEnvironment();
        EXPECT_EQ(config.baseURL, "http://localhost:8080/v1");
        EXPECT_EQ(config.model, "qwen2.5");
        EXPECT_TRUE(config.allowRemote);
        EXPECT_EQ(OnDeviceSummarizer().config().model, "qwen2.5");
    }
    {
        ScopedEnvironment environment;
        environment.set("KELVO_MODEL_ALLOW_REMOTE", "yes");
        EXPECT_FALSE(OnDeviceSummarizer::Config::fromEnvironment().allowRemote);
    }
}

TEST_F(OnDeviceSummarizerTest, NeverGoesThroughAProxy) {
    // A proxy would carry the video's data off the machine; here it would also swallow the
    // requests, since nothing listens on its port.
    test::ModelServer server(sandbox / "server", json::object());
    const std::string proxy = "http://127.0.0.1:" + std::to_string(test::unusedPort());
    ScopedEnvironment environment;
    for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"}) {
        environment.set(name, proxy.c_str());
    }
    environment.set("no_proxy", nullptr);
    environment.set("NO_PROXY", nullptr);
    OnDeviceSummarizer summarizer(configFor(server));
    EXPECT_TRUE(summarizer.isAvailable()) << summarizer.unavailableReason();
    EXPECT_TRUE(summarizer.digest(bread()));
}

TEST_F(OnDeviceSummarizerTest, SendsTitlesThatAreNotUTF8) {
    test::ModelServer server(sandbox / "server", json::object());
    OnDeviceSummarizer summarizer(configFor(server));
    VideoMetadata meta = bread();
    meta.title = "broken \xff title";
    EXPECT_TRUE(summarizer.digest(meta));
    EXPECT_EQ(server.requests().back()["body"]["messages"][1]["content"],
              "Title: broken \uFFFD title\nChannel: Baker\nYouTube tags: bread\nDescription: How "
              "to bake it.");
}

}  // namespace
}  // namespace kelvo
