// A library for media servers: the extras yt-dlp is asked for, the files that travel with their
// video through the pipelines, names near the 255-byte limit, archive markers and dates. (The
// real yt-dlp writing a thumbnail and subtitles is in tests/engine/real_ytdlp_test.cpp.)

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

#include "core/catalog/catalog.h"
#include "core/engine/ytdlp_engine.h"
#include "core/library/naming.h"
#include "core/library/video_files.h"
#include "core/links/playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

DownloadOptions everything() {
    DownloadOptions options;
    options.thumbnails = true;
    options.subtitleLanguages = {"en", "zh-Hans"};
    options.automaticCaptions = true;
    options.sponsorChapters = true;
    options.uploadDateAsFileTime = true;
    options.keepArchivesOut = true;
    return options;
}

// The names in a folder (not below it).
std::set<std::string> names(const fs::path& folder) {
    std::set<std::string> out;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file()) {
            out.insert(it->path().filename().string());
        }
    }
    return out;
}

TEST(MediaServers, CompanionNames) {
    const struct {
        std::string name;
        std::optional<std::string> suffix;
    } cases[] = {
        {"B [id].nfo", ".nfo"},
        {"B [id]-poster.jpg", "-poster.jpg"},
        {"B [id].en.srt", ".en.srt"},
        {"B [id].zh-Hans.srt", ".zh-Hans.srt"},
        {"B [id].mp4", std::nullopt},
        {"B [id] (2).nfo", std::nullopt},  // another video's sidecar
        {"B [id] (2).en.srt", std::nullopt},
        {"B [id]..srt", std::nullopt},
        {"B [id].a b.srt", std::nullopt},
        {"B [id].en.vtt.part", std::nullopt},
        {"B [id]-poster.webp", std::nullopt},
        {"C [id].nfo", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VideoFiles::companionSuffix("B [id]", c.name), c.suffix) << c.name;
    }
}

TEST(MediaServers, DownloadArgumentsPerOption) {
    test::Sandbox box;
    fs::create_directories(box / "tools");
    for (const char* tool : {"yt-dlp", "deno", "ffmpeg"}) {
        test::writeFile(box / "tools" / tool, "#!/bin/sh\n");
        fs::permissions(box / "tools" / tool, fs::perms::owner_all);
    }
    YTDLPEngine engine(ToolLocator(std::vector<fs::path>{box / "tools"}), 1);
    const std::string ffmpeg = (box / "tools/ffmpeg").string();
    const Strings plain{"--no-playlist",
                        "--no-progress",
                        "--no-warnings",
                        "-f",
                        "bv*[vcodec^=avc1][height<=1080]+ba[ext=m4a]",
                        "--merge-output-format",
                        "mp4",
                        "--ffmpeg-location",
                        ffmpeg,
                        "--retries",
                        "10",
                        "--fragment-retries",
                        "10"};
    const Strings tail{"-o", "/lib/B [id].%(ext)s", "https://youtu.be/x"};
    DownloadOptions thumbnails, subtitles, captions, captionsAlone, sponsor, dates, badCodes;
    thumbnails.thumbnails = true;
    subtitles.subtitleLanguages = {"en", "de"};
    captions = subtitles;
    captions.automaticCaptions = true;
    captionsAlone.automaticCaptions = true;
    sponsor.sponsorChapters = true;
    dates.uploadDateAsFileTime = true;
    dates.keepArchivesOut = true;
    badCodes.subtitleLanguages = {"en.*", "de"};
    const struct {
        const char* what;
        DownloadOptions options;
        Strings extra;
    } cases[] = {
        {"all off", {}, {}},
        {"dates and archives change no argument", dates, {}},
        {"automatic captions without languages", captionsAlone, {}},
        {"thumbnails",
         thumbnails,
         {"--write-thumbnail", "--convert-thumbnails", "jpg", "-o",
          "thumbnail:/lib/B [id]-poster.%(ext)s"}},
        {"subtitles", subtitles, {"--write-subs", "--sub-langs", "en,de", "--convert-subs", "srt"}},
        {"automatic captions",
         captions,
         {"--write-subs", "--write-auto-subs", "--sub-langs", "en,de", "--convert-subs", "srt"}},
        {"patterns are no language",
         badCodes,
         {"--write-subs", "--sub-langs", "de", "--convert-subs", "srt"}},
        {"sponsor chapters", sponsor, {"--sponsorblock-mark", "all"}},
    };
    for (const auto& c : cases) {
        engine.setOptions(c.options);
        Strings expected = plain;
        expected.insert(expected.end(), c.extra.begin(), c.extra.end());
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(engine.downloadArguments("https://youtu.be/x", "/lib", "B [id]"), expected)
            << c.what;
    }
}

TEST(MediaServers, LongTitlesKeepEverySuffix) {
    const std::string title(400, 'x');
    const std::string accented = [] {
        std::string text;
        for (int i = 0; i < 200; ++i) {
            text += "é";
        }
        return text;
    }();
    const std::string longID(40, 'i');
    DownloadOptions longCode = everything();
    longCode.subtitleLanguages = {"abcdefghijklmnop"};  // 16, the longest code taken
    for (const DownloadOptions& options : {DownloadOptions{}, everything(), longCode}) {
        for (const std::string& text : {title, accented}) {
            const std::string base =
                Naming::fileBase("20240131", text, longID, VideoFiles::suffixRoom(options));
            Strings derived{base + " (99).mp4", base + ".f137.mp4.part", base + " (99).nfo"};
            if (options.thumbnails) {
                derived.insert(derived.end(), {base + "-poster.webp", base + " (99)-poster.jpg"});
            }
            for (const std::string& code : options.subtitleLanguages) {
                derived.insert(derived.end(),
                               {base + "." + code + ".vtt.part", base + " (99)." + code + ".srt"});
            }
            for (const std::string& name : derived) {
                EXPECT_LE(name.size(), Naming::maxNameBytes) << name;
            }
            EXPECT_TRUE(base.starts_with("2024-01-31 - ")) << base;
            EXPECT_NE(base.find(" [" + longID.substr(0, 15) + "-"), std::string::npos) << base;
        }
    }
    // With nothing asked for, names are as they always were.
    EXPECT_EQ(Naming::fileBase("20240131", accented, "abc"),
              Naming::fileBase("20240131", accented, "abc", VideoFiles::suffixRoom({})));
    EXPECT_EQ(Naming::fileBase("20240131", title, "abc"),
              "2024-01-31 - " + std::string(Naming::maxCharacters, 'x') + " [abc]");
}

// An engine that writes what yt-dlp writes when asked for the extras.
class FilesEngine : public DownloadEngine {
  public:
    std::map<std::string, VideoMetadata> videos;
    DownloadOptions options;

    VideoMetadata metadata(std::string_view link) override {
        return videos.at(std::string(link.substr(link.find("v=") + 2)));
    }
    fs::path download(std::string_view, const fs::path& folder, std::string_view base) override {
        const std::string b(base);
        test::writeFile(folder / (b + ".mp4"), "video");
        if (options.thumbnails) {
            test::writeFile(folder / (b + "-poster.jpg"), "jpeg");
        }
        for (const std::string& code : options.subtitleLanguages) {
            test::writeFile(folder / (b + "." + code + ".srt"), "1\n");
        }
        return folder / (b + ".mp4");
    }
};

class Source : public PlaylistSource {
  public:
    std::map<std::string, std::vector<RemoteItem>> lists;
    std::optional<RemotePlaylist> playlist(std::string_view) override { return std::nullopt; }
    std::vector<RemoteItem> items(std::string_view id) override { return lists[std::string(id)]; }
};

TEST(MediaServers, ExtrasTravelWithTheirVideo) {
    const struct {
        const char* what;
        DownloadOptions options;
        std::string title;
        Strings suffixes;
    } cases[] = {
        {"all off", {}, "Clip", {".mp4", ".nfo"}},
        {"every extra, a long title",
         everything(),
         std::string(300, 'y'),
         {".mp4", ".nfo", "-poster.jpg", ".en.srt", ".zh-Hans.srt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::Sandbox box;
        Catalog catalog(box / "catalog.sqlite");
        FilesEngine engine;
        engine.options = c.options;
        engine.videos["v1"] = {.id = "v1", .title = c.title, .uploadDate = "20240131"};
        Source source;
        Downloader downloader(catalog, engine, nullptr, {});
        downloader.setOptions(c.options);
        SyncEngine sync(catalog, source, downloader, {});
        catalog.addPlaylist("PA", "A", (box / "lib").string(), 30);
        catalog.addPlaylist("PB", "B", (box / "lib").string(), 30);
        const auto playlist = [&](const std::string& id) {
            for (const PlaylistRecord& p : catalog.playlists()) {
                if (p.youtubeID == id) {
                    return p;
                }
            }
            throw std::runtime_error("no playlist " + id);
        };
        const fs::path a = playlist("PA").folder();
        const fs::path archive = a / Naming::archiveFolder;
        const auto expect = [&](const fs::path& folder, const std::string& base) {
            std::set<std::string> wanted;
            for (const std::string& suffix : c.suffixes) {
                wanted.insert(base + suffix);
            }
            EXPECT_EQ(names(folder), wanted) << folder;
        };

        source.lists["PA"] = {{"v1", "T"}};
        sync.sync(playlist("PA"));
        const std::string base = fs::path(*catalog.filePath("v1")).stem().string();
        expect(a, base);
        const fs::path video = a / (base + ".mp4");
        const std::string sidecar = test::readFile(a / (base + ".nfo"));
        EXPECT_EQ(sidecar.find("<dateadded>") != std::string::npos, c.options.uploadDateAsFileTime);
        if (c.options.uploadDateAsFileTime) {
            const auto day = std::chrono::sys_days(std::chrono::year(2024) / 1 / 31);
            EXPECT_EQ(fs::last_write_time(video),
                      std::chrono::time_point_cast<fs::file_time_type::duration>(
                          std::chrono::file_clock::from_sys(std::chrono::sys_seconds(day))));
        }

        // Archived onto a name already taken there: everything follows the numbered name.
        test::writeFile(archive / (base + ".mp4"), "someone else's");
        source.lists["PA"] = {};
        sync.sync(playlist("PA"));
        EXPECT_EQ(names(a), std::set<std::string>{});
        std::set<std::string> archived;
        for (const std::string& suffix : c.suffixes) {
            archived.insert(base + " (2)" + suffix);
        }
        archived.insert(base + ".mp4");
        if (c.options.keepArchivesOut) {
            archived.insert({".ignore", ".nomedia"});
        }
        EXPECT_EQ(names(archive), archived);
        for (const std::string& name : archived) {
            EXPECT_LE(name.size(), Naming::maxNameBytes);
        }

        source.lists["PA"] = {{"v1", "T"}};
        sync.sync(playlist("PA"));
        expect(a, base + " (2)");
        EXPECT_EQ(catalog.items(playlist("PA").id).front().nfoPath,
                  (a / (base + " (2).nfo")).string());

        source.lists["PB"] = {{"v1", "T"}};
        sync.sync(playlist("PB"));
        expect(playlist("PB").folder(), base + " (2)");

        // Removal and a factory reset trash every file of both copies.
        const Strings all = VideoFiles::withCompanions(catalog.allFiles("v1"));
        EXPECT_EQ(all.size(), 2 * c.suffixes.size());
        EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());
    }
}

}  // namespace
}  // namespace kelvo
