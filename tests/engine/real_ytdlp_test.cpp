// The engine against the real yt-dlp and ffmpeg, offline: a DASH presentation with separate
// H.264 video and AAC (m4a) audio adaptation sets, served from 127.0.0.1, is read and
// downloaded through the exact argument lists kelvo uses, and the merged MP4 is probed; then
// again from a page that adds a poster and a subtitle track, with thumbnails and subtitles on.

#include <gtest/gtest.h>

#include <set>

#include "core/engine/ytdlp_engine.h"
#include "tests/support/process.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// Runs a program that must succeed; its standard output.
std::string output(const std::vector<std::string>& argv) {
    const test::ProcessResult result = test::runProcess(argv);
    EXPECT_EQ(result.status, 0) << argv[0] << ": " << result.err;
    return result.out;
}

TEST(RealYTDLP, ReadsAndDownloadsALocalDashPresentation) {
    test::Sandbox box;
    const fs::path site = box / "site";
    fs::create_directories(site);
    output({"sh", "-c",
            "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=15 -f lavfi -i "
            "sine=frequency=440:sample_rate=44100 -t 2 -map 0:v -map 1:a -c:v libx264 -pix_fmt "
            "yuv420p -c:a aac -b:a 64k -f dash -adaptation_sets 'id=0,streams=v id=1,streams=a' "
            "\"$0\"",
            (site / "clip.mpd").string()});
    // The real tools, found the way kelvo finds them.
    fs::create_directories(box / "tools");
    for (const char* name : {"yt-dlp", "deno", "ffmpeg"}) {
        const auto found = ToolLocator(currentEnvironment(), std::nullopt).find(name);
        ASSERT_TRUE(found.has_value()) << name;
        fs::create_symlink(*found, box / "tools" / name);
    }
    YTDLPEngine engine(ToolLocator(std::vector<fs::path>{box / "tools"}), 1);

    // python3's web server on a port of its choosing, announced on its first line of output.
    test::Process server({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                          "--directory", site.string()});
    const std::string banner = server.readLine().value_or("");
    const auto port = banner.find(" port ");
    ASSERT_NE(port, std::string::npos) << banner;
    const std::string link =
        "http://127.0.0.1:" + std::to_string(std::stoi(banner.substr(port + 6))) + "/clip.mpd";

    const VideoMetadata meta = engine.metadata(link);
    EXPECT_EQ(meta.id, "clip");
    EXPECT_EQ(meta.webpageURL, link);

    // Template fields, "%" and "$" reach the file name as written, never read or expanded.
    const std::string base = "2024-01-31 - 100% %(title)s %%d $HOME ${HOME} $$ 5$ [clip]";
    const fs::path folder = box / "library/Singles";
    EXPECT_EQ(engine.download(link, folder, base), folder / (base + ".mp4"));
    ASSERT_TRUE(fs::exists(folder / (base + ".mp4")));
    EXPECT_EQ(output({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,codec_name",
                      "-of", "csv=p=0", (folder / (base + ".mp4")).string()}),
              "h264,video\naac,audio\n");

    // The same presentation in a page with a poster and an English subtitle track: the
    // thumbnail and the subtitles land beside the video under the names media servers read.
    output({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x36",
            "-frames:v", "1", (site / "poster.png").string()});
    test::writeFile(site / "en.vtt", "WEBVTT\n\n00:00:00.000 --> 00:00:01.000\nHello\n");
    test::writeFile(site / "clip.html",
                    "<html><head><title>Clip</title></head><body><video poster=\"poster.png\">"
                    "<source src=\"clip.mpd\" type=\"application/dash+xml\"><track "
                    "kind=\"subtitles\" srclang=\"en\" src=\"en.vtt\"></video></body></html>");
    DownloadOptions extras;
    extras.thumbnails = true;
    extras.subtitleLanguages = {"en", "fr"};  // no French track: not an error
    engine.setOptions(extras);
    const fs::path media = box / "library/Media";
    const std::string page = link.substr(0, link.rfind('/')) + "/clip.html";
    EXPECT_EQ(engine.download(page, media, "Clip [clip]"), media / "Clip [clip].mp4");
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(media)) {
        written.insert(entry.path().filename().string());
    }
    EXPECT_EQ(written, (std::set<std::string>{"Clip [clip].mp4", "Clip [clip]-poster.jpg",
                                              "Clip [clip].en.srt"}));
    EXPECT_TRUE(test::readFile(media / "Clip [clip]-poster.jpg").starts_with("\xFF\xD8\xFF"));
    EXPECT_NE(test::readFile(media / "Clip [clip].en.srt").find("00:00:00,000 --> 00:00:01,000"),
              std::string::npos);
}

}  // namespace
}  // namespace kelvo
