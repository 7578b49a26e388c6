// The package reader: sound packages open, damaged ones are refused with
// one line and never make the reader leave the file.
#include "fs-fixture.h"

#include <stdlib.h>

using Packages = FsTest;

static std::vector<unsigned char> Valid() {
    std::vector<unsigned char> b;
    KDPak_Build({{"Sfx/Hit.WAV", "hit"}, {"a.txt", "first"}, {"a.txt", "second"}}, b);
    return b;
}

TEST_F(Packages, OpenAndLookUp) {
    WriteBytes("app/native/p.pak", Valid());
    pak_t pak{};
    ASSERT_TRUE(Pak_Open(&pak, "res://p.pak"));
    EXPECT_EQ(pak.count, 3);
    EXPECT_STREQ(pak.name, "res://p.pak");
    pak_entry_t* e = Pak_GetFileInfo(&pak, "sfx/hit.wav");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->size, 3u);
    EXPECT_EQ(e->offset, 16u);
    pak_entry_t* dup = Pak_GetFileInfo(&pak, "a.txt");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(dup->offset, 19u);  // the first of two equal names
    EXPECT_EQ(Pak_GetFileInfo(&pak, nullptr), nullptr);
    EXPECT_EQ(Pak_GetFileInfo(&pak, "b.txt"), nullptr);
    Pak_Close(&pak);
    EXPECT_EQ(pak.file, nullptr);
    EXPECT_EQ(pak.count, 0);
    EXPECT_EQ(kd_state.open_file_handles, 0);
    EXPECT_FALSE(Pak_Open(&pak, "res://missing.pak"));
}

TEST_F(Packages, EmptyPackageOpensAndFindsNothing) {
    std::vector<unsigned char> b;
    ASSERT_TRUE(KDPak_Build({}, b));
    WriteBytes("app/native/e.pak", b);
    pak_t pak{};
    ASSERT_TRUE(Pak_Open(&pak, "res://e.pak"));
    EXPECT_EQ(pak.count, 0);
    EXPECT_EQ(Pak_GetFileInfo(&pak, "x"), nullptr);
    Pak_Close(&pak);
}

// Each way of damaging a package: refused with exactly one log line.
TEST_F(Packages, DamagedPackagesAreRefused) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<unsigned char>&);
    };
    const Case cases[] = {
        {"one byte more than the header says", [](std::vector<unsigned char>& b) { b.push_back(0); }},
        {"wrong magic", [](std::vector<unsigned char>& b) { b[5] = '2'; }},
        {"directory offset past the end",
         [](std::vector<unsigned char>& b) { KDPak_Put32(&b[8], (uint32_t)b.size() - 2); }},
        {"directory offset inside the header", [](std::vector<unsigned char>& b) { KDPak_Put32(&b[8], 4); }},
        {"huge entry count", [](std::vector<unsigned char>& b) { KDPak_Put32(&b[KDPak_Get32(&b[8])], 0xffffffffu); }},
        {"entry beyond the file",
         [](std::vector<unsigned char>& b) {
             size_t at = KDPak_Get32(&b[8]) + 4 + strlen("Sfx/Hit.WAV") + 1;
             KDPak_Put32(&b[at], (uint32_t)b.size() - 1);  // offset fine, size 3 runs past
         }},
        {"entry size wrapping around",
         [](std::vector<unsigned char>& b) {
             size_t at = KDPak_Get32(&b[8]) + 4 + strlen("Sfx/Hit.WAV") + 1;
             KDPak_Put32(&b[at + 4], 0xfffffff0u);
         }},
        {"directory cut short",
         [](std::vector<unsigned char>& b) {
             b.resize(b.size() - 5);
             KDPak_Put32(&b[12], (uint32_t)b.size());
         }},
        {"name without terminator",
         [](std::vector<unsigned char>& b) {
             size_t dir_at = KDPak_Get32(&b[8]);
             b.resize(dir_at + 4);
             KDPak_Put32(&b[dir_at], 1);
             b.insert(b.end(), 600, 'n');
             KDPak_Put32(&b[12], (uint32_t)b.size());
         }},
        {"shorter than the header", [](std::vector<unsigned char>& b) { b.resize(10); }},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> b = Valid();
        c.damage(b);
        WriteBytes("app/native/d.pak", b);
        LogCapture log;
        pak_t pak{};
        EXPECT_FALSE(Pak_Open(&pak, "res://d.pak")) << c.what;
        EXPECT_EQ(pak.file, nullptr) << c.what;
        EXPECT_EQ(pak.entries, nullptr) << c.what;
        ASSERT_EQ(log.lines.size(), 1u) << c.what;
        EXPECT_NE(log.lines[0].find("Damaged package 'res://d.pak' refused: "), std::string::npos) << c.what;
        EXPECT_EQ(kd_state.open_file_handles, 0) << c.what;
    }
}

// The packing tool writes what the reader reads.
TEST_F(Packages, PackingToolRoundTrip) {
    const char* build = getenv("KODO_BUILD_DIR");
    std::string tool = std::string(build ? build : ".") + "/tools/kodo-pak";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "kodo-pak not built";
    WriteFile("src/levels/E01_L01.xml", "<world/>");
    WriteFile("src/a.txt", "alpha");
    ASSERT_EQ(system((tool + " src app/native/src.pak > /dev/null").c_str()), 0);
    EXPECT_EQ(ReadEngineFile("res://src/levels/E01_L01.xml"), "<world/>");
    EXPECT_EQ(ReadEngineFile("res://src/a.txt"), "alpha");
    EXPECT_NE(system((tool + " missing-folder out.pak 2> /dev/null").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists("out.pak"));
}
