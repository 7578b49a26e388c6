#include <gtest/gtest.h>

#include "nstring.h"

TEST(Strings, MatchingAndDuplication) {
    EXPECT_FALSE(nStringsMatch(nullptr, nullptr));
    EXPECT_FALSE(nStringsMatch("a", nullptr));
    EXPECT_TRUE(nStringsMatch("", ""));
    EXPECT_TRUE(nStringsMatchIncaseSensitive("Node", "NODE"));
    char* d = nStringDuplicate(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d, "");
    nStringFree(d);
    EXPECT_EQ(nStringLength(nullptr), 0);
}

TEST(Strings, FormattingTruncatesAtItsLimits) {
    char small[8];
    nStringFormat(small, sizeof small, "%s", "abcdefghij");
    EXPECT_STREQ(small, "abcdefg");
    std::string longtext(3000, 'x');
    char big[1100];
    memset(big, 'Z', sizeof big);
    nSprintf(big, "%s", longtext.c_str());
    EXPECT_EQ(strlen(big), 1023u);
    EXPECT_EQ(big[1024], 'Z');  // nothing written past 1024 bytes
    nString s;
    s.Format("%s", longtext.c_str());
    EXPECT_EQ(s.Length(), 1023);
}

TEST(Strings, TokensFollowTheSeparatorRules) {
    EXPECT_STREQ(nStringGetToken("1024x768", "x", 0), "1024");
    EXPECT_STREQ(nStringGetToken("1024x768", "x", 1), "768");
    EXPECT_EQ(nStringGetToken("1024x768", "x", 2), nullptr);
    EXPECT_EQ(nStringGetToken("a,b,", ",", 2), nullptr);
    EXPECT_EQ(nStringGetToken(nullptr, ",", 0), nullptr);
    std::string tooLong(300, 'a');
    for (int i = 0; i < 3; i++) EXPECT_EQ(nStringGetToken(tooLong.c_str(), ",", i), nullptr);
    // Results rotate through 8 buffers: the first stays valid for 7 more calls.
    char* first = nStringGetToken("p,q", ",", 0);
    for (int i = 0; i < 7; i++) nStringGetToken("x,y", ",", 1);
    EXPECT_STREQ(first, "p");
    // The string-object form gives "" where the static one gives null.
    EXPECT_STREQ(nString::Token("a,b,", ",", 2).c_str(), "");
    EXPECT_EQ(nString::Token(nullptr, ",", 0).text, nullptr);
    EXPECT_STREQ(nString::Token("dir/file", "/", 1).c_str(), "file");
}

TEST(Strings, ReplaceNeverOverrunsTheDestination) {
    char dst[64];
    nStringReplace("a-b-c", "-", "+", dst, sizeof dst);
    EXPECT_STREQ(dst, "a+b+c");
    nStringReplace("aa", "a", "aa", dst, sizeof dst);  // replacements are not searched again
    EXPECT_STREQ(dst, "aaaa");

    // One byte larger than the source: a longer replacement does not fit.
    char tight[6];
    memset(tight, 'Z', sizeof tight);
    nStringReplace("ab-cd", "-", "+++", tight, sizeof tight);
    EXPECT_STREQ(tight, "ab-cd");

    // Room for exactly one replacement: the second is left alone.
    char two[7];
    nStringReplace("a-b-c", "-", "==", two, sizeof two);
    EXPECT_STREQ(two, "a==b-c");

    char untouched[4] = "xyz";
    nStringReplace("abcdef", "a", "b", untouched, sizeof untouched);  // destination too small
    EXPECT_STREQ(untouched, "xyz");
}

TEST(StringObject, SetFromOwnTextAndAppend) {
    nString s("hello");
    s.Set(s.text);
    EXPECT_STREQ(s.c_str(), "hello");
    s.Append(" world");
    EXPECT_STREQ(s.c_str(), "hello world");
    s.Set(nullptr);
    EXPECT_EQ(s.text, nullptr);
}

TEST(Arrays, GrowFrom32ByDoublingBeforeTheLastSlotFills) {
    nArray<int> a;
    EXPECT_EQ(a.data, nullptr);
    for (int i = 0; i < 31; i++) a.InsertLast(i);
    EXPECT_EQ(a.capacity, 32);
    a.InsertLast(31);
    EXPECT_EQ(a.capacity, 64);
    EXPECT_EQ(a.count, 32);
    for (int i = 0; i < 32; i++) EXPECT_EQ(a[i], i);
    for (int i = 32; i < 63; i++) a.InsertLast(i);
    EXPECT_EQ(a.capacity, 64);
    a.InsertLast(63);
    EXPECT_EQ(a.capacity, 128);
}

TEST(Arrays, ShrinkAtAQuarterAndKeepTheBlockWhenEmpty) {
    nArray<int> a;
    for (int i = 0; i < 40; i++) a.InsertLast(i);
    ASSERT_EQ(a.capacity, 64);
    while (a.count > 17) a.RemoveIndex(0);
    EXPECT_EQ(a.capacity, 64);
    a.RemoveIndex(0);  // 16 of 64 in use
    EXPECT_EQ(a.capacity, 32);
    EXPECT_EQ(a[0], 24);
    while (a.count > 1) a.RemoveIndex(a.count - 1);
    a.RemoveIndex(0);
    EXPECT_EQ(a.count, 0);
    EXPECT_NE(a.data, nullptr);
}

TEST(Arrays, InsertFirstAndRemoveByValue) {
    nArray<int> a;
    a.InsertLast(2);
    a.InsertFirst(1);
    a.InsertLast(3);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[2], 3);
    EXPECT_TRUE(a.Remove(2));
    EXPECT_FALSE(a.Remove(7));
    EXPECT_EQ(a.count, 2);
    EXPECT_EQ(a[1], 3);
    // Inserting an element of the array itself while it grows stays valid.
    nArray<int> b;
    for (int i = 0; i < 31; i++) b.InsertLast(i);
    b.InsertLast(b[5]);
    EXPECT_EQ(b[31], 5);
}

TEST(Maps, AddReplacesEqualKeysAndNullKeyIsEmpty) {
    nMap<int> m;
    m.AddPair("a", 1);
    m.AddPair("b", 2);
    m.AddPair("a", 3);
    EXPECT_EQ(m.Count(), 2);
    EXPECT_EQ(*m.Find("a"), 3);
    m.AddPair(nullptr, 9);
    EXPECT_EQ(*m.Find(""), 9);
    EXPECT_EQ(m.Find("zz"), nullptr);
    EXPECT_TRUE(m.Remove("a"));
    EXPECT_EQ(m.Find("a"), nullptr);
}

#include "kd-internal.h"

TEST(Buffers, AllocAndFree) {
    kd_buffer_t b = KD_AllocBuffer(0);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.size, 0);
    b = KD_AllocBuffer(16);
    ASSERT_NE(b.data, nullptr);
    EXPECT_EQ(b.size, 16);
    EXPECT_EQ(b.capacity, 16);
    EXPECT_EQ(b.reserved, 0);
    KD_FreeBuffer(&b);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.capacity, 0);
    KD_FreeBuffer(nullptr);
}
