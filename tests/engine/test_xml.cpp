// The engine XML reader: blocks, attributes, escapes, comments and damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "kd-console.h"
#include "kd-xml.h"
#include "test-support.h"

namespace {

struct Block {
    std::string tag;  // "" for text
    bool is_text = false;
    bool end = false;
    bool closing = false;
    std::vector<std::pair<std::string, std::string>> attrs;
};

std::vector<Block> ReadAll(KD_XMLReader& r) {
    std::vector<Block> out;
    while (kd_xml_block_t* b = r.ReadNextBlock()) {
        Block x;
        x.is_text = b->tag == nullptr;
        if (b->tag) x.tag = b->tag;
        x.end = b->end;
        x.closing = b->closing;
        for (int i = 0; i < b->count; i++) x.attrs.emplace_back(b->names[i], b->values[i]);
        out.push_back(x);
    }
    return out;
}

std::vector<Block> Parse(const std::string& doc, int* errors = nullptr) {
    KD_XMLReader r;
    EXPECT_TRUE(r.OpenFileInMemory(doc.data(), (int)doc.size()));
    auto blocks = ReadAll(r);
    if (errors) *errors = r.GetErrorCount();
    return blocks;
}

}  // namespace

TEST(XmlReader, TagsAttributesAndText) {
    int errors = -1;
    auto b = Parse("<a x = \"1\"   y=2/>", &errors);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].tag, "a");
    ASSERT_EQ(b[0].attrs.size(), 2u);
    EXPECT_EQ(b[0].attrs[0], std::make_pair(std::string("x"), std::string("1")));
    EXPECT_EQ(b[0].attrs[1], std::make_pair(std::string("y"), std::string("2")));
    EXPECT_TRUE(b[0].end);
    EXPECT_EQ(errors, 0);

    b = Parse("<a>hello world</a>");
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].tag, "a");
    EXPECT_FALSE(b[0].end);
    EXPECT_TRUE(b[1].is_text);
    ASSERT_EQ(b[1].attrs.size(), 1u);
    EXPECT_EQ(b[1].attrs[0].first, "DATA");
    EXPECT_EQ(b[1].attrs[0].second, "hello world");
    EXPECT_EQ(b[2].tag, "a");
    EXPECT_TRUE(b[2].end);
    EXPECT_TRUE(b[2].closing);

    // Blank runs between tags are no text blocks; tabs and line breaks
    // inside a tag fold into one blank.
    b = Parse("<r>\n\t<n\n\tid=\"q\"\t/>\n</r>\n");
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1].tag, "n");
    EXPECT_TRUE(b[1].end);
    EXPECT_FALSE(b[1].closing);
    EXPECT_EQ(b[1].attrs[0].second, "q");

    // The declaration is an ordinary tag and is not an error.
    b = Parse("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><root/>", &errors);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].tag, "?xml");
    EXPECT_EQ(b[0].attrs.size(), 2u);
    EXPECT_EQ(errors, 0);

    // Quoted values keep blanks, '<', '>' and '=' unchanged.
    b = Parse("<a v=\"  x <y> = z  \"/>");
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].attrs[0].second, "  x <y> = z  ");
}

TEST(XmlReader, CommentsAreSkipped) {
    int errors = -1;
    auto b = Parse("<!-- a comment <with> \"quotes -->\n<b/>", &errors);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].tag, "b");
    EXPECT_EQ(errors, 0);

    // A comment that never ends swallows the rest and is an error.
    b = Parse("<a/><!-- open <b/>", &errors);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_GT(errors, 0);
}

TEST(XmlReader, EscapesDecodeExactly) {
    auto b = Parse(R"(<a n="a\nb" r="c\rd" t="e\tf" q="say \"hi\"" s="back\\slash" u="x\qy" e="end\\" w="\\\"" z="2"/>)");
    ASSERT_EQ(b.size(), 1u);
    auto& a = b[0].attrs;
    ASSERT_EQ(a.size(), 9u);
    EXPECT_EQ(a[0].second, "a\nb");
    EXPECT_EQ(a[1].second, "c\rd");
    EXPECT_EQ(a[2].second, "e\tf");
    EXPECT_EQ(a[3].second, "say \"hi\"");
    EXPECT_EQ(a[4].second, "back\\slash");
    EXPECT_EQ(a[5].second, "xy");  // unknown pairs are dropped
    EXPECT_EQ(a[6].second, "end\\");
    // Backslash then quote, written escaped: the value must not end early.
    EXPECT_EQ(a[7].second, "\\\"");
    EXPECT_EQ(a[8].first, "z");
    EXPECT_EQ(a[8].second, "2");
    // Entities are not decoded.
    b = Parse("<a v=\"x &amp; y\"/>");
    EXPECT_EQ(b[0].attrs[0].second, "x &amp; y");
}

TEST(XmlReader, LongBlocksAreNeverCut) {
    std::string big(20000, 'v');
    std::string doc = "<a first=\"" + big + "\" last=\"tail\"/>";
    int errors = -1;
    auto b = Parse(doc, &errors);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(b[0].attrs.size(), 2u);
    EXPECT_EQ(b[0].attrs[0].second, big);
    EXPECT_EQ(b[0].attrs[1].second, "tail");
    EXPECT_EQ(errors, 0);

    std::string text(9000, 't');
    b = Parse("<a>" + text + "</a>");
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1].attrs[0].second, text);
}

// An element holds 128 attributes; the popup comes as the 128th is stored
// (the element may have had more), not for 127.
TEST(XmlReader, AttributeLimit) {
    kd_prog_t record{};
    kd_prog = &record;
    kd_state.developer_mode = true;
    kd_state.verbose_level = 0;
    kd_state.main_thread_id = KDT_GetCurrentThreadId();  // popups show on the main thread
    for (int n : {127, 128, 200}) {
        KDI_ResetPopups();
        LogCapture log;
        std::string doc = "<a";
        for (int i = 0; i < n; i++) doc += " k" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
        doc += "/>";
        auto b = Parse(doc);
        ASSERT_EQ(b.size(), 1u);
        ASSERT_EQ(b[0].attrs.size(), (size_t)std::min(n, KD_XML_MAX_ATTRIBUTES)) << n;
        EXPECT_EQ(b[0].attrs.back().second, std::to_string(std::min(n, 128) - 1));
        EXPECT_TRUE(b[0].end);
        EXPECT_EQ(log.Contains("Too many blocks (128 limit) in object 'a' in xml 'FromMem'."), n >= 128) << n;
    }
    kd_state.developer_mode = false;
    kd_prog = nullptr;
}

TEST(XmlReader, OpeningRules) {
    TempWorkDir dir;
    KD_XMLReader r;
    EXPECT_FALSE(r.OpenFileInMemory("<a>", 3));
    EXPECT_FALSE(r.OpenFileInMemory(nullptr, 10));
    EXPECT_FALSE(r.OpenFile(nullptr, true));
    EXPECT_FALSE(r.OpenFile("", true));
    EXPECT_FALSE(r.OpenFile("missing.xml", true));

    FILE* f = fopen("bom.xml", "wb");
    fputs("\xEF\xBB\xBF<a/>", f);
    fclose(f);
    EXPECT_FALSE(r.OpenFile("bom.xml", true));

    f = fopen("blank.xml", "wb");
    fputs(" \n\t ", f);
    fclose(f);
    EXPECT_TRUE(r.OpenFile("blank.xml", true));
    EXPECT_EQ(r.ReadNextBlock(), nullptr);

    f = fopen("ok.xml", "wb");
    fputs("  <a x=\"1\"/>", f);
    fclose(f);
    ASSERT_TRUE(r.OpenFile("ok.xml", true));
    kd_xml_block_t* b = r.ReadNextBlock();
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->values[0], "1");
    EXPECT_TRUE(r.EndOfFile());
    EXPECT_EQ(r.GetDepth(), 0);

    EXPECT_TRUE(KD_XMLReader::OnlyWhitespace(""));
    EXPECT_TRUE(KD_XMLReader::OnlyWhitespace(" \t\r\n"));
    EXPECT_FALSE(KD_XMLReader::OnlyWhitespace(" x "));
}

TEST(XmlReader, DamagedDocumentsAreReportedNotCrashed) {
    int errors = 0;
    Parse("<a <b>", &errors);
    EXPECT_GT(errors, 0);
    Parse("<a x=\"1\" y", &errors);  // ends inside a tag
    EXPECT_GT(errors, 0);
    Parse("<a x=\"unterminated/>  ", &errors);
    EXPECT_GT(errors, 0);
    Parse("<a flag/>", &errors);  // attribute without '='
    EXPECT_GT(errors, 0);
    Parse("<><a/>", &errors);
    EXPECT_GT(errors, 0);
    // A stray '>' in text is tolerated.
    auto b = Parse("<a>1 > 0</a>", &errors);
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1].attrs[0].second, "1 > 0");

    // Random XML-ish input never crashes the reader (run under the
    // sanitizers this also proves no out-of-bounds access).
    std::mt19937 rng(1234);
    const char alphabet[] = "<>/=\"\\ !-?axn\t\n";
    for (int round = 0; round < 3000; round++) {
        std::string doc;
        int len = 4 + (int)(rng() % 120);
        for (int i = 0; i < len; i++) doc += alphabet[rng() % (sizeof alphabet - 1)];
        KD_XMLReader r;
        ASSERT_TRUE(r.OpenFileInMemory(doc.data(), (int)doc.size()));
        int guard = 0;
        while (r.ReadNextBlock() && guard < 10000) guard++;
        ASSERT_LT(guard, 10000);
    }
}
