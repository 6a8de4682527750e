// yt-dlp's metadata document: whatever the tool prints either decodes or fails with the JSON
// decoder's error (the only one the engine turns into a clear failure), and what decodes makes
// a catalog row, a safe file name and a well-formed sidecar.
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/engine/video_metadata.h"
#include "core/library/naming.h"
#include "core/library/nfo_writer.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvo::VideoMetadata meta;
    try {
        meta = kelvo::VideoMetadata::decode(kelvo::fuzz::asText(data, size));
    } catch (const nlohmann::json::exception&) {
        return 0;
    }

    const kelvo::VideoRecord row = meta.record();
    check(row.videoID == meta.id && row.title == meta.title, "record lost id or title");
    check(row.status == kelvo::VideoStatus::queued, "a new record is not queued");
    check(row.durationSec.has_value() == (meta.duration && std::isfinite(*meta.duration)),
          "record kept a duration that is not finite, or dropped a finite one");

    kelvo::fuzz::checkFileBase(kelvo::Naming::fileBase(meta.uploadDate, meta.title, meta.id),
                               meta.uploadDate, meta.id);

    const auto sidecar =
        kelvo::fuzz::checkSidecar(kelvo::NFOWriter::xml(meta, meta.description, meta.tags));
    if (const auto runtime = sidecar.find("runtime"); runtime != sidecar.end()) {
        const std::string& minutes = runtime->second.front();
        check(!minutes.empty() && minutes.find_first_not_of("0123456789") == std::string::npos &&
                  minutes != "0",
              "runtime is not a positive whole number: " + minutes);
    }
    return 0;
}
