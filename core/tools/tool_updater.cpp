#include "core/tools/tool_updater.h"

#include <archive.h>
#include <archive_entry.h>
#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

#include "core/tools/tool_versions.h"

namespace kelvo {

namespace fs = std::filesystem;
using Kind = ToolUpdateError::Kind;

namespace {

// Where one tool's releases are published.
struct Release {
    std::string_view tool;
    std::string_view repository;
    std::string_view asset;
    std::string_view checksums;
    bool zipped;  // the asset is a zip holding the tool
};

constexpr std::array<Release, 2> releases = {{
    {"yt-dlp", "yt-dlp/yt-dlp", "yt-dlp_linux", "SHA2-256SUMS", false},
    {"deno", "denoland/deno", "deno-x86_64-unknown-linux-gnu.zip",
     "deno-x86_64-unknown-linux-gnu.zip.sha256sum", true},
}};

// Checksum lists are small; anything larger is not one.
constexpr std::uint64_t checksumLimit = 1 << 20;
constexpr int redirectLimit = 10;

ToolUpdateError fail(Kind kind, const std::string& message) {
    return ToolUpdateError(kind, message);
}

std::string systemText(int error) {
    return std::strerror(error);
}

const Release& releaseOf(std::string_view tool) {
    for (const Release& release : releases) {
        if (release.tool == tool) {
            return release;
        }
    }
    throw fail(Kind::refused, "kelvo does not update " + std::string(tool));
}

// The scheme and host of an address (the host without IPv6 brackets); empty when it is not one.
std::pair<std::string, std::string> schemeAndHost(std::string_view url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    const std::string text(url);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        return {};
    }
    std::pair<std::string, std::string> result;
    for (auto [part, target] :
         {std::pair{CURLUPART_SCHEME, &result.first}, std::pair{CURLUPART_HOST, &result.second}}) {
        char* value = nullptr;
        if (curl_url_get(parsed.get(), part, &value, 0) != CURLUE_OK || value == nullptr) {
            return {};
        }
        *target = value;
        curl_free(value);
    }
    std::string& host = result.second;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    for (char& c : result.first) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (char& c : host) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

bool isLoopbackHost(const std::string& host) {
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 &&
           std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// SHA-256 of a stream of bytes.
class Sha256 {
  public:
    Sha256() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
            throw fail(Kind::checksum, "cannot compute SHA-256 checksums");
        }
    }
    void update(std::string_view bytes) {
        EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size());
    }
    std::string hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), digest, &length);
        static constexpr char digits[] = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < length; ++i) {
            text += digits[digest[i] >> 4];
            text += digits[digest[i] & 0xf];
        }
        return text;
    }

  private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

// A file beside the target under a short hidden name (".kelvo-XXXXXX"), removed on scope exit
// unless it was renamed into place.
class TempFile {
  public:
    explicit TempFile(const fs::path& folder) {
        std::string pattern = (folder / ".kelvo-XXXXXX").string();
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) {
            throw fail(Kind::disk,
                       "cannot create a file in " + folder.string() + ": " + systemText(errno));
        }
        path_ = pattern;
    }
    ~TempFile() {
        closeFile();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const fs::path& path() const { return path_; }

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                throw diskError(written < 0 ? errno : ENOSPC);
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    // Makes it executable by everyone, writable by its owner, and puts it on the disk.
    void finish() {
        if (::fchmod(fd_, 0755) != 0 || ::fsync(fd_) != 0) {
            throw diskError(errno);
        }
        if (closeFile() != 0) {
            throw diskError(errno);
        }
    }

    void renameTo(const fs::path& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            throw fail(Kind::disk, "cannot install " + target.string() + ": " + systemText(errno));
        }
        path_.clear();
    }

  private:
    int closeFile() {
        const int status = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return status;
    }
    ToolUpdateError diskError(int error) const {
        return fail(Kind::disk, "cannot write " + path_.string() + ": " + systemText(error));
    }

    fs::path path_;
    int fd_ = -1;
};

// Creates the folder and its missing parents, private to the user (the parent is kelvo's data
// folder, which holds the catalog).
void makeFolder(const fs::path& folder) {
    std::vector<fs::path> missing;
    for (fs::path level = folder; !level.empty() && !fs::exists(level);
         level = level.parent_path()) {
        missing.push_back(level);
        if (level == level.parent_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            throw fail(Kind::disk, "cannot create " + it->string() + ": " + systemText(errno));
        }
    }
    if (!fs::is_directory(folder)) {
        throw fail(Kind::disk, folder.string() + " is not a folder");
    }
}

// One download: a curl handle that follows redirects itself, so that every address it visits
// passes allowedAddress.
class Fetcher {
  public:
    using Sink = std::function<void(std::string_view)>;
    // Sees every redirect target; true ends the fetch there.
    using RedirectWatcher = std::function<bool(const std::string&)>;

    Fetcher(const ToolUpdater::Options& options, std::string_view tool, bool plainLoopback)
        : options_(options), tool_(tool), plainLoopback_(plainLoopback), curl_(curl_easy_init()) {
        if (curl_ == nullptr) {
            throw fail(Kind::network, "cannot start a download");
        }
    }
    ~Fetcher() { curl_easy_cleanup(curl_); }
    Fetcher(const Fetcher&) = delete;
    Fetcher& operator=(const Fetcher&) = delete;

    // GETs `url` into `sink` (at most `limit` bytes), or only asks for its headers when `sink` is
    // empty. Reports progress when `report` is set.
    void fetch(std::string url, const Sink& sink, std::uint64_t limit, bool report,
               const RedirectWatcher& watcher = {}) {
        refuseUnlessAllowed(url);
        for (int hop = 0; hop <= redirectLimit; ++hop) {
            const auto [scheme, host] = schemeAndHost(url);
            const std::optional<std::string> next = once(url, scheme, host, sink, limit, report);
            if (!next) {
                return;
            }
            refuseUnlessAllowed(*next);
            if (watcher && watcher(*next)) {
                return;
            }
            url = *next;
        }
        throw fail(Kind::network, "too many redirects from " + url);
    }

  private:
    void refuseUnlessAllowed(const std::string& url) const {
        if (!ToolUpdater::allowedAddress(url, plainLoopback_)) {
            throw fail(Kind::refused, "kelvo downloads its tools over HTTPS only; refusing " + url);
        }
    }

    // One request; the redirect target when it answered with one.
    std::optional<std::string> once(const std::string& url, const std::string& scheme,
                                    const std::string& host, const Sink& sink, std::uint64_t limit,
                                    bool report) {
        curl_easy_reset(curl_);
        sink_ = &sink;
        limit_ = limit;
        report_ = report;
        received_ = 0;
        lastReported_ = 0;  // nothing to report before the first byte
        tooLarge_ = stopped_ = false;
        failure_ = nullptr;
        message_[0] = '\0';

        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, scheme.c_str());
        curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "https");
        curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 0L);
        if (isLoopbackHost(host)) {
            curl_easy_setopt(curl_, CURLOPT_PROXY, "");
        }
        curl_easy_setopt(curl_, CURLOPT_USERAGENT, "kelvo");
        curl_easy_setopt(curl_, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, message_);
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT,
                         static_cast<long>(options_.connectTimeout.count()));
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, options_.lowSpeedBytes);
        curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(options_.lowSpeedTime.count()));
        curl_easy_setopt(curl_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limit));
        curl_easy_setopt(curl_, CURLOPT_NOBODY, sink ? 0L : 1L);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Fetcher::onWrite);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &Fetcher::onProgress);
        curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);

        const CURLcode code = curl_easy_perform(curl_);
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        if (code != CURLE_OK) {
            throw error(code, url, message_);
        }
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        if (status < 300 || status >= 400) {
            return std::nullopt;
        }
        char* location = nullptr;
        curl_easy_getinfo(curl_, CURLINFO_REDIRECT_URL, &location);
        if (location == nullptr) {
            throw fail(Kind::http, url + " answered HTTP " + std::to_string(status) +
                                       " without saying where to");
        }
        return std::string(location);
    }

    ToolUpdateError error(CURLcode code, const std::string& url, const char* message) const {
        const std::string detail = message[0] != '\0' ? message : curl_easy_strerror(code);
        const std::string name = fs::path(url).filename().string();
        switch (code) {
            case CURLE_ABORTED_BY_CALLBACK:
                if (stopped_) {
                    return fail(Kind::stopped, "stopped");
                }
                break;
            case CURLE_WRITE_ERROR:
            case CURLE_FILESIZE_EXCEEDED:
                if (tooLarge_ || code == CURLE_FILESIZE_EXCEEDED) {
                    return fail(Kind::tooLarge, name + " is larger than kelvo accepts (" +
                                                    std::to_string(limit_ >> 20) + " MB)");
                }
                break;
            case CURLE_HTTP_RETURNED_ERROR: {
                long status = 0;
                curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
                return fail(Kind::http, url + " answered HTTP " + std::to_string(status));
            }
            case CURLE_PARTIAL_FILE:
            case CURLE_RECV_ERROR:
                if (code == CURLE_PARTIAL_FILE || received_ > 0) {
                    return fail(Kind::truncated, "the download of " + name + " broke off after " +
                                                     std::to_string(received_) + " bytes");
                }
                break;
            case CURLE_OPERATION_TIMEDOUT:
                return fail(Kind::stalled, "the download of " + name + " stalled: " + detail);
            case CURLE_UNSUPPORTED_PROTOCOL:
                return fail(Kind::refused, "kelvo downloads its tools over HTTPS only: " + detail);
            default:
                break;
        }
        return fail(Kind::network, "cannot download " + url + ": " + detail);
    }

    bool inRedirect() {
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return status >= 300 && status < 400;
    }

    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* self) {
        auto& fetcher = *static_cast<Fetcher*>(self);
        const std::size_t bytes = size * count;
        if (fetcher.inRedirect() || !*fetcher.sink_) {
            return bytes;  // the page a redirect comes with
        }
        if (fetcher.received_ + bytes > fetcher.limit_) {
            fetcher.tooLarge_ = true;
            return 0;
        }
        try {
            (*fetcher.sink_)(std::string_view(data, bytes));
        } catch (...) {
            fetcher.failure_ = std::current_exception();
            return 0;
        }
        fetcher.received_ += bytes;
        return bytes;
    }

    static int onProgress(void* self, curl_off_t total, curl_off_t, curl_off_t, curl_off_t) {
        auto& fetcher = *static_cast<Fetcher*>(self);
        if (fetcher.options_.stop.stop_requested()) {
            fetcher.stopped_ = true;
            return 1;
        }
        if (!fetcher.report_ || !fetcher.options_.progress ||
            fetcher.lastReported_ == fetcher.received_ || fetcher.inRedirect()) {
            return 0;
        }
        fetcher.lastReported_ = fetcher.received_;
        try {
            fetcher.options_.progress(
                ToolProgress{fetcher.tool_, fetcher.received_, static_cast<std::uint64_t>(total)});
        } catch (...) {
            fetcher.failure_ = std::current_exception();
            return 1;
        }
        return 0;
    }

    const ToolUpdater::Options& options_;
    std::string_view tool_;
    bool plainLoopback_;
    CURL* curl_;
    const Sink* sink_ = nullptr;
    std::uint64_t limit_ = 0;
    bool report_ = false;
    std::uint64_t received_ = 0;
    std::uint64_t lastReported_ = 0;
    bool tooLarge_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
    char message_[CURL_ERROR_SIZE] = {};
};

// Copies the archive member named `member` (at its top level) into `out`.
void extractMember(const fs::path& archivePath, std::string_view member, TempFile& out,
                   std::uint64_t limit) {
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(),
                                                                  archive_read_free);
    archive_read_support_format_zip(reader.get());
    auto broken = [&reader] {
        const char* text = archive_error_string(reader.get());
        return fail(Kind::archive,
                    std::string("cannot read the downloaded archive: ") + (text ? text : "?"));
    };
    if (archive_read_open_filename(reader.get(), archivePath.c_str(), 1 << 16) != ARCHIVE_OK) {
        throw broken();
    }
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) >= ARCHIVE_WARN) {
        const char* rawName = archive_entry_pathname(entry);
        std::string_view name = rawName != nullptr ? rawName : "";
        if (name.starts_with("./")) {
            name.remove_prefix(2);
        }
        if (name != member || archive_entry_filetype(entry) != AE_IFREG) {
            archive_read_data_skip(reader.get());
            continue;
        }
        std::uint64_t total = 0;
        for (;;) {
            const void* block = nullptr;
            std::size_t size = 0;
            la_int64_t offset = 0;
            const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (read == ARCHIVE_EOF) {
                return;
            }
            if (read < ARCHIVE_WARN) {
                throw broken();
            }
            total += size;
            if (total > limit) {
                throw fail(Kind::tooLarge, std::string(member) + " in the archive is too large");
            }
            out.write(std::string_view(static_cast<const char*>(block), size));
        }
    }
    if (status != ARCHIVE_EOF) {
        throw broken();
    }
    throw fail(Kind::archive, "the downloaded archive holds no " + std::string(member));
}

// Puts `fresh` in place of `target`, keeping what was there as "<target>.previous". The target
// name never disappears: the old file is linked aside, then replaced by a rename.
void install(TempFile& fresh, const fs::path& target) {
    const fs::path previous = target.string() + ".previous";
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) {
        if (::unlink(previous.c_str()) != 0 && errno != ENOENT) {
            throw fail(Kind::disk,
                       "cannot replace " + previous.string() + ": " + systemText(errno));
        }
        if (::link(target.c_str(), previous.c_str()) != 0) {
            // A file system without hard links: a copy then.
            std::error_code error;
            fs::copy_file(target, previous, fs::copy_options::overwrite_existing, error);
            if (error) {
                throw fail(Kind::disk, "cannot keep " + previous.string() + ": " + error.message());
            }
        }
    }
    fresh.renameTo(target);
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

std::string releasesURL(const std::string& base, const Release& release, std::string_view file) {
    std::string url = base;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url + "/" + std::string(release.repository) + "/releases/latest/download/" +
           std::string(file);
}

// The tag in ".../releases/download/<tag>/...", without a leading "v" before a digit.
std::optional<std::string> releaseTag(std::string_view url) {
    constexpr std::string_view marker = "/releases/download/";
    const auto at = url.find(marker);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view tag = url.substr(at + marker.size());
    tag = tag.substr(0, tag.find('/'));
    if (tag.size() > 1 && (tag[0] == 'v' || tag[0] == 'V') &&
        std::isdigit(static_cast<unsigned char>(tag[1])) != 0) {
        tag.remove_prefix(1);
    }
    if (tag.empty()) {
        return std::nullopt;
    }
    return std::string(tag);
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

ToolUpdater::Options ToolUpdater::Options::fromEnvironment(const Environment& environment) {
    Options options;
    if (auto base = environment.find("KELVO_RELEASES_BASE");
        base != environment.end() && !base->second.empty()) {
        options.releasesBase = base->second;
    }
    options.toolsFolder = kelvoToolsFolder(environment).value_or(fs::path());
    return options;
}

const std::vector<std::string>& ToolUpdater::tools() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Release& release : releases) {
            list.emplace_back(release.tool);
        }
        return list;
    }();
    return names;
}

bool ToolUpdater::allowedAddress(std::string_view url, bool plainLoopback) {
    const auto [scheme, host] = schemeAndHost(url);
    if (scheme == "https") {
        return !host.empty();
    }
    return scheme == "http" && plainLoopback && isLoopbackHost(host);
}

std::optional<std::string> ToolUpdater::publishedDigest(std::string_view checksums,
                                                        std::string_view fileName) {
    std::vector<std::string> digests;
    std::size_t lineStart = 0;
    while (lineStart < checksums.size()) {
        std::size_t lineEnd = checksums.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = checksums.size();
        }
        const std::string_view line = checksums.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        for (std::size_t i = 0; i < line.size();) {
            if (!isHex(line[i])) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < line.size() && isHex(line[end])) {
                ++end;
            }
            if (end - i == 64 &&
                (i == 0 || !std::isalnum(static_cast<unsigned char>(line[i - 1])))) {
                std::string digest(line.substr(i, 64));
                for (char& c : digest) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                // "<digest>  <name>" or "<digest> *<name>" (binary mode).
                std::string_view rest = line.substr(end);
                while (!rest.empty() &&
                       (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '*')) {
                    rest.remove_prefix(1);
                }
                while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ')) {
                    rest.remove_suffix(1);
                }
                if (rest == fileName) {
                    return digest;
                }
                digests.push_back(std::move(digest));
            }
            i = end;
        }
    }
    if (digests.size() == 1) {
        return digests.front();
    }
    return std::nullopt;
}

ToolUpdateResult ToolUpdater::check(std::string_view tool) const {
    const Release& release = releaseOf(tool);
    initCurlOnce();
    Fetcher fetcher(options_, release.tool,
                    isLoopbackHost(schemeAndHost(options_.releasesBase).second));
    std::optional<std::string> tag;
    fetcher.fetch(releasesURL(options_.releasesBase, release, release.asset), {}, options_.maxBytes,
                  false, [&tag](const std::string& next) {
                      tag = releaseTag(next);
                      return tag.has_value();
                  });
    return {std::string(release.tool), tag.value_or("unknown"), {}};
}

ToolUpdateResult ToolUpdater::update(std::string_view tool) const {
    const Release& release = releaseOf(tool);
    if (options_.toolsFolder.empty()) {
        throw fail(Kind::disk, "kelvo has no tools folder: neither XDG_DATA_HOME nor HOME is set");
    }
    initCurlOnce();
    Fetcher fetcher(options_, release.tool,
                    isLoopbackHost(schemeAndHost(options_.releasesBase).second));

    std::string checksums;
    const Fetcher::Sink keep = [&checksums](std::string_view bytes) { checksums += bytes; };
    fetcher.fetch(releasesURL(options_.releasesBase, release, release.checksums), keep,
                  checksumLimit, false);
    const std::optional<std::string> expected = publishedDigest(checksums, release.asset);
    if (!expected) {
        throw fail(Kind::checksum, std::string(release.checksums) + " names no SHA-256 for " +
                                       std::string(release.asset));
    }

    makeFolder(options_.toolsFolder);
    TempFile download(options_.toolsFolder);
    Sha256 digest;
    const Fetcher::Sink save = [&download, &digest](std::string_view bytes) {
        download.write(bytes);
        digest.update(bytes);
    };
    fetcher.fetch(releasesURL(options_.releasesBase, release, release.asset), save,
                  options_.maxBytes, true);
    if (digest.hex() != *expected) {
        throw fail(Kind::checksum, std::string(release.asset) +
                                       " does not match its published SHA-256 checksum; "
                                       "nothing was changed");
    }
    download.finish();

    const fs::path target = options_.toolsFolder / std::string(release.tool);
    const auto stopCheck = [this] {
        if (options_.stop.stop_requested()) {
            throw fail(Kind::stopped, "stopped");
        }
    };
    if (release.zipped) {
        TempFile unpacked(options_.toolsFolder);
        extractMember(download.path(), release.tool, unpacked, options_.maxBytes);
        unpacked.finish();
        stopCheck();
        install(unpacked, target);
    } else {
        stopCheck();
        install(download, target);
    }
    const auto version = toolVersion(target, std::chrono::seconds(15), options_.stop);
    return {std::string(release.tool), version.value_or("unknown"), target};
}

}  // namespace kelvo
