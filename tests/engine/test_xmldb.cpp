// Engine XML databases: loading, editing, the written layout, round trips
// and damaged files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "kd-xmldb.h"
#include "test-support.h"

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool LoadText(KD_DMDatabase& db, const std::string& text, const char* label = "mem.xml") {
    return db.LoadXMLFromMemory(label, text.data(), (int)text.size());
}

}  // namespace

TEST(XmlDatabase, ReadsArraysNodesAndText) {
    KD_DMDatabase db;
    ASSERT_TRUE(LoadText(db,
                         "<?xml version=\"1.0\"?><root><ARRAY id=\"a\"><Node id=\"n\" x=\"1\"/></ARRAY>"
                         "<array id=\"b\"><node id=\"t\">Hello</node><node id=\"e\"></node><node x=\"7\"/></array>"
                         "</root>"));
    ASSERT_EQ(db.GetNumberOfArrays(), 2);
    KD_DMNode* n = db.GetArray("a")->GetNode("n");
    ASSERT_NE(n, nullptr);
    ASSERT_EQ(n->count, 2);
    EXPECT_STREQ(n->values[0].name, "id");
    EXPECT_STREQ(n->values[0].value, "n");
    EXPECT_STREQ(n->GetValue("x"), "1");

    KD_DMArray* b = db.GetArray("b");
    // "</node>" closes an element; it is no node of its own.
    ASSERT_EQ(b->GetSize(), 3);
    EXPECT_STREQ(b->GetNodeValue("t", "DATA"), "Hello");
    EXPECT_EQ(b->GetNode("e")->count, 1);
    EXPECT_EQ(b->GetNode(2)->name, nullptr);  // no id: skipped by name look-ups
    EXPECT_STREQ(b->GetNodeValue(2, "x"), "7");
    EXPECT_EQ(b->GetNode(3), nullptr);
    EXPECT_EQ(b->GetNode(-1), nullptr);
    EXPECT_STREQ(db.GetValue("b", 0, "DATA"), "Hello");
    EXPECT_EQ(db.GetValue("missing", "t", "DATA"), nullptr);
    EXPECT_EQ(db.GetArraySize("missing"), 0);

    // Without declaration or root the arrays are still found.
    KD_DMDatabase bare;
    ASSERT_TRUE(LoadText(bare, "<array id=\"only\"><node id=\"k\" v=\"1\"/></array>"));
    EXPECT_STREQ(bare.GetValue("only", "k", "v"), "1");
}

TEST(XmlDatabase, EditingValuesNodesAndArrays) {
    KD_DMDatabase db;
    db.SetValue("cfg", "main", "w", "800");
    KD_DMNode* node = db.GetArray("cfg")->GetNode("main");
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->count, 2);
    EXPECT_STREQ(node->values[0].name, "id");
    EXPECT_STREQ(node->values[0].value, "main");
    EXPECT_STREQ(node->GetValue("w"), "800");

    node->SetValue("w", "1024");
    EXPECT_EQ(node->count, 2);
    EXPECT_STREQ(node->GetValue("w"), "1024");
    node->SetValue("id", "renamed");
    EXPECT_STREQ(node->name, "renamed");
    node->SetValue(nullptr, "x");
    EXPECT_EQ(node->count, 2);

    EXPECT_TRUE(node->RemoveValue("w"));
    EXPECT_FALSE(node->RemoveValue("w"));
    EXPECT_EQ(node->count, 1);

    KD_DMValue v;
    v.SetValueFloat(0.5f);
    EXPECT_STREQ(v.GetValue(), "0.5");
    v.SetValue("12abc");
    EXPECT_EQ(v.GetValueInt(), 12);
    v.SetValue(nullptr);  // unchanged
    EXPECT_STREQ(v.GetValue(), "12abc");
    v.SetValue(v.GetValue());  // its own text
    EXPECT_STREQ(v.GetValue(), "12abc");
    KD_DMValue copy = v;
    EXPECT_STREQ(copy.GetValue(), "12abc");
    EXPECT_NE(copy.GetValue(), v.GetValue());
    KD_DMValue empty;
    EXPECT_EQ(empty.GetValueInt(), 0);
    EXPECT_EQ(empty.GetValueFloat(), 0.0f);

    KD_DMArray* a = db.AddArray("list");
    for (int i = 0; i < 100; i++) a->AddNode(("n" + std::to_string(i)).c_str());
    EXPECT_EQ(a->AddNode("n5"), a->GetNode("n5"));  // existing node returned
    for (int i = 0; i < 99; i++) ASSERT_TRUE(a->RemoveNode(("n" + std::to_string(i)).c_str()));
    EXPECT_EQ(a->GetSize(), 1);
    EXPECT_STREQ(a->GetNode(0)->name, "n99");
    EXPECT_LE(a->nodes.capacity, 64);  // shrank with the removals
    EXPECT_TRUE(db.RemoveArray("list"));
    EXPECT_FALSE(db.RemoveArray("list"));
    EXPECT_EQ(db.GetNumberOfArrays(), 1);
}

TEST(XmlDatabase, WrittenLayout) {
    TempWorkDir dir;
    KD_DMDatabase db;
    db.SetValue("A", "short", "x", "1");
    db.SetValue("A", "short", "y", "2");
    db.SetValue("A", "long", "a", "1");
    db.SetValue("A", "long", "b", "2");
    db.SetValue("A", "long", "c", "3");
    ASSERT_TRUE(db.Save("out.xml"));
    EXPECT_EQ(ReadFile("out.xml"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
              "<root>\n"
              "\n"
              "\t<array id=\"A\">\n"
              "\t\t<node id=\"short\" x=\"1\" y=\"2\" />\n"
              "\t\t<node id=\"long\" \n\t\t a=\"1\" \n\t\t b=\"2\" \n\t\t c=\"3\" \n\t\t />\n"
              "\n"
              "\t</array>\n"
              "</root>\n");

    EXPECT_FALSE(db.Save("out.txt"));
    EXPECT_FALSE(db.Save("no-such-folder/out.xml"));
    EXPECT_TRUE(db.SaveXML("out.dat"));  // no extension check
}

TEST(XmlDatabase, ValuesSurviveSaveAndLoad) {
    TempWorkDir dir;
    const std::string tricky[] = {
        "back\\slash",          "say \"hi\"",           "two\nlines",         "cr\rlf\r\n",
        "tab\there",            "\\\"",                 "ends with \\",       "<tag attr=\"v\"/>",
        "a & b &amp; c",        "  padded  ",           std::string(6000, 'L') + "!",
        "\\n is not a newline", "x=\"1\" y=\"2\"",      "",
    };
    KD_DMDatabase db;
    for (size_t i = 0; i < sizeof tricky / sizeof tricky[0]; i++)
        db.SetValue("T", "n", ("v" + std::to_string(i)).c_str(), tricky[i].c_str());
    db.SetValue("T", "with \"quote\" id", "k", "1");
    ASSERT_TRUE(db.Save("trip.xml"));

    KD_DMDatabase back;
    ASSERT_TRUE(back.LoadXML("trip.xml"));
    for (size_t i = 0; i < sizeof tricky / sizeof tricky[0]; i++) {
        const char* v = back.GetValue("T", "n", ("v" + std::to_string(i)).c_str());
        ASSERT_NE(v, nullptr) << i;
        EXPECT_EQ(std::string(v), tricky[i]) << "value " << i;
    }
    EXPECT_STREQ(back.GetValue("T", "with \"quote\" id", "k"), "1");
}

// A damaged document keeps what was read before the damage and names the
// file and the line in one log line.
TEST(XmlDatabase, DamagedFilesKeepWhatCameBeforeAndNameTheLine) {
    TempWorkDir dir;
    LogCapture log;
    WriteFile("broken.xml",
              "<root>\n<array id=\"a\">\n<node id=\"n\" x=\"1\"/>\n<node id=\"m\" y/>\n<node id=\"late\"/>\n"
              "</array></root>");
    KD_DMDatabase db;
    EXPECT_FALSE(db.LoadXML("broken.xml"));
    ASSERT_EQ(db.GetNumberOfArrays(), 1);
    EXPECT_STREQ(db.GetValue("a", "n", "x"), "1");
    EXPECT_EQ(db.GetArray("a")->GetNode("late"), nullptr) << "reading stops at the bad attribute";
    int named = 0;
    for (const std::string& l : log.lines)
        if (l.find("'broken.xml' is damaged at line 4") != std::string::npos) named++;
    EXPECT_EQ(named, 1);
    EXPECT_STREQ(db.Damage(), log.lines[(size_t)log.IndexOf("is damaged")].c_str());

    // Every cut of a good file keeps a prefix of its arrays and nodes: what
    // was read before the cut, in order, with its values.
    std::string good =
        "<?xml version=\"1.0\"?>\n<root>\n\t<array id=\"a\">\n\t\t<node id=\"n\" x=\"1\" />\n"
        "\t\t<node id=\"t\">text</node>\n\t</array>\n\t<array id=\"b\">\n\t\t<node id=\"m\" />\n\t</array>\n</root>\n";
    const char* order[] = {"n", "t", "m"};
    int most = 0;
    for (size_t cut = 0; cut <= good.size(); cut++) {
        KD_DMDatabase part;
        bool ok = LoadText(part, good.substr(0, cut), "cut.xml");
        int seen = 0;
        for (int i = 0; i < part.GetNumberOfArrays(); i++)
            for (int n = 0; n < part.GetArray(i)->GetSize(); n++) {
                ASSERT_LT(seen, 3) << cut;
                EXPECT_STREQ(part.GetArray(i)->GetNode(n)->name, order[seen]) << cut;
                seen++;
            }
        if (seen >= 1) {
            EXPECT_STREQ(part.GetValue("a", "n", "x"), "1") << cut;
        }
        EXPECT_GE(seen, most) << "a longer part never keeps less: " << cut;
        most = seen;
        if (!ok && cut >= 4) {  // shorter is no document at all
            EXPECT_NE(std::string(part.Damage()).find("'cut.xml' is damaged"), std::string::npos) << cut;
        }
    }
    EXPECT_EQ(most, 3);

    // The last "</array>" missing: everything is there, and it is reported.
    std::string no_close = good;
    no_close.erase(no_close.rfind("\t</array>"), 10);
    KD_DMDatabase open_end;
    EXPECT_FALSE(LoadText(open_end, no_close, "open.xml"));
    EXPECT_NE(open_end.GetArray("b")->GetNode("m"), nullptr);
    EXPECT_NE(std::string(open_end.Damage()).find("'open.xml' is damaged at line 10"), std::string::npos)
        << open_end.Damage();

    KD_DMDatabase missing;
    EXPECT_FALSE(missing.LoadXML("nothing-here.xml"));
    EXPECT_TRUE(log.Contains("nothing-here.xml"));
    EXPECT_EQ(missing.GetNumberOfArrays(), 0);
}

TEST(XmlDatabase, DataManagerCachesByNameIgnoringCase) {
    TempWorkDir dir;
    WriteFile("prog.xml", "<root><array id=\"p\"><node id=\"x\" v=\"3\"/></array></root>");
    KD_DataMan dm;
    KD_DMDatabase* a = dm.GetDatabase("prog.xml");
    EXPECT_EQ(dm.GetDatabase("Prog.XML"), a);
    EXPECT_STREQ(dm.GetValue("prog.xml", "p", "x", "v"), "3");
    EXPECT_STREQ(dm.GetValue("prog.xml", "p", 0, "v"), "3");
    EXPECT_EQ(dm.GetValue("prog.xml", "p", 1, "v"), nullptr);
    EXPECT_EQ(dm.GetArraySize("prog.xml", "p"), 1);

    // A missing file is cached empty and not looked for again, even once it
    // appears.
    KD_DMDatabase* gone = dm.GetDatabase("later.xml");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->GetNumberOfArrays(), 0);
    WriteFile("later.xml", "<root><array id=\"p\"><node id=\"x\"/></array></root>");
    EXPECT_EQ(dm.GetDatabase("later.xml"), gone);
    EXPECT_EQ(gone->GetNumberOfArrays(), 0);

    KD_DMDatabase* made = dm.CreateDatabase("scratch");
    EXPECT_EQ(dm.CreateDatabase("SCRATCH"), made);
    EXPECT_EQ(dm.FindDatabase("scratch"), made);
    dm.ReleaseDatabase("scratch");
    EXPECT_EQ(dm.FindDatabase("scratch"), nullptr);
    EXPECT_EQ(dm.QueryValue("x"), nullptr);
    EXPECT_EQ(dm.QueryArraySize("x"), 0);

    KD_DMDatabase other;
    other.Load("table.csv");  // unsupported type: nothing read
    EXPECT_STREQ(other.name, "table.csv");
    EXPECT_EQ(other.GetNumberOfArrays(), 0);
}
