#include "core/links/youtube_link.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelvo {
namespace {

const std::string id = "dQw4w9WgXcQ";
const std::string watch = "https://www.youtube.com/watch?v=dQw4w9WgXcQ";

YouTubeLink video() {
    return YouTubeLink::video(id, watch);
}

struct ClassifyCase {
    const char* name;
    std::string text;
    std::optional<YouTubeLink> expected;
};

void PrintTo(const ClassifyCase& c, std::ostream* out) {
    *out << c.name;
}

std::string caseName(const ::testing::TestParamInfo<ClassifyCase>& param) {
    return param.param.name;
}

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, RecognisesTheLink) {
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(YouTubeLink::classify(c.text), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Blanks, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"surrounding", "  \n\t" + watch + " \r\n", video()},
        ClassifyCase{"unicode_blanks", "\u00a0" + watch + "\u2003", video()},
        ClassifyCase{"inside", "https://www.youtube.com/watch?v=dQw4w9WgXcQ extra", std::nullopt},
        ClassifyCase{"no_break_space_inside", "https://www.youtube.com/watch?v=dQw4w\u00a09WgXcQ",
                     std::nullopt},
        ClassifyCase{"empty", "", std::nullopt}, ClassifyCase{"only_blanks", " \n ", std::nullopt}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    HostsAndSchemes, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"no_scheme", "www.youtube.com/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"bare_host", "youtube.com/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"http", "http://youtube.com/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"mobile", "https://m.youtube.com/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"music", "https://music.youtube.com/watch?v=dQw4w9WgXcQ&feature=share",
                     video()},
        ClassifyCase{"upper_scheme_and_host", "HTTPS://WWW.YOUTUBE.COM/watch?v=dQw4w9WgXcQ",
                     video()},
        ClassifyCase{"upper_host_no_scheme", "YouTube.com/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"with_port", "https://www.youtube.com:443/watch?v=dQw4w9WgXcQ", video()},
        ClassifyCase{"other_domain", "https://www.example.com/watch?v=dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"other_subdomain", "https://gaming.youtube.com/watch?v=dQw4w9WgXcQ",
                     std::nullopt},
        ClassifyCase{"lookalike_suffix", "https://notyoutube.com/watch?v=dQw4w9WgXcQ",
                     std::nullopt},
        ClassifyCase{"lookalike_short", "https://xyoutu.be/dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"ftp_scheme", "ftp://youtube.com/watch?v=dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"not_a_link", "hello", std::nullopt}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ShortLinksAndPaths, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"short", "https://youtu.be/dQw4w9WgXcQ", video()},
        ClassifyCase{"short_www_with_t", "https://www.youtu.be/dQw4w9WgXcQ?t=42", video()},
        ClassifyCase{"short_no_segment", "https://youtu.be/", std::nullopt},
        ClassifyCase{"short_with_list_only", "https://youtu.be/?list=PL1", std::nullopt},
        ClassifyCase{"shorts", "https://www.youtube.com/shorts/dQw4w9WgXcQ", video()},
        ClassifyCase{"live", "https://www.youtube.com/live/dQw4w9WgXcQ?feature=share", video()},
        ClassifyCase{"embed", "https://www.youtube.com/embed/dQw4w9WgXcQ", video()},
        ClassifyCase{"v", "https://www.youtube.com/v/dQw4w9WgXcQ", video()},
        ClassifyCase{"doubled_slashes", "https://www.youtube.com//shorts//dQw4w9WgXcQ/", video()},
        ClassifyCase{"shorts_alone", "https://www.youtube.com/shorts", std::nullopt},
        ClassifyCase{"shorts_upper", "https://www.youtube.com/Shorts/dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"watch_upper", "https://www.youtube.com/Watch?v=dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"other_first_segment", "https://www.youtube.com/channel/dQw4w9WgXcQ",
                     std::nullopt},
        ClassifyCase{"encoded_id", "https://www.youtube.com/watch?v=dQw4w9WgX%63Q", video()},
        ClassifyCase{"fragment_ignored", "https://www.youtube.com/watch?v=dQw4w9WgXcQ#t=1",
                     video()}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    VideoIDs, ClassifyTest,
    ::testing::Values(
        ClassifyCase{
            "underscore_dash", "https://youtu.be/a_b-c_d-e_f",
            YouTubeLink::video("a_b-c_d-e_f", "https://www.youtube.com/watch?v=a_b-c_d-e_f")},
        ClassifyCase{"ten_characters", "https://youtu.be/dQw4w9WgXc", std::nullopt},
        ClassifyCase{"twelve_characters", "https://youtu.be/dQw4w9WgXcQQ", std::nullopt},
        ClassifyCase{"dot", "https://youtu.be/dQw4w9WgX.Q", std::nullopt},
        ClassifyCase{"plus", "https://www.youtube.com/watch?v=dQw4w9WgX+Q", std::nullopt},
        ClassifyCase{"encoded_blank", "https://www.youtube.com/watch?v=dQw4w9WgX%20Q",
                     std::nullopt},
        ClassifyCase{"non_ascii_letter", "https://www.youtube.com/watch?v=dQw4w9WgX%C3%A9",
                     std::nullopt},
        ClassifyCase{"bad_percent", "https://www.youtube.com/watch?v=dQw4w9WgX%zz", std::nullopt}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    QueryItems, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"video_wins_over_list", "https://www.youtube.com/watch?v=dQw4w9WgXcQ&list=PL1",
                     video()},
        ClassifyCase{"short_v_falls_back_to_list",
                     "https://www.youtube.com/watch?v=dQw4w9WgXc&list=PL1",
                     YouTubeLink::playlist("PL1")},
        ClassifyCase{"watch_list_only", "https://www.youtube.com/watch?list=PL1",
                     YouTubeLink::playlist("PL1")},
        ClassifyCase{"playlist", "https://www.youtube.com/playlist?list=PLabc_-123",
                     YouTubeLink::playlist("PLabc_-123")},
        ClassifyCase{"playlist_music", "music.youtube.com/playlist?list=OLAK5uy",
                     YouTubeLink::playlist("OLAK5uy")},
        ClassifyCase{"list_empty_path", "https://www.youtube.com/?list=PL1", std::nullopt},
        ClassifyCase{"list_other_segment", "https://www.youtube.com/feed?list=PL1", std::nullopt},
        ClassifyCase{"list_empty_value", "https://www.youtube.com/playlist?list=", std::nullopt},
        ClassifyCase{"list_no_value", "https://www.youtube.com/playlist?list", std::nullopt},
        ClassifyCase{"first_list_counts", "https://www.youtube.com/playlist?list=&list=PL2",
                     std::nullopt},
        ClassifyCase{"first_v_empty", "https://www.youtube.com/watch?v=&v=dQw4w9WgXcQ",
                     std::nullopt},
        ClassifyCase{"first_v_without_value", "https://www.youtube.com/watch?v&v=dQw4w9WgXcQ",
                     std::nullopt},
        ClassifyCase{"first_v_empty_with_list",
                     "https://www.youtube.com/watch?v=&v=dQw4w9WgXcQ&list=PL1",
                     YouTubeLink::playlist("PL1")},
        ClassifyCase{"name_is_exact", "https://www.youtube.com/watch?V=dQw4w9WgXcQ", std::nullopt},
        ClassifyCase{"list_decoded", "https://www.youtube.com/playlist?list=PL%2B1",
                     YouTubeLink::playlist("PL+1")}),
    caseName);

TEST(YouTubeLink, CanonicalURLDropsEverythingButTheID) {
    const auto link = YouTubeLink::classify("https://youtu.be/dQw4w9WgXcQ?t=42&si=abc#x");
    ASSERT_TRUE(link.has_value());
    EXPECT_TRUE(link->isVideo());
    EXPECT_EQ(link->url, watch);
    EXPECT_EQ(YouTubeLink::watchURL("abc"), "https://www.youtube.com/watch?v=abc");
}

TEST(PlaylistID, ReducesAPlaylistLinkToItsID) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"PLrAXtmErZgOeiKm4sgNOknGvNjby9efdf", "PLrAXtmErZgOeiKm4sgNOknGvNjby9efdf"},
        {"https://www.youtube.com/playlist?list=PL123", "PL123"},
        {"https://www.youtube.com/watch?v=dQw4w9WgXcQ&list=PL123&index=2", "PL123"},
        {"youtube.com/playlist?list=PL123", "PL123"},
        {"https://www.youtube.com/playlist?list=", ""},
        {"https://www.youtube.com/playlist?list", "https://www.youtube.com/playlist?list"},
        {"https://www.youtube.com/playlist?foo=1", "https://www.youtube.com/playlist?foo=1"},
        {"https://www.youtube.com/playlist", "https://www.youtube.com/playlist"},
        {"https://www.youtube.com/playlist?list=PL%201", "PL 1"},
        {" https://www.youtube.com/playlist?list=PL1",
         " https://www.youtube.com/playlist?list=PL1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(playlistID(c.text), c.expected) << c.text;
    }
}

}  // namespace
}  // namespace kelvo
