// Path building, validation, native conversion, search paths and package
// lists.
#include <unistd.h>
#include <string>
#include "fs-fixture.h"
#include "kd-image.h"

using Paths = FsTest;

TEST_F(Paths, GetPathGivesTheSchemeOfEachKind) {
    EXPECT_STREQ(KD_GetPath(1, "logs/kodo-%.4d.log", 3), "user://logs/kodo-0003.log");
    EXPECT_STREQ(KD_GetPath(0, "a"), "user://a");
    EXPECT_STREQ(KD_GetPath(2, "a"), "user://a");
    EXPECT_STREQ(KD_GetPath(3, "ui/%s", "x.png"), "res://ui/x.png");
    EXPECT_STREQ(KD_GetPath(4, ""), "res://");
    EXPECT_STREQ(KD_GetPath(7, "plain"), "plain");
    EXPECT_STREQ(KD_GetPathAsPrefixString(5), nullptr);

    char out[32];
    EXPECT_STREQ(KD_GetPathEx(out, sizeof out, 3, "%d.txt", 12), "res://12.txt");
}

// A cut path names another file; an over-long one comes back empty.
TEST_F(Paths, OverlongPathsAreRefusedNotCut) {
    LogCapture log;
    std::string longName(300, 'a');
    EXPECT_STREQ(KD_GetPath(1, "%s", longName.c_str()), "");
    char small[12];
    EXPECT_STREQ(KD_GetPathEx(small, sizeof small, 1, "abcdefgh"), "");
    EXPECT_TRUE(log.Contains("too long"));
}

TEST_F(Paths, SchemesAndFileNames) {
    EXPECT_FALSE(KD_IsValidFileName("../a"));
    EXPECT_FALSE(KD_IsValidFileName("/abs"));
    EXPECT_FALSE(KD_IsValidFileName("ftp://x"));
    EXPECT_FALSE(KD_IsValidFileName(nullptr));
    EXPECT_FALSE(KD_IsValidFileName("user://a/../../b"));
    EXPECT_TRUE(KD_IsValidFileName("ui/a.png"));
    EXPECT_TRUE(KD_IsValidFileName("res://a.png"));

    EXPECT_TRUE(KD_FileNameContainsStaticPath("user://x"));
    EXPECT_FALSE(KD_FileNameContainsStaticPath("ui/x"));
    EXPECT_FALSE(KD_FileNameContainsStaticPath("abcdefghijklmnopq://x"));  // "://" too far in
    EXPECT_TRUE(KD_PathContainsValidPrefix("http://host/a"));
    EXPECT_FALSE(KD_PathContainsValidPrefix("c:/x"));

    char scheme[16];
    KD_GetStaticPathPrefix(scheme, sizeof scheme, "res://a");
    EXPECT_STREQ(scheme, "res");
    KD_GetStaticPathPrefix(scheme, sizeof scheme, "plain/a");
    EXPECT_STREQ(scheme, "");
    KD_GetStaticPathPrefix(scheme, sizeof scheme, "abcdefghijklmno://a");  // 15 characters + NUL fits
    EXPECT_STREQ(scheme, "abcdefghijklmno");
}

TEST_F(Paths, NativeConversionStaysInsideItsTree) {
    char* n = KD_ConvertStaticPathToNativeOSPath("user://logs/a.log");
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n, "./data/Dev/Game/logs/a.log");
    char* back = KD_ConvertNativeOSPathToStaticPath(n);
    EXPECT_STREQ(back, "user://logs/a.log");
    free(n);
    free(back);
    n = KD_ConvertStaticPathToNativeOSPath("res://ui/a.png");
    EXPECT_STREQ(n, "./app/native/ui/a.png");
    back = KD_ConvertNativeOSPathToStaticPath(n);
    EXPECT_STREQ(back, "res://ui/a.png");
    free(n);
    free(back);

    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("user://../../../etc/passwd"), nullptr);
    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("res://a/../../b"), nullptr);
    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("user:///etc/passwd"), nullptr);
    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("res://a\\..\\..\\b"), nullptr);
    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("ftp://a"), nullptr);
    EXPECT_EQ(KD_ConvertStaticPathToNativeOSPath("plain"), nullptr);
    EXPECT_EQ(KD_ConvertNativeOSPathToStaticPath("/elsewhere/x"), nullptr);

    // What a file dialog answers: absolute paths. Inside a tree they name
    // its file; a neighbour whose name begins like the tree, a path that
    // climbs out, or one that only contains the tree's text is outside.
    char cwd[512];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string abs = std::string(cwd) + "/data/Dev/Game/worlds/a.xml";
    back = KD_ConvertNativeOSPathToStaticPath(abs.c_str());
    EXPECT_STREQ(back, "user://worlds/a.xml");
    free(back);
    abs = std::string(cwd) + "/app/native/worlds/b.xml";
    back = KD_ConvertNativeOSPathToStaticPath(abs.c_str());
    EXPECT_STREQ(back, "res://worlds/b.xml");
    free(back);
    for (std::string outside :
         {std::string(cwd) + "/data/Dev/Game-old/a.xml", std::string(cwd) + "/data/Dev/Game/../x.xml",
          "/tmp" + std::string(cwd) + "/data/Dev/Game/a.xml"})
        EXPECT_EQ(KD_ConvertNativeOSPathToStaticPath(outside.c_str()), nullptr) << outside;
}

TEST_F(Paths, DeleteRefusesNamesThatClimbOut) {
    WriteFile("victim.txt", "keep me");
    WriteFile("data/Dev/Game/mine.txt", "x");
    EXPECT_FALSE(KD_DeleteFile("user://../../../victim.txt"));
    EXPECT_FALSE(KD_DeleteFile("/abs/victim.txt"));
    EXPECT_FALSE(KD_DeleteFile("victim.txt"));  // no scheme
    EXPECT_EQ(ReadFile("victim.txt"), "keep me");
    EXPECT_TRUE(KD_DeleteFile("user://mine.txt"));
    EXPECT_FALSE(std::filesystem::exists("data/Dev/Game/mine.txt"));
    EXPECT_FALSE(KD_DeleteFile("user://mine.txt"));
}

TEST_F(Paths, CreateDirectoryMakesEveryLevel) {
    LogCapture log;
    EXPECT_TRUE(KD_CreateDirectory("user://a/b/c"));
    EXPECT_TRUE(std::filesystem::is_directory("data/Dev/Game/a/b/c"));
    EXPECT_TRUE(KD_CreateDirectory("user://a/b/c/"));  // again, with a trailing '/'
    EXPECT_TRUE(log.Contains("Creating Directory: './data/Dev/Game/a/b/c'.."));
    EXPECT_FALSE(KD_CreateDirectory("user://../../escape"));
    EXPECT_FALSE(std::filesystem::exists("escape"));
}

// The routes the game's runs do not take, through a folder of the
// player's that is a link out of it: a delete (the cache's eviction), a
// folder made, a rename out of it and into it, and a picture written
// beside a file in it. Each is refused, the folder outside keeps what it
// had, and the link is named once.
TEST_F(Paths, NothingGoesThroughALinkedFolder) {
    LogCapture log;
    WriteFile("outside/theirs.txt", "keep me");
    WriteFile("data/Dev/Game/mine.txt", "x");
    std::filesystem::create_directory_symlink(std::filesystem::absolute("outside"), "data/Dev/Game/out");
    EXPECT_FALSE(KD_DeleteFile("user://out/theirs.txt"));
    EXPECT_FALSE(KD_CreateDirectory("user://out/made"));
    EXPECT_EQ(KD_CallExtension("RenameFile", "user://out/theirs.txt|user://taken.txt"), nullptr);
    EXPECT_EQ(KD_CallExtension("RenameFile", "user://mine.txt|user://out/theirs.txt"), nullptr);
    char tmp[600];
    EXPECT_EQ(KDI_OpenTempBeside("./data/Dev/Game/out/p.png", tmp, sizeof tmp), nullptr);
    EXPECT_EQ(ReadFile("outside/theirs.txt"), "keep me");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("outside"), {}), 1);
    int told = 0;
    for (const std::string& line : log.lines) told += line.find("'user://out' is a link") != std::string::npos;
    EXPECT_EQ(told, 1);
}

TEST_F(Paths, FileNameHelpers) {
    char out[64];
    KDI_NormalizeFileName(out, sizeof out, "a\\b\\..\\c");
    EXPECT_STREQ(out, "a/c");
    KDI_NormalizeFileName(out, sizeof out, "a/b/..");
    EXPECT_STREQ(out, "a");
    KDI_NormalizeFileName(out, sizeof out, "b/../c");
    EXPECT_STREQ(out, "c");
    KDI_NormalizeFileName(out, 4, "abcdef");
    EXPECT_STREQ(out, "abc");

    EXPECT_STREQ(KDI_CollapseFileNameRelativePaths("x/y/../z/../w").c_str(), "x/w");
    EXPECT_STREQ(KD_GetExtractedFilePath("ui/menu/a.lua").c_str(), "ui/menu");
    EXPECT_STREQ(KD_GetExtractedFilePath("ui/").c_str(), "ui");
    EXPECT_STREQ(KD_GetExtractedFilePath("a.lua").c_str(), "");
}

TEST_F(Paths, SearchPathsAreNormalisedAndUnique) {
    LogCapture log;
    KD_AddSearchPath("res://pkg", false);
    KD_AddSearchPath("res://pkg", false);
    ASSERT_EQ(KD_GetNumberOfSearchPaths(), 1);
    EXPECT_STREQ(KD_GetSearchPath(0), "res://pkg/");
    int dup = 0;
    for (auto& l : log.lines) dup += l.find("Duplicate search path, removing the old one: 'res://pkg/'") != std::string::npos;
    EXPECT_EQ(dup, 1);
    EXPECT_TRUE(log.Contains("Now using #0: 'res://pkg/'"));

    KD_AddSearchPath("res://other\\", true);
    KD_AddSearchPath("nopath", true);  // no scheme: refused
    KD_AddSearchPath("res://../up", true);  // leaves the tree: refused
    ASSERT_EQ(KD_GetNumberOfSearchPaths(), 2);
    EXPECT_STREQ(KD_GetSearchPath(0), "res://other/");
    EXPECT_EQ(KD_GetSearchPath(2), nullptr);
    EXPECT_EQ(KD_GetSearchPath(-1), nullptr);

    KD_RemoveSearchPath("res://pkg");
    ASSERT_EQ(KD_GetNumberOfSearchPaths(), 1);
    EXPECT_STREQ(KD_GetSearchPath(0), "res://other/");
}

// The start-up order: lists added at the front, the developer list at the
// end, then res:// and user:// at the front.
TEST_F(Paths, PackageListsGiveTheSearchOrder) {
    KDI_AddPackages("app1,app2", true);
    KDI_AddPackages("addon", true);
    KDI_AddPackages("sfx", true);
    KDI_AddPackages("music", true);
    KDI_AddPackages("dev1,dev2", false);
    KD_AddSearchPath(KD_GetPath(3, ""), true);
    KD_AddSearchPath(KD_GetPath(1, ""), true);
    const char* expected[] = {"user://",      "res://",       "res://music/", "res://sfx/", "res://addon/",
                              "res://app2/", "res://app1/", "res://dev1/",  "res://dev2/"};
    ASSERT_EQ(KD_GetNumberOfSearchPaths(), 9);
    for (int i = 0; i < 9; i++) EXPECT_STREQ(KD_GetSearchPath(i), expected[i]) << i;
}

TEST_F(Paths, PackageConditions) {
    record.parms.width = 600;
    record.parms.height = 1024;
    kd_prog = &record;
    KDI_AddPackages("@resolution=1024x600:hd,@open:base,x,@res=800x480:sd,@feature=NOPE:f,@bogus:b, spaced ", false);
    ASSERT_EQ(KD_GetNumberOfSearchPaths(), 3);
    EXPECT_STREQ(KD_GetSearchPath(0), "res://hd/");
    EXPECT_STREQ(KD_GetSearchPath(1), "res://base/");
    EXPECT_STREQ(KD_GetSearchPath(2), "res://spaced/");

    std::string tooLong(600, 'a');
    KDI_AddPackages(tooLong.c_str(), false);
    KDI_AddPackages(nullptr, false);
    EXPECT_EQ(KD_GetNumberOfSearchPaths(), 3);
    // Data is never taken as a format.
    KDI_AddPackages("p%s%n", false);
    EXPECT_STREQ(KD_GetSearchPath(3), "res://p%s%n/");
}

TEST_F(Paths, FindFilesListsPackageEntries) {
    MakePak("app/native/data-sfx.pak", {{"sfx/a.wav", "A"},
                                        {"sfx/sub/b.wav", "B"},
                                        {"sfx/c.ogg", "C"},
                                        {"sfxother/d.wav", "D"},
                                        {"music/e.wav", "E"}});
    KD_AddSearchPath("res://data-sfx/", false);
    KD_AddSearchPath("res://", false);  // no folder: skipped
    kd_list_t list{};
    ASSERT_TRUE(KD_FindFiles(&list, "sfx/", "*.wav", false));
    ASSERT_EQ(list.count, 2);
    EXPECT_STREQ(list.items[0], "sfx/a.wav");
    EXPECT_STREQ(list.items[1], "sfx/sub/b.wav");
    KD_FreeList(&list);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.count, 0);

    EXPECT_FALSE(KD_FindFiles(&list, "sfx", "a*", false));  // only "*.ext" wildcards
    EXPECT_FALSE(KD_FindFiles(&list, "user://sfx", "*.wav", false));
    EXPECT_FALSE(KD_FindFiles(&list, "res://sfx", "*.wav", true));
    EXPECT_FALSE(KD_FindFiles(&list, "none", "*.wav", false));
    EXPECT_FALSE(KD_FindFiles(nullptr, "sfx", "*.wav", false));
}

TEST_F(Paths, FullPathIsTheFirstSearchPathThatHoldsTheName) {
    WriteFile("app/native/b/x.txt", "res");
    KD_AddSearchPath("user://a/", false);
    KD_AddSearchPath("res://b/", false);
    EXPECT_STREQ(KDI_GetFileFullPath("x.txt", true), "res://b/x.txt");
    EXPECT_EQ(KDI_GetFileFullPath("missing.txt", true), nullptr);
    std::filesystem::create_directories("data/Dev/Game/a");
    // Writable: the first place where it could be created, left uncreated.
    EXPECT_STREQ(KDI_GetFileFullPath("new.txt", false), "user://a/new.txt");
    EXPECT_FALSE(std::filesystem::exists("data/Dev/Game/a/new.txt"));
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

// Nothing is ever written into the program's data: a "res://" write lands
// under "user://", which developer mode reads first and which answers for
// any file the bundle lacks; the tools' "data/" names are the res root.
TEST_F(Paths, WritesToProgramDataGoToTheUserTree) {
    WriteFile("app/native/worlds/level.xml", "bundled");
    auto write = [](const char* name, const char* text) {
        kd_file_t* f = KD_OpenFile(name, "wb");
        if (!f) return false;
        KD_fwrite(text, 1, (unsigned)strlen(text), f);
        KD_CloseFile(f);
        return true;
    };
    EXPECT_TRUE(KD_CreateDirectory("res://data/worlds"));
    EXPECT_TRUE(std::filesystem::is_directory("data/Dev/Game/worlds"));
    ASSERT_TRUE(write("res://worlds/level.xml", "saved"));
    EXPECT_EQ(ReadFile("app/native/worlds/level.xml"), "bundled");
    EXPECT_EQ(ReadFile("data/Dev/Game/worlds/level.xml"), "saved");

    KD_AddSearchPath("res://", false);
    EXPECT_EQ(ReadEngineFile("res://worlds/level.xml"), "bundled");
    EXPECT_EQ(ReadEngineFile("worlds/level.xml"), "bundled");
    kd_state.developer_mode = true;
    EXPECT_EQ(ReadEngineFile("res://worlds/level.xml"), "saved");
    EXPECT_EQ(ReadEngineFile("res://data/worlds/level.xml"), "saved");
    EXPECT_EQ(ReadEngineFile("worlds/level.xml"), "saved");
    kd_state.developer_mode = false;

    // An atomic replace (temporary file, then the rename command) of a
    // file the bundle lacks reads back by its name in any mode.
    ASSERT_TRUE(write("res://data/worlds/new.xml.tmp", "new"));
    EXPECT_STREQ(KD_CallExtension("RenameFile", "res://data/worlds/new.xml.tmp|res://data/worlds/new.xml"), "OK");
    EXPECT_EQ(ReadEngineFile("res://worlds/new.xml"), "new");

    // Deleting a "res://" name deletes the writable copy, never the bundle.
    EXPECT_TRUE(KD_DeleteFile("res://worlds/level.xml"));
    EXPECT_FALSE(std::filesystem::exists("data/Dev/Game/worlds/level.xml"));
    EXPECT_FALSE(KD_DeleteFile("res://worlds/level.xml"));
    EXPECT_EQ(ReadFile("app/native/worlds/level.xml"), "bundled");
    int bundled_files = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator("app/native"))
        bundled_files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(bundled_files, 1);
}
