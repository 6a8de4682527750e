#include "core/links/youtube_link.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelvo {
namespace {

// Links of the video dQw4w9WgXcQ: blanks around them only, any known host, scheme or none,
// watch/shorts/live/embed/v paths, an eleven-character id of A-Z a-z 0-9 _ - (decoded).
TEST(YouTubeLink, RecognisesVideoLinks) {
    for (const char* text :
         {"  \n\thttps://www.youtube.com/watch?v=dQw4w9WgXcQ \r\n",
          "\u00a0youtube.com/watch?v=dQw4w9WgXcQ\u2003", "www.youtube.com/watch?v=dQw4w9WgXcQ",
          "http://youtube.com/watch?v=dQw4w9WgXcQ", "m.youtube.com/watch?v=dQw4w9WgXcQ",
          "music.youtube.com/watch?v=dQw4w9WgXcQ&feature=share",
          "HTTPS://WWW.YOUTUBE.COM/watch?v=dQw4w9WgXcQ", "YouTube.com/watch?v=dQw4w9WgXcQ",
          "https://youtube.com:443/watch?v=dQw4w9WgXcQ",
          "https://youtu.be/dQw4w9WgXcQ?t=42&si=abc#x", "www.youtu.be/dQw4w9WgXcQ?t=42",
          "youtube.com/shorts/dQw4w9WgXcQ", "youtube.com/live/dQw4w9WgXcQ?feature=share",
          "youtube.com/embed/dQw4w9WgXcQ", "youtube.com/v/dQw4w9WgXcQ",
          "youtube.com//shorts//dQw4w9WgXcQ/", "youtube.com/watch?v=dQw4w9WgX%63Q",
          "youtube.com/watch?v=dQw4w9WgXcQ#t=1", "youtube.com/watch?v=dQw4w9WgXcQ&list=PL1"}) {
        EXPECT_EQ(YouTubeLink::classify(text),
                  YouTubeLink::video("dQw4w9WgXcQ", "https://www.youtube.com/watch?v=dQw4w9WgXcQ"))
            << text;
    }
    EXPECT_EQ(YouTubeLink::classify("youtu.be/a_b-c_d-e_f"),
              YouTubeLink::video("a_b-c_d-e_f", "https://www.youtube.com/watch?v=a_b-c_d-e_f"));
}

// Playlist links carry `list` on the playlist or watch path; a valid video id wins over it, and
// the first item of a name counts.
TEST(YouTubeLink, RecognisesPlaylistLinks) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://www.youtube.com/watch?v=dQw4w9WgXc&list=PL1", "PL1"},
        {"youtube.com/watch?list=PL1", "PL1"},
        {"https://www.youtube.com/playlist?list=PLabc_-123", "PLabc_-123"},
        {"music.youtube.com/playlist?list=OLAK5uy", "OLAK5uy"},
        {"youtube.com/watch?v=&v=dQw4w9WgXcQ&list=PL1", "PL1"},
        {"youtube.com/playlist?list=PL%2B1", "PL+1"},
    };
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(YouTubeLink::classify(text), YouTubeLink::playlist(id)) << text;
    }
}

TEST(YouTubeLink, RefusesEverythingElse) {
    for (const char* text : {"",
                             " \n ",
                             "hello",
                             "youtube.com/watch?v=dQw4w9WgXcQ extra",
                             "youtube.com/watch?v=dQw4w\u00a09WgXcQ",
                             "https://www.example.com/watch?v=dQw4w9WgXcQ",
                             "gaming.youtube.com/watch?v=dQw4w9WgXcQ",
                             "notyoutube.com/watch?v=dQw4w9WgXcQ",
                             "https://xyoutu.be/dQw4w9WgXcQ",
                             "ftp://youtube.com/watch?v=dQw4w9WgXcQ",
                             "https://youtu.be/",
                             "youtu.be/?list=PL1",
                             "youtube.com/shorts",
                             "youtube.com/Shorts/dQw4w9WgXcQ",
                             "youtube.com/Watch?v=dQw4w9WgXcQ",
                             "youtube.com/channel/dQw4w9WgXcQ",
                             "youtu.be/dQw4w9WgXc",
                             "youtu.be/dQw4w9WgXcQQ",
                             "youtu.be/dQw4w9WgX.Q",
                             "youtube.com/watch?v=dQw4w9WgX+Q",
                             "youtube.com/watch?v=dQw4w9WgX%20Q",
                             "youtube.com/watch?v=dQw4w9WgX%C3%A9",
                             "youtube.com/watch?v=dQw4w9WgX%zz",
                             "https://www.youtube.com/?list=PL1",
                             "youtube.com/feed?list=PL1",
                             "youtube.com/playlist?list=",
                             "youtube.com/playlist?list",
                             "youtube.com/playlist?list=&list=PL2",
                             "youtube.com/watch?v=&v=dQw4w9WgXcQ",
                             "youtube.com/watch?v&v=dQw4w9WgXcQ",
                             "youtube.com/watch?V=dQw4w9WgXcQ"}) {
        EXPECT_EQ(YouTubeLink::classify(text), std::nullopt) << text;
    }
}

TEST(PlaylistID, ReducesAPlaylistLinkToItsID) {
    const std::pair<std::string, std::string> cases[] = {
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
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(playlistID(text), expected) << text;
    }
}

}  // namespace
}  // namespace kelvo
