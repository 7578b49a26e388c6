// Files through the interface: modes, reads and seeks, the three openers,
// search order, and packages serving the same bytes as folders.
#include <unistd.h>

#include "fs-fixture.h"
#include "kd-http.h"
#include "kd-xml.h"
#include "kd-xmldb.h"

using Files = FsTest;

TEST_F(Files, ModesAndNames) {
    EnableDeveloperPopups();
    LogCapture log;
    WriteFile("app/native/ui/a.png", "png");
    KD_AddSearchPath("res://", true);
    EXPECT_EQ(KD_OpenFile("ui/a.png", "w"), nullptr);  // unprefixed names are read-only
    EXPECT_EQ(KD_OpenFile("user://a.txt", "x"), nullptr);
    EXPECT_TRUE(log.Contains("kd->OpenFile: Illegal mode 'x' while opening file 'user://a.txt'"));
    EXPECT_EQ(KD_OpenFile("../a.txt", "r"), nullptr);
    EXPECT_TRUE(log.Contains("kd->OpenFile: Illegal file name '../a.txt'."));
    EXPECT_EQ(KD_OpenFile(nullptr, "r"), nullptr);
    EXPECT_EQ(KD_OpenFile("user://a.txt", nullptr), nullptr);
    EXPECT_EQ(ReadEngineFile("ui/a.png"), "png");
    // A folder is not a file.
    EXPECT_EQ(KD_OpenFile("res://ui", "r"), nullptr);
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

TEST_F(Files, WriteAppendAndReadBack) {
    kd_file_t* f = KD_OpenFile("user://notes.txt", "w");
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->name, "user://notes.txt");
    EXPECT_EQ(KD_WriteFile("hello", 5, f), 5u);
    EXPECT_EQ(kd_state.open_file_handles, 2);
    KD_CloseFile(f);
    f = KD_OpenFile("user://notes.txt", "a");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(KD_fwrite(" world", 1, 6, f), 6u);
    KD_CloseFile(f);
    EXPECT_EQ(ReadEngineFile("user://notes.txt"), "hello world");
    // "wx" makes a new file only: the one there now is refused, untouched.
    EXPECT_EQ(KD_OpenFile("user://notes.txt", "wx"), nullptr);
    EXPECT_EQ(ReadEngineFile("user://notes.txt"), "hello world");
    f = KD_OpenFile("user://fresh.txt", "wbx");
    ASSERT_NE(f, nullptr);
    KD_CloseFile(f);
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

// Only regular files open: a FIFO in place of a data file is refused at
// once (a blocking open would hang start-up until someone writes to it),
// and new files are 0644, folders 0755, whatever the process umask.
TEST_F(Files, FifosAreRefusedAndNewFilesAreNotWorldWritable) {
    ASSERT_EQ(mkfifo("app/native/prog.xml", 0644), 0);
    ASSERT_EQ(mkfifo("data/Dev/Game/fifo.xml", 0644), 0);
    alarm(20);  // a blocked open ends the test instead of hanging it
    EXPECT_EQ(KD_OpenFile("res://prog.xml", "r"), nullptr);
    EXPECT_EQ(KD_OpenFile("user://fifo.xml", "r"), nullptr);
    EXPECT_EQ(KD_OpenFile("user://fifo.xml", "w"), nullptr);
    KD_XMLReader reader;
    EXPECT_FALSE(reader.OpenFile("app/native/prog.xml", true));
    alarm(0);
    EXPECT_EQ(kd_state.open_file_handles, 0);

    mode_t old = umask(0);
    ASSERT_TRUE(KD_CreateDirectory("user://made/deeper"));
    kd_file_t* f = KD_OpenFile("user://made/deeper/p.xml", "w");
    ASSERT_NE(f, nullptr);
    KD_CloseFile(f);
    KD_DMDatabase db;
    db.SetValue("a", "n", "k", "v");
    ASSERT_TRUE(db.SaveXML("data/Dev/Game/made/db.xml"));
    umask(old);
    struct stat st;
    ASSERT_EQ(stat("data/Dev/Game/made/deeper/p.xml", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(stat("data/Dev/Game/made/db.xml", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(stat("data/Dev/Game/made/deeper", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(Files, ReadsAndSeeksOnNativeFiles) {
    WriteFile("data/Dev/Game/ten.bin", "0123456789");
    kd_file_t* f = KD_OpenFile("user://ten.bin", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 10);
    char buf[16] = {};
    EXPECT_EQ(KD_fread(buf, 4, 3, f), 10u);  // bytes, not items
    EXPECT_EQ(KD_fgetc(f), 0);  // no end-of-file value
    EXPECT_TRUE(KD_fseek(f, 2, SEEK_SET));  // true on success
    EXPECT_EQ(KD_fgetc(f), '2');
    EXPECT_EQ(KD_ftell(f), 3);
    EXPECT_TRUE(KD_SetFilePosition(f, -1, SEEK_END));
    EXPECT_EQ(KD_fgetc(f), '9');
    EXPECT_FALSE(KD_fseek(f, -100, SEEK_SET));
    KD_CloseFile(f);
    EXPECT_EQ(KD_fread(buf, 1, 1, nullptr), 0u);
    EXPECT_EQ(KD_fgetc(nullptr), 0);
    EXPECT_FALSE(KD_fseek(nullptr, 0, SEEK_SET));
}

// The user tree is searched before the program data; the first hit wins.
TEST_F(Files, UnprefixedNamesFollowTheSearchOrder) {
    WriteFile("app/native/cfg.txt", "res");
    WriteFile("data/Dev/Game/cfg.txt", "user");
    WriteFile("app/native/only-res.txt", "r");
    KD_AddSearchPath(KD_GetPath(3, ""), true);
    KD_AddSearchPath(KD_GetPath(1, ""), true);
    EXPECT_EQ(ReadEngineFile("cfg.txt"), "user");
    EXPECT_EQ(ReadEngineFile("only-res.txt"), "r");
    EXPECT_EQ(ReadEngineFile("missing.txt"), "<none>");
    EXPECT_TRUE(KD_FileExists("cfg.txt"));
    EXPECT_FALSE(KD_FileExists("missing.txt"));
    EXPECT_FALSE(KD_FileExists(nullptr));
}

// A folder and its package serve the same bytes, sizes and positions.
TEST_F(Files, PackageAndFolderGiveTheSameBytes) {
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); i++) big[i] = (char)(i * 7);
    WriteFile("app/native/loose/ui/menu.lua", "CreateComp('x')\n");
    WriteFile("app/native/loose/sfx/Hit.WAV", std::string("RIFF\0\1\2", 7));
    WriteFile("app/native/loose/big.bin", big);
    WriteFile("app/native/loose/empty.txt", "");
    std::vector<unsigned char> bytes;
    std::string error;
    ASSERT_TRUE(KDPak_PackFolder("app/native/loose", bytes, &error)) << error;
    WriteBytes("app/native/packed.pak", bytes);

    for (const char* name : {"ui/menu.lua", "sfx/Hit.WAV", "big.bin", "empty.txt"}) {
        std::string a = ReadEngineFile(("res://loose/" + std::string(name)).c_str());
        std::string b = ReadEngineFile(("res://packed/" + std::string(name)).c_str());
        EXPECT_NE(a, "<none>") << name;
        EXPECT_EQ(a, b) << name;
    }
    // Entry names ignore letter case.
    EXPECT_EQ(ReadEngineFile("res://packed/sfx/hit.wav"), std::string("RIFF\0\1\2", 7));

    kd_file_t* a = KD_OpenFile("res://loose/big.bin", "r");
    kd_file_t* b = KD_OpenFile("res://packed/big.bin", "r");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size, b->size);
    EXPECT_STREQ(b->name, "big.bin");
    for (kd_file_t* f : {a, b}) {
        EXPECT_TRUE(KD_fseek(f, 0, SEEK_END));
        EXPECT_EQ(KD_ftell(f), 70000);
        EXPECT_TRUE(KD_fseek(f, -4, SEEK_CUR));
        EXPECT_EQ(KD_ftell(f), 69996);
        EXPECT_EQ(KD_fgetc(f), (unsigned char)big[69996]);
        EXPECT_TRUE(KD_fseek(f, 100, SEEK_SET));
        EXPECT_EQ(KD_fgetc(f), (unsigned char)big[100]);
    }
    KD_CloseFile(a);
    KD_CloseFile(b);
    // Each open entry and the package itself hold one handle of their own.
    KDI_FreeFileOpeners();
    EXPECT_EQ(kd_state.open_file_handles, 0);
    KDI_CreateFileOpeners();
}

// Reads and seeks never leave the entry into its neighbours' bytes.
TEST_F(Files, PackageEntriesAreBoundedReads) {
    MakePak("app/native/p.pak", {{"a.txt", "AAAA"}, {"b.txt", "BBBBBBBB"}});
    kd_file_t* f = KD_OpenFile("res://p/a.txt", "r");
    ASSERT_NE(f, nullptr);
    char buf[32] = {};
    EXPECT_EQ(KD_fread(buf, 1, sizeof buf, f), 4u);
    EXPECT_STREQ(buf, "AAAA");
    EXPECT_EQ(KD_fgetc(f), 0);
    EXPECT_FALSE(KD_fseek(f, 5, SEEK_SET));
    EXPECT_FALSE(KD_fseek(f, -1, SEEK_SET));
    EXPECT_FALSE(KD_fseek(f, 1, SEEK_END));
    EXPECT_TRUE(KD_fseek(f, 4, SEEK_SET));  // the end itself is fine
    EXPECT_EQ(KD_fread(buf, 1, 1, f), 0u);
    EXPECT_EQ(KD_WriteFile("x", 1, f), 0u);  // packages are read-only
    KD_CloseFile(f);
    EXPECT_EQ(KD_OpenFile("res://p/a.txt", "w") != nullptr, false) << "no loose folder to write into";
}

// Within one search path the package wins over a loose file.
TEST_F(Files, PackageWinsOverALooseFileOfTheSameName) {
    MakePak("app/native/base.pak", {{"x.txt", "packed"}});
    WriteFile("app/native/base/x.txt", "loose");
    WriteFile("app/native/base/y.txt", "only loose");
    KD_AddSearchPath("res://base/", true);
    EXPECT_EQ(ReadEngineFile("x.txt"), "packed");
    EXPECT_EQ(ReadEngineFile("y.txt"), "only loose");
}

// A damaged package is refused once, with one line; the other data loads.
TEST_F(Files, DamagedPackageIsRefusedOnceAndTheRestLoads) {
    LogCapture log;
    WriteFile("app/native/bad.pak", "PAK\0V11\0garbage-garbage");
    WriteFile("app/native/bad/loose.txt", "still here");
    MakePak("app/native/good.pak", {{"g.txt", "good"}});
    KD_AddSearchPath("res://good/", true);
    KD_AddSearchPath("res://bad/", true);
    EXPECT_EQ(ReadEngineFile("g.txt"), "good");
    EXPECT_EQ(ReadEngineFile("loose.txt"), "still here");
    EXPECT_EQ(ReadEngineFile("res://bad/other.txt"), "<none>");
    int refusals = 0;
    for (auto& l : log.lines) refusals += l.find("Damaged package 'res://bad.pak' refused") != std::string::npos;
    EXPECT_EQ(refusals, 1);
}

// Without a server named in the settings nothing is asked for, and a
// cached copy is not read either.
TEST_F(Files, HttpNamesOfUnnamedServersAreRefusedCachedOrNot) {
    LogCapture log;
    EXPECT_EQ(KD_OpenFile("http://host/a/b.png", "r"), nullptr);  // not before start-up ends
    kd_state.initialised = true;
    EXPECT_EQ(KD_OpenFile("http://host/a/b.png", "r"), nullptr);
    EXPECT_TRUE(log.Contains("no request to 'http://host/a/b.png': no endpoint in prog.xml names its server"));
    WriteFile("data/Dev/Game/cache/" + KDI_HttpCacheName("http://host/a/b.png").substr(13), "cached");
    EXPECT_EQ(ReadEngineFile("http://host/a/b.png"), "<none>");
    EXPECT_EQ(KD_OpenFile("http://host/a/b.png", "w"), nullptr);

    kd_buffer_t reply;
    int status = 7;
    EXPECT_EQ(KD_SendHttpRequest(2, "http://host/", "text/plain", "", 0, &reply, &status), 0);
    EXPECT_EQ(reply.data, nullptr);
    EXPECT_EQ(status, 0);
}
