#include "core/engine/engine_error.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(EngineError, DescriptionsAreTheStoredTexts) {
    EXPECT_STREQ(EngineError::toolMissing("deno").what(),
                 "deno not found (looked in KELVO_TOOLS_DIR, tools/ next to kelvo, Vendor/bin, "
                 "PATH)");
    EXPECT_EQ(EngineError::needsSignIn("ERROR: x").description(), "needs sign-in: ERROR: x");
    EXPECT_EQ(EngineError::failed("boom").description(), "boom");
    EXPECT_EQ(EngineError::needsSignIn("ERROR: x").payload(), "ERROR: x");
    EXPECT_TRUE(EngineError::stopped().isStopped());
    EXPECT_FALSE(EngineError::failed("boom").isStopped());
    EXPECT_EQ(EngineError::failed("a"), EngineError::failed("a"));
    EXPECT_FALSE(EngineError::failed("a") == EngineError::needsSignIn("a"));
}

TEST(EngineError, ClassifiesErrorText) {
    using Kind = EngineError::Kind;
    const struct {
        std::string text;
        Kind kind;
        std::string summary;
    } cases[] = {
        {"", Kind::failed, "yt-dlp failed"},
        {"\n\n\n", Kind::failed, "yt-dlp failed"},
        {"plain line\nlast line\n", Kind::failed, "last line"},
        {"ERROR: first\nERROR: second\nafterwards\n", Kind::failed, "ERROR: second"},
        {"  ERROR: kept untrimmed  \n", Kind::failed, "  ERROR: kept untrimmed  "},
        {"error: lower case only\nlast\n", Kind::failed, "last"},
        {"ERROR: [youtube] x: Sign In To Confirm Your AGE\n", Kind::needsSignIn,
         "ERROR: [youtube] x: Sign In To Confirm Your AGE"},
        {"ERROR: Private video. Sign in if you've been granted access\n", Kind::needsSignIn,
         "ERROR: Private video. Sign in if you've been granted access"},
        {"ERROR: Join this channel to get access to members-only content\n", Kind::needsSignIn,
         "ERROR: Join this channel to get access to members-only content"},
        {"WARNING: age-restricted\nERROR: gone\n", Kind::needsSignIn, "ERROR: gone"},
        {"ERROR: This video is available to this channel's members on level: x\n",
         Kind::needsSignIn, "ERROR: This video is available to this channel's members on level: x"},
        {"ERROR: Unsupported URL: https://example.com\n", Kind::failed,
         "ERROR: Unsupported URL: https://example.com"},
    };
    for (const auto& c : cases) {
        const EngineError error = EngineError::classify(c.text);
        EXPECT_EQ(error.kind(), c.kind) << c.text;
        EXPECT_EQ(error.payload(), c.summary) << c.text;
    }
}

TEST(EngineError, TellsTransientFailures) {
    const struct {
        std::string message;
        bool transient;
    } cases[] = {
        {"ERROR: unable to download video data: HTTP Error 403: Forbidden", true},
        {"ERROR: Read TIMED OUT.", true},
        {"ERROR: timeout", true},
        {"ERROR: [Errno 104] Connection reset by peer", true},
        {"ERROR: Connection aborted.", true},
        {"ERROR: Temporary failure in name resolution", true},
        {"ERROR: [Errno 101] Network is unreachable", true},
        {"ERROR: Remote end closed connection without response", true},
        {"ERROR: Unsupported URL: https://example.com", false},
        {"ERROR: HTTP Error 404: Not Found", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isTransientMessage(c.message), c.transient) << c.message;
        EXPECT_EQ(EngineError::failed(c.message).isTransient(), c.transient) << c.message;
    }
    // Only `failed` errors are retried, whatever their text.
    EXPECT_FALSE(EngineError::needsSignIn("HTTP Error 403").isTransient());
    EXPECT_FALSE(EngineError::toolMissing("403").isTransient());
}

}  // namespace
}  // namespace kelvo
