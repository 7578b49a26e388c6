// XML blocks and escapes, databases, the manager's cache and write-back.
#include <gtest/gtest.h>

#include <string>

#include "dataman.h"
#include "fw-support.h"
#include "xmlreader.h"

namespace {

struct Blocks {
    XMLReader xml;
    explicit Blocks(const std::string& text) { ok = xml.OpenFileInMemory(text.data(), (int)text.size()); }
    bool ok;
};

}  // namespace

TEST(XMLReaderBlocks, NormalisesTagsAndAttributes) {
    FwEngine e;
    ASSERT_TRUE(e.started);
    Blocks b("<a x = \"1\" />\n  <b/></c>\n<d p=\"q r\" s=t>hello <e/>");
    ASSERT_TRUE(b.ok);
    XMLBlock* k = b.xml.ReadNextBlock();
    ASSERT_TRUE(k);
    EXPECT_STREQ(k->tag, "a");
    ASSERT_EQ(k->count, 1);
    EXPECT_STREQ(k->names[0], "x");
    EXPECT_STREQ(k->values[0], "1");
    EXPECT_FALSE(k->end);
    k = b.xml.ReadNextBlock();
    EXPECT_STREQ(k->tag, "b");
    EXPECT_EQ(k->count, 0);
    EXPECT_TRUE(k->end);
    k = b.xml.ReadNextBlock();
    EXPECT_STREQ(k->tag, "c");
    EXPECT_TRUE(k->end);
    k = b.xml.ReadNextBlock();
    ASSERT_EQ(k->count, 2);
    EXPECT_STREQ(k->values[0], "q r");
    EXPECT_STREQ(k->values[1], "t");
    k = b.xml.ReadNextBlock();
    EXPECT_EQ(k->tag, nullptr);
    EXPECT_STREQ(k->names[0], "DATA");
    EXPECT_STREQ(k->values[0], "hello ");
    k = b.xml.ReadNextBlock();
    EXPECT_STREQ(k->tag, "e");
    EXPECT_EQ(b.xml.ReadNextBlock(), nullptr);
    EXPECT_FALSE(b.xml.IsDamaged());
}

TEST(XMLReaderBlocks, EscapesEntitiesAndComments) {
    FwEngine e;
    Blocks b("<!-- x --><a v=\"a\\tb\" w=\"&quot;q&quot; &lt; &amp;amp;\" z=\"x\\\\\" y=\"\\\\\\\"\"/>");
    ASSERT_TRUE(b.ok);
    XMLBlock* k = b.xml.ReadNextBlock();
    ASSERT_TRUE(k);
    EXPECT_STREQ(k->tag, "a");
    ASSERT_EQ(k->count, 4);
    EXPECT_STREQ(k->values[0], "a\tb");
    EXPECT_STREQ(k->values[1], "\"q\" &lt; &amp;");
    EXPECT_STREQ(k->values[2], "x\\");
    EXPECT_STREQ(k->values[3], "\\\"");
}

TEST(XMLReaderBlocks, RefusesBomAndFlagsDamage) {
    FwEngine e;
    FwLog log;
    Blocks bom("\xEF\xBB\xBF<a/>");
    EXPECT_FALSE(bom.ok);
    EXPECT_TRUE(log.Contains("#239"));

    Blocks cut("<a><b x=\"1\" y=\"2");
    ASSERT_TRUE(cut.ok);
    cut.xml.ReadNextBlock();
    EXPECT_EQ(cut.xml.ReadNextBlock(), nullptr);
    EXPECT_TRUE(cut.xml.IsDamaged());

    // A value far longer than any fixed block buffer comes back whole.
    std::string big(10000, 'v');
    Blocks longValue("<a v=\"" + big + "\"/>");
    XMLBlock* k = longValue.xml.ReadNextBlock();
    ASSERT_TRUE(k);
    EXPECT_EQ(std::string(k->values[0]), big);
}

TEST(Databases, NodesValuesAndLookups) {
    FwEngine e;
    DMDatabase db;
    db.SetValue("units", "a", "hp", "3");
    DMArray* units = db.GetArray("units");
    ASSERT_TRUE(units);
    DMNode* a = units->GetNode("a");
    ASSERT_TRUE(a);
    EXPECT_STREQ(a->GetValue("id"), "a");
    EXPECT_STREQ(db.GetValue("units", "a", "hp"), "3");
    EXPECT_STREQ(db.GetValue("units", 0, "hp"), "3");
    EXPECT_EQ(db.GetValue("units", 1, "hp"), nullptr);
    EXPECT_EQ(db.GetValue("nothing", 0, "hp"), nullptr);
    EXPECT_EQ(units->AddNode("a"), a);  // existing node
    a->SetValue("id", "b");
    EXPECT_EQ(units->GetNode("a"), nullptr);
    EXPECT_EQ(units->GetNode("b"), a);
    a->RemoveValue("hp");
    EXPECT_EQ(a->GetValue("hp"), nullptr);

    DMValue v("n", "x");
    v.SetValueFloat(0.5f);
    EXPECT_STREQ(v.GetValue(), "0.5");
    v.SetValueInt(-3);
    EXPECT_STREQ(v.GetValue(), "-3");
    EXPECT_EQ(v.GetValueInt(), -3);
    v.SetValue(nullptr);
    EXPECT_STREQ(v.GetValue(), "-3");

    // Shrinking: down to a quarter halves the storage; the last node keeps it.
    DMArray* list = db.AddArray("list");
    for (int i = 0; i < 40; i++) list->AddNode(std::to_string(i).c_str());
    EXPECT_EQ(list->GetCapacity(), 64);
    while (list->GetSize() > 16) list->RemoveNode(0);
    EXPECT_EQ(list->GetCapacity(), 32);
    EXPECT_TRUE(list->RemoveNode("39"));
    EXPECT_FALSE(list->RemoveNode("39"));
    EXPECT_TRUE(db.RemoveArray("list"));
    EXPECT_EQ(db.GetArray("list"), nullptr);
}

TEST(Databases, LoadsXmlFiles) {
    FwEngine e;
    ASSERT_TRUE(kd->CreateDirectory("user://db"));
    WriteNative(e.UserPath("db/t.XML"),
                "<?xml version=\"1.0\"?>\n<root>\n<array id=\"units\">\n"
                "<node id=\"a\" hp=\"3\"/>\n<node id=\"b\">hello</node>\n</array>\n"
                "<array>\n<node x=\"1\"/>\n</array>\n</root>\n");
    DMDatabase db;
    ASSERT_TRUE(db.Load("user://db/t.XML"));
    ASSERT_EQ(db.GetNumberOfArrays(), 2);
    DMNode* a = db.GetArray("units")->GetNode("a");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->GetNumberOfValues(), 2);
    EXPECT_STREQ(a->GetValue("hp"), "3");
    EXPECT_STREQ(db.GetValue("units", "b", "DATA"), "hello");
    EXPECT_EQ(db.GetArraySize("units"), 2);
    EXPECT_EQ(db.GetArraySize(nullptr), 1);  // the array without id

    // Without a declaration, on one line: the first array is not lost.
    WriteNative(e.UserPath("db/one.xml"), "<db><array id=\"first\"><node id=\"n\" v=\"1\"/></array></db>");
    DMDatabase one;
    ASSERT_TRUE(one.Load("user://db/one.xml"));
    ASSERT_EQ(one.GetNumberOfArrays(), 1);
    EXPECT_STREQ(one.GetValue("first", "n", "v"), "1");
}

TEST(Databases, SaveAndLoadRoundTrip) {
    FwEngine e;
    kd->CreateDirectory("user://db");
    const char* tricky = "quote \" back \\ end\\ new\nline\r tab\t &quot; &amp; <x> /> a=b";
    DMDatabase db;
    db.SetValue("arr", "n1", "v", tricky);
    db.SetValue("arr", "n1", "empty", "");
    DMNode* wide = db.GetArray("arr")->AddNode("n2");
    for (int i = 0; i < 5; i++) wide->SetValue(("k" + std::to_string(i)).c_str(), "x");
    ASSERT_TRUE(db.Save("user://db/out.xml"));
    std::string text = ReadNative(e.UserPath("db/out.xml"));
    EXPECT_NE(text.find("<node id=\"n1\" v="), std::string::npos);
    EXPECT_NE(text.find("k4=\"x\" \n\t\t /> \n") == std::string::npos ? text.find("k4=\"x\" \n\t\t />\n\n")
                                                                       : std::string::npos,
              std::string::npos);

    DMDatabase back;
    ASSERT_TRUE(back.Load("user://db/out.xml"));
    EXPECT_STREQ(back.GetValue("arr", "n1", "v"), tricky);
    EXPECT_STREQ(back.GetValue("arr", "n1", "empty"), "");
    EXPECT_STREQ(back.GetValue("arr", "n2", "k4"), "x");
    EXPECT_EQ(back.GetArray("arr")->GetNode("n2")->GetNumberOfValues(), 6);

    FwLog log;
    EXPECT_FALSE(db.Save("user://db/out.txt"));
    EXPECT_TRUE(log.Contains("Unknown database file type 'user://db/out.txt'"));

    // A value name the reader could not give back is left out with a line;
    // the rest of the file still loads.
    DMDatabase odd;
    odd.SetValue("arr", "n", "ok", "1");
    odd.SetValue("arr", "n", "bad name=\"x\"", "2");
    ASSERT_TRUE(odd.Save("user://db/odd.xml"));
    EXPECT_TRUE(log.Contains("cannot be written; left out"));
    DMDatabase oddBack;
    ASSERT_TRUE(oddBack.Load("user://db/odd.xml"));
    EXPECT_STREQ(oddBack.GetValue("arr", "n", "ok"), "1");
    EXPECT_EQ(oddBack.GetArray("arr")->GetNode("n")->GetNumberOfValues(), 2);  // id and ok
}

TEST(Databases, ManagerCachesAndSurvivesBadFiles) {
    FwEngine e;
    kd->CreateDirectory("user://db");
    FwLog log;
    DMDatabase* missing = dman.GetDatabase("user://db/missing.xml");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->GetNumberOfArrays(), 0);
    EXPECT_TRUE(log.Contains("'user://db/missing.xml'"));
    size_t lines = log.Lines().size();
    EXPECT_EQ(dman.GetDatabase("user://db/missing.xml"), missing);  // not tried again
    EXPECT_EQ(log.Lines().size(), lines);
    dman.ReleaseDatabase(missing);

    WriteNative(e.UserPath("db/bad.xml"),
                "<root>\n<array id=\"a\">\n<node id=\"x\" v=\"1\"/>\n<node id=\"y\" v=\"unterminated/>\n");
    DMDatabase* bad = dman.GetDatabase("user://db/bad.xml");
    EXPECT_STREQ(bad->GetValue("a", "x", "v"), "1") << "what came before the damage is kept";
    EXPECT_EQ(bad->GetArray("a")->GetNode("y"), nullptr);
    EXPECT_TRUE(log.Contains("Database file 'user://db/bad.xml' is damaged at line 4"));
    EXPECT_TRUE(log.Contains("database 'user://db/bad.xml' could not be loaded"));
    dman.ReleaseDatabase("user://db/bad.xml");

    WriteNative(e.UserPath("db/garbage.dat"), "not xml at all");
    EXPECT_EQ(dman.GetDatabase("user://db/garbage.dat")->GetNumberOfArrays(), 0);
    EXPECT_TRUE(log.Contains("garbage.dat"));
    dman.ReleaseDatabase("user://db/garbage.dat");

    DMDatabase* made = dman.CreateDatabase("user://db/new.xml");
    EXPECT_EQ(dman.CreateDatabase("user://db/new.xml"), made);
    made->SetValue("a", "n", "k", "v");
    EXPECT_STREQ(dman.GetValue("user://db/new.xml", "a", "n", "k"), "v");
    EXPECT_STREQ(dman.GetValue("user://db/new.xml", "a", 0, "k"), "v");
    EXPECT_EQ(dman.GetArraySize("user://db/new.xml", "a"), 1);
    int before = dman.GetNumberOfDatabases();
    dman.ReleaseDatabase(made);
    EXPECT_EQ(dman.GetNumberOfDatabases(), before - 1);

    DMDatabase shortName;
    EXPECT_FALSE(shortName.Load("a.x"));
}
