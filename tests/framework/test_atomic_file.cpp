// Whole-or-nothing saves: the old file survives every failure.
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "atomic-file.h"
#include "dataman.h"
#include "fw-support.h"

namespace {

kodo_t failing;
kodo_t* failing_real = nullptr;
unsigned int budget = 0;

unsigned int FailingWrite(const void* buffer, unsigned int size, kd_file_t* file) {
    // Writes succeed until the budget runs out, then one comes up short.
    if (size > budget) return budget = 0;
    budget -= size;
    return failing_real->WriteFile(buffer, size, file);
}

// The engine's commands in the order the save asked for them; "SyncFile"
// fails when `sync_fails`.
std::vector<std::string> commands;
bool sync_fails = false;
const char* (*engine_extension)(const char*, const char*) = nullptr;
const char* LoggingExtension(const char* command, const char* parameter) {
    commands.push_back(std::string(command) + " " + (parameter ? parameter : ""));
    if (sync_fails && strcmp(command, "SyncFile") == 0) return nullptr;
    return engine_extension(command, parameter);
}

}  // namespace

TEST(AtomicSave, ReplacesTheFile) {
    FwEngine e;
    ASSERT_TRUE(kd->CreateDirectory("user://s"));
    WriteNative(e.UserPath("s/p.xml"), "old");
    ASSERT_TRUE(AtomicWriteFile("user://s/p.xml", "new contents", 12));
    EXPECT_EQ(ReadNative(e.UserPath("s/p.xml")), "new contents");
    struct stat st;
    EXPECT_NE(stat(e.UserPath("s/p.xml.tmp").c_str(), &st), 0);
    ASSERT_TRUE(AtomicWriteFile("user://s/fresh.xml", "x", 1));
    EXPECT_EQ(ReadNative(e.UserPath("s/fresh.xml")), "x");
}

// A link planted at the temporary's name (to a file outside the player's
// folder) is removed, not written through; and the engine writes in place
// through no link at a file's own name, nor into a file with a second
// name. A save by rename goes ahead over either: it replaces this name
// only (a link with a line naming it), and the file outside keeps its
// bytes. A file the player made read-only is kept, even for root.
TEST(AtomicSave, NeverWritesThroughALink) {
    FwEngine e;
    kd->CreateDirectory("user://s");
    const std::string outside = e.dir + "/outside.txt";
    WriteNative(outside, "theirs");
    std::filesystem::create_symlink(outside, e.UserPath("s/p.xml.tmp"));
    ASSERT_TRUE(AtomicWriteFile("user://s/p.xml", "mine", 4));
    EXPECT_EQ(ReadNative(outside), "theirs");
    EXPECT_EQ(ReadNative(e.UserPath("s/p.xml")), "mine");
    EXPECT_FALSE(std::filesystem::is_symlink(e.UserPath("s/p.xml")));
    std::filesystem::create_symlink(outside, e.UserPath("s/soft"));
    std::filesystem::create_hard_link(outside, e.UserPath("s/hard"));
    for (const char* name : {"user://s/soft", "user://s/hard"})
        for (const char* mode : {"wb", "ab", "a", "a+"}) {
            kd_file_t* f = kd->OpenFile(name, mode);
            EXPECT_EQ(f, nullptr) << name << " " << mode;
            if (f) kd->CloseFile(f);
        }
    EXPECT_EQ(ReadNative(outside), "theirs");
    FwLog log;
    for (const char* name : {"user://s/soft", "user://s/hard"}) EXPECT_TRUE(AtomicWriteFile(name, "saved", 5)) << name;
    EXPECT_EQ(ReadNative(outside), "theirs");
    for (const char* name : {"s/soft", "s/hard"}) {
        EXPECT_EQ(ReadNative(e.UserPath(name)), "saved") << name;
        EXPECT_FALSE(std::filesystem::is_symlink(e.UserPath(name))) << name;
    }
    EXPECT_TRUE(log.Contains("'user://s/soft' was a link; the save put a file of its own in its place"));
    EXPECT_FALSE(log.Contains("'user://s/hard'"));
    ASSERT_EQ(chmod(e.UserPath("s/hard").c_str(), 0444), 0);
    EXPECT_FALSE(AtomicWriteFile("user://s/hard", "lost", 4));
    EXPECT_TRUE(log.Contains("Saving 'user://s/hard' failed: the file is read-only; the old file is kept."));
    EXPECT_EQ(ReadNative(e.UserPath("s/hard")), "saved");
}

TEST(AtomicSave, KeepsOldFileWhenTheTemporaryCantBeMade) {
    FwEngine e;
    kd->CreateDirectory("user://s");
    WriteNative(e.UserPath("s/p.xml"), "old");
    ASSERT_EQ(mkdir(e.UserPath("s/p.xml.tmp").c_str(), 0777), 0);  // in the way
    FwLog log;
    DMDatabase db;
    db.SetValue("a", "n", "k", "v");
    EXPECT_FALSE(db.Save("user://s/p.xml"));
    EXPECT_EQ(ReadNative(e.UserPath("s/p.xml")), "old");
    EXPECT_TRUE(log.Contains("Saving 'user://s/p.xml' failed"));
}

TEST(AtomicSave, KeepsOldFileWhenTheRenameFails) {
    FwEngine e;
    kd->CreateDirectory("user://s/dir.xml/inner");  // a non-empty folder as target
    FwLog log;
    EXPECT_FALSE(AtomicWriteFile("user://s/dir.xml", "x", 1));
    struct stat st;
    EXPECT_NE(stat(e.UserPath("s/dir.xml.tmp").c_str(), &st), 0);  // temporary removed
    EXPECT_TRUE(log.Contains("unable to replace the file"));
}

TEST(AtomicSave, KeepsOldFileWhenAWriteFails) {
    FwEngine e;
    kd->CreateDirectory("user://s");
    WriteNative(e.UserPath("s/p.xml"), "old");
    kodo_t* real = kd;
    failing = *real;
    failing.WriteFile = FailingWrite;
    failing_real = real;
    budget = 60;  // the declaration and a little more
    kd = &failing;
    DMDatabase db;
    db.SetValue("a", "n", "k", "v");
    bool saved = db.Save("user://s/p.xml");
    kd = real;
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadNative(e.UserPath("s/p.xml")), "old");
    struct stat st;
    EXPECT_NE(stat(e.UserPath("s/p.xml.tmp").c_str(), &st), 0);
}

TEST(AtomicSave, RenameCommandRefusesEscapes) {
    FwEngine e;
    kd->CreateDirectory("user://s");
    WriteNative(e.UserPath("s/a"), "a");
    EXPECT_EQ(kd->CallExtension("RenameFile", "user://s/a|user://../b"), nullptr);
    EXPECT_EQ(kd->CallExtension("RenameFile", "/etc/passwd|user://s/b"), nullptr);
    EXPECT_EQ(kd->CallExtension("RenameFile", "user://s/a"), nullptr);
    EXPECT_EQ(kd->CallExtension("RenameFile", nullptr), nullptr);
    // The program's data is read-only: nothing moves out of res:// or in.
    std::filesystem::create_directories(e.dir + "/app/native");
    WriteNative(e.dir + "/app/native/keep.txt", "res");
    EXPECT_EQ(kd->CallExtension("RenameFile", "res://keep.txt|user://s/stolen"), nullptr);
    EXPECT_EQ(kd->CallExtension("RenameFile", "user://s/a|res://keep.txt"), nullptr);
    EXPECT_EQ(kd->CallExtension("RenameFile", "keep.txt|user://s/stolen"), nullptr);
    EXPECT_EQ(ReadNative(e.dir + "/app/native/keep.txt"), "res");
    EXPECT_EQ(ReadNative(e.UserPath("s/a")), "a");
    EXPECT_STREQ(kd->CallExtension("RenameFile", "user://s/a|user://s/b"), "OK");
    EXPECT_EQ(ReadNative(e.UserPath("s/b")), "a");
}

// The new file is on the disk before it takes the old one's name, and the
// folder after; a file that cannot be written to the disk replaces nothing.
TEST(AtomicSave, SyncsTheFileBeforeTheRenameAndTheFolderAfter) {
    FwEngine e;
    kd->CreateDirectory("user://s");
    WriteNative(e.UserPath("s/p.xml"), "old");
    kodo_t* real = kd;
    failing = *real;
    engine_extension = real->CallExtension;
    failing.CallExtension = LoggingExtension;
    kd = &failing;
    commands.clear();
    bool saved = AtomicWriteFile("user://s/p.xml", "new", 3);
    std::vector<std::string> order = commands;
    sync_fails = true;
    bool unsynced = AtomicWriteFile("user://s/p.xml", "lost", 4);
    sync_fails = false;
    kd = real;
    EXPECT_TRUE(saved);
    std::vector<std::string> expected = {"FileExists user://s/p.xml", "SyncFile user://s/p.xml.tmp",
                                         "RenameFile user://s/p.xml.tmp|user://s/p.xml", "SyncFolder user://s/p.xml"};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(unsynced);
    EXPECT_EQ(ReadNative(e.UserPath("s/p.xml")), "new");
    EXPECT_FALSE(std::filesystem::exists(e.UserPath("s/p.xml.tmp")));
    // The engine's answers: a file and a file's folder sync; nothing does
    // that is not there, or outside the player's tree.
    EXPECT_STREQ(kd->CallExtension("SyncFile", "user://s/p.xml"), "OK");
    EXPECT_STREQ(kd->CallExtension("SyncFolder", "user://s/p.xml"), "OK");
    EXPECT_EQ(kd->CallExtension("SyncFile", "user://s/none.xml"), nullptr);
    EXPECT_EQ(kd->CallExtension("SyncFile", "user://../p.xml"), nullptr);
    EXPECT_EQ(kd->CallExtension("SyncFolder", nullptr), nullptr);
}
