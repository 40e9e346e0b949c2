// The order in which names compare is the registry's (Wine sorts names by the Unicode code
// units of their lower-case letters): listings, snapshots and the backup's check for names
// that read the same all rest on it.
#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(CodePageOrder, NamesCompareByTheirLowerCaseLettersInUnicode)
{
    EXPECT_EQ(0, CompareNoCase1252("CAF\xC9", "caf\xE9"));          // É and é
    EXPECT_EQ(0, CompareNoCase1252("\x9F", "\xFF"));                // Ÿ and ÿ
    EXPECT_EQ(0, CompareNoCase1252("\x8A\x8C\x8E", "\x9A\x9C\x9E"));  // Š Œ Ž and š œ ž
    EXPECT_LT(CompareNoCase1252("_x", "Ax"), 0);  // '_' before 'a', though after 'A'
    EXPECT_LT(CompareNoCase1252("\xFF", "\x80"), 0);  // ÿ (U+00FF) before € (U+20AC)
    EXPECT_LT(CompareNoCase1252("\x9A", "\x80"), 0);  // š (U+0161) before € (U+20AC)
    EXPECT_LT(CompareNoCase1252("\x81", "\x80"), 0);  // an undefined byte is its C1 control, before €
    EXPECT_LT(CompareNoCase1252("Key", "key 2"), 0);  // a name before those it begins
    EXPECT_GT(CompareNoCase1252("Group 0011", "group 0010"), 0);
    // Ordered as a whole: the first difference decides, whatever follows.
    EXPECT_LT(CompareNoCase1252("a\xFFzzz", "A\x80"), 0);
}

}  // namespace
}  // namespace tw::test
