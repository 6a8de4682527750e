#include "core/links/ytdlp_playlist_source.h"

#include <gtest/gtest.h>

#include "core/engine/engine_error.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::FakeBehaviour;
using test::FakeEntry;
using test::FakeService;

using Flat = YTDLPPlaylistSource::Flat;

TEST(YTDLPPlaylistSource, AddressKeepsTheIDUnchanged) {
    EXPECT_EQ(YTDLPPlaylistSource::url("PLabc"), "https://www.youtube.com/playlist?list=PLabc");
    EXPECT_EQ(YTDLPPlaylistSource::url("a b&c"), "https://www.youtube.com/playlist?list=a b&c");
}

TEST(YTDLPPlaylistSource, Availability) {
    const Flat flat = Flat::decode(R"({"entries": [
        {"id": "a", "title": "Fine"},
        {"id": "b", "title": "[Private video]"},
        {"id": "c", "title": "[DELETED VIDEO]", "availability": "public"},
        {"id": "d", "title": "My [private video] story"},
        {"id": "e", "title": "x", "availability": "needs_auth"},
        {"id": "f", "title": "x", "availability": "subscriber_only"},
        {"id": "g", "title": "x", "availability": "premium_only"},
        {"id": "h", "title": "x", "availability": "private"},
        {"id": "i", "title": "x", "availability": "Private"},
        {"id": "j", "title": "x", "availability": "unlisted"},
        {"id": "k", "title": "x", "availability": null},
        {"title": "no id"},
        {"id": "l"}
    ]})");
    const std::vector<RemoteItem> expected = {
        {"a", "Fine", true},
        {"b", "[Private video]", false},
        {"c", "[DELETED VIDEO]", false},
        {"d", "My [private video] story", true},
        {"e", "x", false},
        {"f", "x", false},
        {"g", "x", false},
        {"h", "x", false},
        {"i", "x", true},
        {"j", "x", true},
        {"k", "x", true},
        {"l", "l", true},
    };
    EXPECT_EQ(YTDLPPlaylistSource::itemsOf(flat), expected);
}

TEST(YTDLPPlaylistSource, DecodingIsStrictAboutTypes) {
    EXPECT_FALSE(Flat::decode("{}").entries.has_value());
    EXPECT_FALSE(Flat::decode(R"({"entries": null})").entries.has_value());
    for (const char* bad :
         {"", "[]", "nope", R"({"id": 1})", R"({"entries": {}})", R"({"entries": [1]})",
          R"({"entries": [null]})", R"({"entries": [{"availability": false}]})"}) {
        EXPECT_THROW(Flat::decode(bad), nlohmann::json::exception) << bad;
    }
}

class YTDLPPlaylistSourceFake : public ::testing::Test {
  protected:
    test::Sandbox box;
    FakeService service{box / "service"};
    YTDLPPlaylistSource source() { return YTDLPPlaylistSource(YTDLPEngine(service.locator(), 1)); }
};

TEST_F(YTDLPPlaylistSourceFake, ListsThroughOneFlatRun) {
    service.addVideo({.id = "aaaaaaaaaaa", .title = "First"});
    service.addPlaylist(
        {.id = "PL1",
         .title = "Mix",
         .entries = {{.id = "aaaaaaaaaaa"},
                     {.id = "bbbbbbbbbbb", .title = "[Private video]"},
                     {.title = "orphan"},
                     {.id = "ccccccccccc", .title = "Third", .availability = "needs_auth"}}});
    auto s = source();
    EXPECT_EQ(s.playlist("PL1"), (RemotePlaylist{"PL1", "Mix", 4}));
    const std::vector<RemoteItem> items = {{"aaaaaaaaaaa", "First", true},
                                           {"bbbbbbbbbbb", "[Private video]", false},
                                           {"ccccccccccc", "Third", false}};
    EXPECT_EQ(s.items("PL1"), items);
    const std::vector<std::string> call = {"--flat-playlist", "-J", "--no-warnings",
                                           "https://www.youtube.com/playlist?list=PL1"};
    EXPECT_EQ(service.calls(), std::vector<std::vector<std::string>>(2, call));
}

TEST_F(YTDLPPlaylistSourceFake, FallsBackToTheRequestedID) {
    service.addPlaylist({.id = "PL2", .withoutEntries = true});
    auto s = source();
    EXPECT_EQ(s.playlist("PL2"), (RemotePlaylist{"PL2", "PL2", std::nullopt}));
    EXPECT_TRUE(s.items("PL2").empty());
}

TEST_F(YTDLPPlaylistSourceFake, Failures) {
    service.addPlaylist({.id = "PLbad", .behaviour = FakeBehaviour::garbage});
    service.addPlaylist({.id = "PLgone",
                         .behaviour = FakeBehaviour::fail,
                         .message = "ERROR: [youtube:tab] PLgone: The playlist does not exist."});
    auto s = source();
    try {
        s.items("PLbad");
        ADD_FAILURE() << "no error";
    } catch (const EngineError& error) {
        EXPECT_TRUE(error.payload().starts_with("could not read playlist listing: "))
            << error.what();
    }
    EXPECT_THROW(s.playlist("PLbad"), EngineError);
    try {
        s.playlist("PLgone");
        ADD_FAILURE() << "no error";
    } catch (const EngineError& error) {
        EXPECT_EQ(error,
                  EngineError::failed("ERROR: [youtube:tab] PLgone: The playlist does not exist."));
    }
}

}  // namespace
}  // namespace kelvo
