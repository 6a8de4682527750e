#pragma once

// The result of one playlist synchronisation run.

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

struct SyncReport {
    std::string playlist{};                    // the playlist's title
    std::vector<std::string> added{};          // titles downloaded in this run
    std::vector<std::string> copied{};         // titles copied from another playlist's folder
    std::vector<std::string> restored{};       // titles moved back from the archive
    std::vector<std::string> archived{};       // titles (or video ids) that left the playlist
    std::vector<std::string> skippedSignIn{};  // titles whose download needs a signed-in account
    std::vector<std::string> failed{};         // "<title>: <error description>" per other failure
    std::int64_t unavailable = 0;              // entries the service reports as not available
    std::int64_t deletedByYou = 0;             // entries the user deleted that are still listed
    std::int64_t inSync = 0;                   // entries already present with their file
    // Entries left for a later run: premieres and live streams, and after a refusal the
    // entries that needed a download.
    std::int64_t waiting = 0;
    // YouTube refused this computer during the run (HTTP 429, the bot check): downloading
    // stopped there.
    bool refused = false;

    // The one line the activity log shows after a run, e.g.
    // "Music: 2 new, 0 copied, 0 restored, 1 archived, 7 unchanged, 1 need sign-in".
    // The first five counts always appear; sign-in, failed, unavailable, deleted-by-you and
    // waiting (", 2 waiting") only when not zero.
    std::string summary() const;

    bool operator==(const SyncReport&) const = default;
};

}  // namespace kelvo
