#pragma once

// Keeps kelvo's own yt-dlp and deno current. YouTube changes every few weeks and a distribution's
// yt-dlp falls behind, so kelvo fetches the latest official release into its own tools folder
// (kelvoToolsFolder, searched right after KELVO_TOOLS_DIR):
//   yt-dlp  <base>/yt-dlp/yt-dlp/releases/latest/download/yt-dlp_linux, checked against the
//           line naming it in SHA2-256SUMS beside it;
//   deno    <base>/denoland/deno/releases/latest/download/deno-x86_64-unknown-linux-gnu.zip,
//           checked against the digest in <zip>.sha256sum; its "deno" member is installed.
// <base> is https://github.com. Everything goes over HTTPS, redirects included; plain HTTP only
// when the base itself names a loopback host (a test server). A download is written beside the
// target under a short hidden name, verified, made executable and renamed into place; the tool
// it replaces stays as "<tool>.previous". Whatever fails, the installed tool stays as it was and
// no temporary file is left behind.
//
// Every call blocks while it downloads: run it on a worker thread. The progress callback is
// called on that thread; a stop request ends a download within about a second.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/tool_locator.h"

namespace kelvo {

class ToolUpdateError : public std::runtime_error {
  public:
    enum class Kind {
        refused,    // an address kelvo will not fetch from (plain HTTP, an unknown tool)
        network,    // no connection, a failed name lookup, too many redirects
        http,       // the server answered with an HTTP error
        truncated,  // the connection ended before the whole file arrived
        stalled,    // no progress within the connect timeout or the low-speed limit
        tooLarge,   // over Options::maxBytes
        checksum,   // no published digest, or the file does not match it
        archive,    // the deno archive cannot be read or holds no deno
        disk,       // the tools folder cannot be written (full, read-only, ...)
        stopped,    // the stop token was requested
    };

    ToolUpdateError(Kind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

struct ToolProgress {
    std::string_view tool;       // "yt-dlp" or "deno"
    std::uint64_t received = 0;  // bytes of the current file so far
    std::uint64_t total = 0;     // its size; 0 while unknown
};

struct ToolUpdateResult {
    std::string tool;
    // check(): the latest release's tag ("2025.11.12", deno's "v2.5.6" read "2.5.6"), "unknown"
    // when the release address does not name it. update(): what the installed tool's
    // `--version` prints, "unknown" when it prints nothing usable.
    std::string version;
    std::filesystem::path path;  // update(): the installed file; check(): empty
};

class ToolUpdater {
  public:
    struct Options {
        std::string releasesBase = "https://github.com";
        std::filesystem::path toolsFolder;
        std::uint64_t maxBytes = std::uint64_t{200} << 20;
        std::chrono::seconds connectTimeout{30};
        // A transfer slower than lowSpeedBytes per second for lowSpeedTime ends as stalled.
        long lowSpeedBytes = 1024;
        std::chrono::seconds lowSpeedTime{60};
        std::function<void(const ToolProgress&)> progress;
        std::stop_token stop;

        // The defaults, with KELVO_RELEASES_BASE (when set and not empty) for the base and
        // kelvoToolsFolder for the folder.
        static Options fromEnvironment(const Environment& environment);
    };

    // The tools it keeps current, in the order `kelvo-cli tools update` updates them.
    static const std::vector<std::string>& tools();

    explicit ToolUpdater(Options options) : options_(std::move(options)) {}

    // The latest release's version, read from where the release address redirects, without
    // downloading it. Throws ToolUpdateError.
    ToolUpdateResult check(std::string_view tool) const;

    // Downloads, verifies and installs the latest release. Throws ToolUpdateError.
    ToolUpdateResult update(std::string_view tool) const;

    // Whether kelvo fetches from `url`: HTTPS always; plain HTTP only to a loopback host
    // (127.0.0.0/8, ::1, localhost) and only when `plainLoopback` allows it.
    static bool allowedAddress(std::string_view url, bool plainLoopback);

    // The SHA-256 hex digest (lower case) published for `fileName`: the line of a checksum list
    // that names it, else the one 64-hex-digit digest in the text. Nothing when there is none, or
    // several and none names the file.
    static std::optional<std::string> publishedDigest(std::string_view checksums,
                                                      std::string_view fileName);

  private:
    Options options_;
};

}  // namespace kelvo
