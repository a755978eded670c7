// UTF-8 validation at the edges of the encoding, and the repair that lets
// every string read from a property list be written back.
#include "platform/foundation/utf8_repair.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using px::platform::foundation::plist::repaired_utf8;
using px::platform::foundation::plist::valid_utf8;

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Utf8Repair, WellFormedTextAtTheEdgesOfEachLength) {
  for (const char* text : {"", "plain ascii", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                           "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(valid_utf8(text)) << text;
    EXPECT_EQ(repaired_utf8(text), text);
  }
}

TEST(Utf8Repair, OverlongSurrogateAndOutOfRangeFormsAreInvalid) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"overlong two bytes", "\xC0\x80"},
           {"overlong two bytes, highest", "\xC1\xBF"},
           {"overlong three bytes", "\xE0\x9F\xBF"},
           {"overlong four bytes", "\xF0\x8F\xBF\xBF"},
           {"high surrogate", "\xED\xA0\x80"},
           {"low surrogate", "\xED\xBF\xBF"},
           {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
           {"lead byte F5", "\xF5\x80\x80\x80"},
           {"lone continuation", "\x80"},
           {"cut short at the end", "ab\xE2\x82"},
           {"continuation replaced by ascii", "\xE2(\xAC"},
       })
    EXPECT_FALSE(valid_utf8(c.bytes)) << c.what;
}

// The fast path looks at eight bytes at a time: a bad byte in any position
// of a word, or in the tail after the last whole word, must still be seen.
TEST(Utf8Repair, ABadByteIsFoundAtEveryOffset) {
  for (std::size_t at = 0; at < 19; ++at) {
    std::string text(19, 'a');
    text[at] = '\xFF';
    EXPECT_FALSE(valid_utf8(text)) << "bad byte at " << at;
    std::string expected = text.substr(0, at) + kReplacement + text.substr(at + 1);
    EXPECT_EQ(repaired_utf8(text), expected) << "bad byte at " << at;
  }
}

TEST(Utf8Repair, EachByteOfABrokenSequenceIsReplacedAndGoodTextKept) {
  EXPECT_EQ(repaired_utf8("caf\xC3\xA9 \xFF"), "caf\xC3\xA9 " + kReplacement);
  // A lead byte whose sequence breaks: the lead is replaced, the rest read afresh.
  EXPECT_EQ(repaired_utf8("\xC3("), kReplacement + "(");
  EXPECT_EQ(repaired_utf8("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);
  EXPECT_EQ(repaired_utf8("x\xE2\x82"), "x" + kReplacement + kReplacement);
  std::string emoji_after_bad = "\xFE\xF0\x9F\x94\x8B";
  EXPECT_EQ(repaired_utf8(emoji_after_bad), kReplacement + "\xF0\x9F\x94\x8B");
  EXPECT_TRUE(valid_utf8(repaired_utf8("\xC0\x80\xF5\xFF\x80")));
}

}  // namespace
