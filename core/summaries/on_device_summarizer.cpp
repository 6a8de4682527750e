#include "core/summaries/on_device_summarizer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <sys/utsname.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>

#include <nlohmann/json.hpp>

#include "core/summaries/generated_digest.h"
#include "core/summaries/summary_prompt.h"

namespace kelvo {

namespace {

using nlohmann::json;

constexpr std::string_view defaultBaseURL = "http://127.0.0.1:11434/v1";
// Answers larger than this are not a digest; reading stops there.
constexpr std::size_t maxAnswerBytes = 8 * 1024 * 1024;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string withoutTrailingSlashes(std::string url) {
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

std::string asLimit(std::chrono::milliseconds limit) {
    const long long ms = limit.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

std::string kernelRelease() {
    utsname names{};
    return ::uname(&names) == 0 ? std::string(names.release) : std::string("unknown");
}

void initialiseCurl() {
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)initialised;
}

// The scheme and host of an http(s) URL, or nothing when it is not one.
struct Address {
    std::string scheme;
    std::string host;
};

std::optional<Address> parseAddress(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    const auto part = [&](CURLUPart which) -> std::optional<std::string> {
        char* value = nullptr;
        if (curl_url_get(handle.get(), which, &value, 0) != CURLUE_OK || value == nullptr) {
            return std::nullopt;
        }
        std::string out(value);
        curl_free(value);
        return out;
    };
    auto scheme = part(CURLUPART_SCHEME);
    auto host = part(CURLUPART_HOST);
    if (!scheme || !host || host->empty()) {
        return std::nullopt;
    }
    std::transform(scheme->begin(), scheme->end(), scheme->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (*scheme != "http" && *scheme != "https") {
        return std::nullopt;
    }
    return Address{*scheme, *host};
}

// "localhost", 127.0.0.0/8 and ::1 (also as an IPv4-mapped address).
bool isLoopback(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (host == "localhost" || host == "localhost.") {
        return true;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) {
            return true;
        }
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

struct Response {
    CURLcode result = CURLE_OK;
    long status = 0;
    std::string body;
    std::string error;  // libcurl's message when result is not CURLE_OK
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target) {
    auto* body = static_cast<std::string*>(target);
    const std::size_t bytes = size * count;
    if (body->size() + bytes > maxAnswerBytes) {
        return 0;  // libcurl stops with CURLE_WRITE_ERROR
    }
    body->append(data, bytes);
    return bytes;
}

// One request, never through a proxy (the server is on this computer), no redirects, no
// signals (safe on any thread), limited to `limit` in all.
Response request(const std::string& url, const std::string* postBody,
                 std::chrono::milliseconds limit) {
    initialiseCurl();
    Response response;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        response.result = CURLE_FAILED_INIT;
        response.error = "libcurl could not start";
        return response;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response.body);
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr,
                                                                        curl_slist_free_all);
    headers.reset(curl_slist_append(headers.release(), "Accept: application/json"));
    if (postBody != nullptr) {
        headers.reset(curl_slist_append(headers.release(), "Content-Type: application/json"));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postBody->c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(postBody->size()));
    }
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    response.result = curl_easy_perform(handle);
    if (response.result != CURLE_OK) {
        response.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(response.result);
    }
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

// The server's own error text ({"error": {"message": ...}} or {"error": "..."}), else the start
// of the body.
std::string serverMessage(const std::string& body) {
    const json parsed = json::parse(body, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
        const auto error = parsed.find("error");
        if (error != parsed.end()) {
            if (error->is_string()) {
                return error->get<std::string>();
            }
            if (error->is_object() && error->contains("message") &&
                (*error)["message"].is_string()) {
                return (*error)["message"].get<std::string>();
            }
        }
    }
    std::string start = body.substr(0, 200);
    std::replace(start.begin(), start.end(), '\n', ' ');
    return start;
}

bool offers(const std::string& listed, const std::string& wanted) {
    // Ollama lists "name:latest" for a model asked for as "name".
    return listed == wanted || listed == wanted + ":latest";
}

}  // namespace

OnDeviceSummarizer::Config OnDeviceSummarizer::Config::fromEnvironment() {
    Config config;
    const std::string url = environment("KELVO_MODEL_URL");
    config.baseURL = withoutTrailingSlashes(url.empty() ? std::string(defaultBaseURL) : url);
    const std::string model = environment("KELVO_MODEL");
    if (!model.empty()) {
        config.model = model;
    }
    config.allowRemote = environment("KELVO_MODEL_ALLOW_REMOTE") == "1";
    return config;
}

std::string OnDeviceSummarizer::Status::text() const {
    return available ? model + " at " + serverURL : "Unavailable: " + reason;
}

OnDeviceSummarizer::OnDeviceSummarizer() : OnDeviceSummarizer(Config::fromEnvironment()) {}

OnDeviceSummarizer::OnDeviceSummarizer(Config config) : config_(std::move(config)) {
    config_.baseURL = withoutTrailingSlashes(config_.baseURL);
}

OnDeviceSummarizer::Status OnDeviceSummarizer::check() const {
    Status status;
    status.serverURL = config_.baseURL;
    const auto unavailable = [&](std::string reason) {
        status.reason = std::move(reason);
        return status;
    };

    const std::optional<Address> address = parseAddress(config_.baseURL);
    if (!address) {
        return unavailable("KELVO_MODEL_URL is not an http or https address: \"" + config_.baseURL +
                           "\"");
    }
    if (!config_.allowRemote && !isLoopback(address->host)) {
        return unavailable("the model server " + address->host +
                           " is not on this computer (KELVO_MODEL_ALLOW_REMOTE=1 allows it)");
    }

    const Response response =
        request(config_.baseURL + "/models", nullptr, config_.availabilityLimit);
    if (response.result == CURLE_OPERATION_TIMEDOUT) {
        return unavailable("the model server at " + config_.baseURL + " did not answer within " +
                           asLimit(config_.availabilityLimit));
    }
    if (response.result != CURLE_OK) {
        return unavailable("no model server answers at " + config_.baseURL + " (" + response.error +
                           ")");
    }
    if (response.status < 200 || response.status > 299) {
        return unavailable("the model server at " + config_.baseURL + " answered HTTP " +
                           std::to_string(response.status) + " to the model list");
    }

    const json list = json::parse(response.body, nullptr, false);
    const json* data = nullptr;
    if (!list.is_discarded() && list.is_object() && list.contains("data") &&
        list["data"].is_array()) {
        data = &list["data"];
    }
    if (data == nullptr) {
        return unavailable("the model server at " + config_.baseURL +
                           " sent an unreadable model list");
    }
    std::vector<std::string> ids;
    for (const json& entry : *data) {
        if (entry.is_object() && entry.contains("id") && entry["id"].is_string() &&
            !entry["id"].get<std::string>().empty()) {
            ids.push_back(entry["id"].get<std::string>());
        }
    }
    if (ids.empty()) {
        return unavailable("the model server at " + config_.baseURL + " offers no model");
    }
    if (config_.model) {
        const bool listed = std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
            return offers(id, *config_.model);
        });
        if (!listed) {
            return unavailable("the model server at " + config_.baseURL +
                               " does not offer the model \"" + *config_.model + "\"");
        }
        status.model = *config_.model;
    } else {
        status.model = ids.front();
    }
    status.available = true;
    status.reason = "available";
    {
        const std::lock_guard lock(mutex_);
        lastModel_ = status.model;
    }
    return status;
}

OnDeviceSummarizer::Status OnDeviceSummarizer::status() const {
    return check();
}

bool OnDeviceSummarizer::isAvailable() const {
    return check().available;
}

std::string OnDeviceSummarizer::unavailableReason() const {
    return check().reason;
}

std::string OnDeviceSummarizer::modelVersion() const {
    std::optional<std::string> model;
    {
        const std::lock_guard lock(mutex_);
        model = lastModel_;
    }
    if (!model) {
        model = config_.model;
    }
    if (!model) {
        const Status now = check();
        model = now.available ? now.model : std::string("unknown");
    }
    return "local-model " + *model + "; Linux " + kernelRelease();
}

std::optional<VideoDigest> OnDeviceSummarizer::digest(const VideoMetadata& meta) {
    const Status now = check();
    if (!now.available) {
        return std::nullopt;
    }

    const json body = {
        {"model", now.model},
        {"messages",
         {
             {{"role", "system"}, {"content", SummaryPrompt::instructions}},
             {{"role", "user"}, {"content", SummaryPrompt::render(meta)}},
         }},
        {"response_format",
         {{"type", "json_schema"},
          {"json_schema",
           {{"name", "GeneratedDigest"},
            {"strict", true},
            {"schema", GeneratedDigest::schema()}}}}},
        {"stream", false},
    };
    // Titles are not always valid UTF-8; such bytes go to the model as U+FFFD.
    const std::string text = body.dump(-1, ' ', false, json::error_handler_t::replace);

    const Response response =
        request(config_.baseURL + "/chat/completions", &text, config_.generationLimit);
    if (response.result == CURLE_OPERATION_TIMEDOUT) {
        throw SummarizerError("the local model gave no answer within " +
                              asLimit(config_.generationLimit));
    }
    if (response.result != CURLE_OK) {
        throw SummarizerError("the local model server failed: " + response.error);
    }
    if (response.status < 200 || response.status > 299) {
        throw SummarizerError("the local model server answered HTTP " +
                              std::to_string(response.status) + ": " +
                              serverMessage(response.body));
    }

    const json answer = json::parse(response.body, nullptr, false);
    const json* content = nullptr;
    if (!answer.is_discarded() && answer.is_object() && answer.contains("choices") &&
        answer["choices"].is_array() && !answer["choices"].empty()) {
        const json& choice = answer["choices"][0];
        if (choice.is_object() && choice.contains("message") && choice["message"].is_object() &&
            choice["message"].contains("content") && choice["message"]["content"].is_string()) {
            content = &choice["message"]["content"];
        }
    }
    if (content == nullptr) {
        throw SummarizerError("the local model server's answer holds no message");
    }
    return GeneratedDigest::fromJSON(content->get_ref<const std::string&>()).normalized();
}

}  // namespace kelvo
