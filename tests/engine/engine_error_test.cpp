#include "core/engine/engine_error.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

using Kind = EngineError::Kind;

TEST(EngineError, DescriptionsAndPayloads) {
    EXPECT_STREQ(EngineError::toolMissing("deno").what(),
                 "deno not found (looked in KELVO_TOOLS_DIR, tools/ next to kelvo, Vendor/bin, "
                 "PATH)");
    EXPECT_EQ(EngineError::needsSignIn("ERROR: x").description(), "needs sign-in: ERROR: x");
    EXPECT_EQ(EngineError::needsSignIn("ERROR: x").payload(), "ERROR: x");
    EXPECT_EQ(EngineError::failed("boom").description(), "boom");
    EXPECT_TRUE(EngineError::stopped().isStopped());
    EXPECT_FALSE(EngineError::failed("boom").isStopped());
    EXPECT_FALSE(EngineError::needsSignIn("stopped").isStopped());
    EXPECT_FALSE(EngineError::toolMissing("403").isTransient());
}

// yt-dlp's error text: the summary is the last line holding "ERROR", else the last line; sign-in
// phrases anywhere make it needsSignIn; a failed error naming a network hiccup is retried.
TEST(EngineError, ClassifiesErrorText) {
    const struct {
        std::string text;
        Kind kind;
        std::string summary;  // "": the text itself
        bool transient;
    } cases[] = {
        {"", Kind::failed, "yt-dlp failed", false},
        {"\n\n\n", Kind::failed, "yt-dlp failed", false},
        {"plain line\nlast line\n", Kind::failed, "last line", false},
        {"ERROR: first\nERROR: second\nafterwards\n", Kind::failed, "ERROR: second", false},
        {"  ERROR: kept untrimmed  \n", Kind::failed, "  ERROR: kept untrimmed  ", false},
        {"error: lower case only\nlast\n", Kind::failed, "last", false},
        {"ERROR: x: Sign In To Confirm Your AGE", Kind::needsSignIn, "", false},
        {"ERROR: Private video. Sign in if you've been granted access", Kind::needsSignIn, "",
         false},
        {"ERROR: Join this channel to get access to members-only content", Kind::needsSignIn, "",
         false},
        {"ERROR: This video is available to this channel's members on level: x", Kind::needsSignIn,
         "", false},
        {"WARNING: age-restricted\nERROR: HTTP Error 403\n", Kind::needsSignIn,
         "ERROR: HTTP Error 403", false},
        {"ERROR: This video may be inappropriate for some users", Kind::needsSignIn, "", false},
        {"ERROR: Unsupported URL: https://example.com", Kind::failed, "", false},
        {"ERROR: HTTP Error 404: Not Found", Kind::failed, "", false},
        {"ERROR: timeout\nERROR: gone", Kind::failed, "ERROR: gone", false},
        {"ERROR: unable to download video data: HTTP Error 403: Forbidden", Kind::failed, "", true},
        {"ERROR: Read TIMED OUT.", Kind::failed, "", true},
        {"ERROR: timeout", Kind::failed, "", true},
        {"ERROR: [Errno 104] Connection reset by peer", Kind::failed, "", true},
        {"ERROR: Connection aborted.", Kind::failed, "", true},
        {"ERROR: Temporary failure in name resolution", Kind::failed, "", true},
        {"ERROR: [Errno 101] Network is unreachable", Kind::failed, "", true},
        {"ERROR: Remote end closed connection without response", Kind::failed, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const EngineError error = EngineError::classify(c.text);
        EXPECT_EQ(error.kind(), c.kind);
        EXPECT_EQ(error.payload(), c.summary.empty() ? c.text : c.summary);
        EXPECT_EQ(error.isTransient(), c.transient);
    }
}

}  // namespace
}  // namespace kelvo
