#include "core/links/ytdlp_playlist_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/engine/engine_error.h"
#include "tests/fixtures/fake_service.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using Flat = YTDLPPlaylistSource::Flat;

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
    test::FakeService service{box / "service"};
    YTDLPPlaylistSource source{YTDLPEngine(service.locator(), 1)};
};

// Entries without an id are left out; private, deleted, paid and sign-in-only ones unavailable.
TEST_F(YTDLPPlaylistSourceFake, ListsItemsAndTheirAvailabilityThroughOneRunPerCall) {
    const std::pair<test::FakeEntry, std::optional<RemoteItem>> cases[] = {
        {{.id = "a"}, RemoteItem{"a", "Known", true}},
        {{.id = "b", .title = "[Private video]"}, RemoteItem{"b", "[Private video]", false}},
        {{.id = "c", .title = "[DELETED VIDEO]", .availability = "public"},
         RemoteItem{"c", "[DELETED VIDEO]", false}},
        {{.id = "d", .title = "My [private video] story"},
         RemoteItem{"d", "My [private video] story", true}},
        {{.id = "e", .title = "x", .availability = "needs_auth"}, RemoteItem{"e", "x", false}},
        {{.id = "f", .title = "x", .availability = "subscriber_only"}, RemoteItem{"f", "x", false}},
        {{.id = "g", .title = "x", .availability = "premium_only"}, RemoteItem{"g", "x", false}},
        {{.id = "h", .title = "x", .availability = "private"}, RemoteItem{"h", "x", false}},
        {{.id = "i", .title = "x", .availability = "Private"}, RemoteItem{"i", "x", true}},
        {{.id = "j", .title = "x", .availability = "unlisted"}, RemoteItem{"j", "x", true}},
        {{.title = "no id"}, std::nullopt},
        {{.id = "k"}, RemoteItem{"k", "k", true}},
    };
    test::FakePlaylist playlist{.id = "PL1", .title = "Mix"};
    std::vector<RemoteItem> items;
    for (const auto& [entry, item] : cases) {
        playlist.entries.push_back(entry);
        if (item) {
            items.push_back(*item);
        }
    }
    service.addVideo({.id = "a", .title = "Known"});
    service.addPlaylist(playlist);
    EXPECT_EQ(source.playlist("PL1"), (RemotePlaylist{"PL1", "Mix", 12}));
    EXPECT_EQ(source.items("PL1"), items);
    EXPECT_EQ(service.callsWith("https://www.youtube.com/playlist?list=PL1"), 2);
    EXPECT_EQ(YTDLPPlaylistSource::url("a b&c"), "https://www.youtube.com/playlist?list=a b&c");
}

TEST_F(YTDLPPlaylistSourceFake, FallsBackToTheRequestedIDOrFails) {
    service.addPlaylist({.id = "PL2", .withoutEntries = true});
    EXPECT_EQ(source.playlist("PL2"), (RemotePlaylist{"PL2", "PL2", std::nullopt}));
    EXPECT_TRUE(source.items("PL2").empty());

    service.addPlaylist({.id = "PLbad", .behaviour = test::FakeBehaviour::garbage});
    service.addPlaylist(
        {.id = "PLgone", .behaviour = test::FakeBehaviour::fail, .message = "ERROR: gone"});
    const auto failure = [](auto call) -> std::string {
        try {
            call();
        } catch (const EngineError& error) {
            return error.description();
        }
        return "no error";
    };
    using ::testing::StartsWith;
    EXPECT_THAT(failure([&] { source.items("PLbad"); }), StartsWith("could not read playlist"));
    EXPECT_THAT(failure([&] { source.playlist("PLbad"); }), StartsWith("could not read playlist"));
    EXPECT_EQ(failure([&] { source.playlist("PLgone"); }), "ERROR: gone");
}

}  // namespace
}  // namespace kelvo
