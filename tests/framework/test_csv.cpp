// Semicolon-separated tables and their databases.
#include <gtest/gtest.h>

#include <string>

#include "csv.h"
#include "dataman.h"
#include "fw-support.h"

TEST(CSV, HeaderCellsAndLimits) {
    FwEngine e;
    ASSERT_TRUE(kd->CreateDirectory("user://c"));
    WriteNative(e.UserPath("c/t.csv"), "name;hp;size\r\na;;3\r\nlongcell;2;x\n7");
    CSVReader csv;
    ASSERT_TRUE(csv.OpenFile("user://c/t.csv"));
    ASSERT_EQ(csv.GetNumberOfColumns(), 3);
    EXPECT_STREQ(csv.GetColumnName(2), "size");
    EXPECT_EQ(csv.GetColumnName(3), nullptr);
    char cell[16];
    EXPECT_STREQ(csv.ReadNextAsString(cell, 15), "a");
    EXPECT_STREQ(csv.ReadNextAsString(cell, 15), "");
    EXPECT_EQ(csv.ReadNextAsInt(), 3);
    EXPECT_STREQ(csv.ReadNextAsString(cell, 4), "long");  // rest of the cell skipped
    EXPECT_EQ(csv.ReadNextAsFloat(), 2.0f);
    EXPECT_STREQ(csv.ReadNextAsString(cell, 15), "x");
    // A one-character last cell without a line feed is still a cell.
    EXPECT_STREQ(csv.ReadNextAsString(cell, 15), "7");
    EXPECT_TRUE(csv.EndOfFile());
    EXPECT_EQ(csv.ReadNextAsString(cell, 15), nullptr);
    EXPECT_EQ(csv.ReadNextAsString(nullptr, 15), nullptr);
    EXPECT_FALSE(csv.OpenFile("user://c/none.csv"));
}

TEST(CSV, HeaderWithoutLineFeed) {
    FwEngine e;
    kd->CreateDirectory("user://c");
    WriteNative(e.UserPath("c/h.csv"), "a;b");
    CSVReader csv;
    ASSERT_TRUE(csv.OpenFile("user://c/h.csv"));
    EXPECT_EQ(csv.GetNumberOfColumns(), 2);
    EXPECT_STREQ(csv.GetColumnName(1), "b");
}

TEST(CSV, LoadsIntoOneArrayAndSavesAsXml) {
    FwEngine e;
    kd->CreateDirectory("user://c");
    WriteNative(e.UserPath("c/units.CSV"), "id;hp\nworm;3\nbug;\"5\"\n");
    DMDatabase* db = dman.GetDatabase("user://c/units.CSV");
    ASSERT_EQ(db->GetNumberOfArrays(), 1);
    DMArray* a = db->GetArray((const char*)nullptr);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->GetSize(), 2);
    EXPECT_STREQ(a->GetNodeValue(0, "id"), "worm");
    EXPECT_STREQ(a->GetNodeValue(1, "hp"), "\"5\"");
    EXPECT_EQ(a->GetNode(0)->GetId(), nullptr);
    ASSERT_TRUE(db->Save("user://c/units.xml"));
    DMDatabase back;
    ASSERT_TRUE(back.Load("user://c/units.xml"));
    EXPECT_STREQ(back.GetValue("", 1, "hp"), "\"5\"");
    dman.ReleaseDatabase(db);

    FwLog log;
    DMDatabase* missing = dman.GetDatabase("user://c/missing.csv");
    EXPECT_EQ(missing->GetNumberOfArrays(), 0);
    EXPECT_TRUE(log.Contains("CSV Array File 'user://c/missing.csv' not found!"));
    dman.ReleaseDatabase(missing);

    WriteNative(e.UserPath("c/noheader.csv"), "justone");
    WriteNative(e.UserPath("c/zero.csv"), "\n1\n");
    DMDatabase* zero = dman.GetDatabase("user://c/zero.csv");
    EXPECT_EQ(zero->GetNumberOfArrays(), 1);  // one empty column: harmless
    dman.ReleaseDatabase(zero);
}
