#include "tts/ttssentences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Sentences = std::vector<std::string>;

TEST(TTSSentences, SplitsAtSentenceBoundariesWithoutTrimming) {
    const struct {
        std::string text;
        Sentences expected;
    } cases[] = {
        {"", {}},
        {"Hello world. How are you?", {"Hello world. ", "How are you?"}},
        {"Hi.  There.", {"Hi.  ", "There."}},
        // The paragraph separator joins the sentence before it; the lone second line end is dropped.
        {"A.\n\nB.", {"A.\n", "B."}},
        {"Hello.\r\nWorld.", {"Hello.\r\n", "World."}},
        {"\n", {}},
        {"  ", {"  "}},
        {"\xe4\xbd\xa0\xe5\xa5\xbd\xe3\x80\x82\xe6\x88\x91\xe5\xbe\x88\xe5\xa5\xbd\xef\xbc\x81",
         {"\xe4\xbd\xa0\xe5\xa5\xbd\xe3\x80\x82", "\xe6\x88\x91\xe5\xbe\x88\xe5\xa5\xbd\xef\xbc\x81"}},
        {"\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf\xe3\x80\x82\xe5\x85\x83\xe6\xb0\x97"
         "\xe3\x80"
         "\x82",
         {"\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf\xe3\x80\x82",
          "\xe5\x85\x83\xe6\xb0\x97\xe3\x80\x82"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tts_sentences(c.text), c.expected) << c.text;
    }
}

TEST(TTSSentences, TextEndsAtFirstNul) {
    const std::string text("One. Two.\0Three.", 16);
    EXPECT_EQ(tts_sentences(text), (Sentences{"One. ", "Two."}));
}

TEST(TTSSentences, LongSentenceStaysWhole) {
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "word ";
    }
    text += "end.";
    EXPECT_EQ(tts_sentences(text), Sentences{text});
}

TEST(TTSSentences, MalformedUtf8GivesNothing) {
    EXPECT_TRUE(tts_sentences("a\xff b. c.").empty());
    EXPECT_TRUE(tts_sentences("\xe4\xbd").empty());
}

TEST(TTSSentences, IcuTokensAppends) {
    Sentences tokens{"kept"};
    icuTokens(tokens, "Hi there", TTSBreakKind::Word);
    EXPECT_EQ(tokens, (Sentences{"kept", "Hi", "there"}));
}

} // namespace
