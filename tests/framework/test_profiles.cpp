// Profiles: creation, choice, storing and loading, deletion, the store of
// categories, tags and values, the script functions, file names from
// player-writable files, damaged files, and saves interrupted by SIGKILL.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "fw-support.h"
#include "kill-round.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> r;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') r.push_back(e->d_name);
        closedir(d);
    }
    return r;
}

// A started engine with program parameters and fresh profiles.
struct ProfEnv {
    FwEngine engine;
    kd_prog_t record{};
    kd_parms_t& parms = record.parms;
    std::string profiles;
    ProfEnv() {
        Manager::SetProgramRecord(&record);
        profiles = engine.UserPath("profiles");
    }
    ~ProfEnv() {
        Manager::SetProgramRecord(nullptr);
        Manager::SetParms(nullptr);
        profile_man.SetAudioHooks(ProfileManager::AudioHooks());
    }
    std::string File(const std::string& name) const { return profiles + "/" + name; }
    void Prepare() { mkdir(profiles.c_str(), 0777); }
};

std::string ProfileXml(const std::string& name, const std::string& extra = "") {
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n\t<array id=\"!INFO\">\n"
           "\t\t<node id=\"name\" value=\"" +
           name + "\" />\n\t</array>\n" + extra + "</root>\n";
}

float g_sound = 0.75f, g_music = 0.5f;

}  // namespace

TEST(Profiles, FirstStartMakesATemporaryProfileThatANamedOneReplaces) {
    ProfEnv env;
    ASSERT_TRUE(env.engine.started);
    ASSERT_TRUE(lua_man.Initialize());
    FwLog log;
    profile_man.Initialize();
    EXPECT_TRUE(log.Contains("Profiles database index doesn't exists. Creating new."));
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 1);
    ASSERT_TRUE(prof);
    EXPECT_STREQ(prof->GetFileName(), "1.xml");
    EXPECT_STREQ(prof->GetName(), "");

    lua_State* L = lua_man.GetMainState();
    ASSERT_TRUE(lua_man.ExecLuaString(L, "i = AddProfile('  \\tAnna  ') n = GetNumberOfProfiles() g = GetProfile()"));
    lua_getglobal(L, "i");
    EXPECT_EQ(lua_tointeger(L, -1), 0);
    lua_getglobal(L, "n");
    EXPECT_EQ(lua_tointeger(L, -1), 1);
    lua_getglobal(L, "g");
    EXPECT_EQ(lua_tointeger(L, -1), 0);
    lua_pop(L, 3);
    EXPECT_TRUE(log.Contains("Detecting temporary profile at index #0, deleting it.."));
    EXPECT_STREQ(prof->GetFileName(), "2.xml");
    EXPECT_STREQ(prof->GetName(), "Anna");

    EXPECT_FALSE(profile_man.IsProfileNameValid("Anna"));
    EXPECT_FALSE(profile_man.IsProfileNameValid(" \tAnna   "));
    EXPECT_FALSE(profile_man.IsProfileNameValid("    "));
    EXPECT_FALSE(profile_man.IsProfileNameValid(nullptr));
    EXPECT_TRUE(profile_man.IsProfileNameValid("anna"));
    EXPECT_TRUE(profile_man.IsProfileNameValid("Anna\t"));  // only trailing spaces are cut

    // An unnamed first profile that has played and earned is a player's:
    // a new named one goes beside it, and both are there after a restart.
    profile_man.DeleteProfile(prof);
    ASSERT_TRUE(profile_man.SaveProfiles());
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 1);
    EXPECT_STREQ(prof->GetName(), "");
    prof->SetValue("!TIMELINES", "main", "event", "E01_L02");
    prof->SetValue("LEVELS", "E01_L01", "completed", "1");
    ASSERT_TRUE(profile_man.SaveProfiles());
    ASSERT_TRUE(lua_man.ExecLuaString(L, "AddProfile('Bob') SaveProfiles()"));
    EXPECT_TRUE(log.Contains("The unnamed profile at index #0 holds progress; it is kept."));
    profile_man.LoadProfiles();
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 2);
    EXPECT_STREQ(prof->GetName(), "Bob");
    EXPECT_STREQ(profile_man.GetProfileByIndex(0)->GetName(), "");
    EXPECT_STREQ(profile_man.GetProfileByIndex(0)->GetValue("LEVELS", "E01_L01", "completed"), "1");
    lua_man.Shutdown();
}

TEST(Profiles, CategoriesTagsAndValues) {
    ProfEnv env;
    profile_man.LoadProfiles();
    Profile* p = prof;
    ASSERT_TRUE(p);
    p->SetValue("LEVELS", "E01_L01", "stars", "3");
    p->SetValuef("LEVELS", "E01_L01", "time", "%d.%02d", 12, 5);
    p->SetValue("LEVELS", "E01_L02", "stars", nullptr);  // no value: nothing
    EXPECT_STREQ(p->GetValue("LEVELS", "E01_L01", "stars"), "3");
    EXPECT_STREQ(p->GetValue("LEVELS", "E01_L01", "time"), "12.05");
    EXPECT_FALSE(p->TagExists("LEVELS", "E01_L02"));
    EXPECT_EQ(p->GetValue("LEVELS", "E01_L01", "none"), nullptr);
    EXPECT_EQ(p->GetValue("NOPE", "E01_L01", "stars"), nullptr);

    p->AddTag("SEEN", "intro");
    EXPECT_TRUE(p->TagExists("SEEN", "intro"));
    EXPECT_STREQ(p->GetValue("SEEN", "intro", "tag"), "1");
    EXPECT_FALSE(p->IsAcknowledged("SEEN", "intro"));
    p->SetAcknowledged("SEEN", "intro", true);
    EXPECT_TRUE(p->IsAcknowledged("SEEN", "intro"));
    p->SetAcknowledged("SEEN", "intro", false);
    EXPECT_EQ(p->GetValue("SEEN", "intro", "ack"), nullptr);

    p->SetValue("LEVELS", "E01_L02", "stars", "1");
    EXPECT_EQ(p->GetNumberOfValuesInCategory("LEVELS"), 2);
    EXPECT_STREQ(p->GetValueNameByIndex("LEVELS", 1), "E01_L02");
    EXPECT_EQ(p->GetValueNameByIndex("LEVELS", 2), nullptr);
    p->RemoveValue("LEVELS", "E01_L01", "time");
    EXPECT_EQ(p->GetValue("LEVELS", "E01_L01", "time"), nullptr);
    EXPECT_TRUE(p->RemoveValue("LEVELS", "E01_L01"));
    EXPECT_FALSE(p->RemoveValue("LEVELS", "E01_L01"));
    EXPECT_EQ(p->GetNumberOfValuesInCategory("LEVELS"), 1);
    EXPECT_TRUE(p->RemoveCategory("LEVELS"));
    EXPECT_FALSE(p->RemoveCategory("LEVELS"));
    EXPECT_EQ(p->GetNumberOfValuesInCategory("LEVELS"), 0);

    int before = p->GetActiveTime();
    p->Update(0.0166f);
    EXPECT_EQ(p->GetActiveTime(), before + 16);
    profile_man.Update(1.0f);
    EXPECT_EQ(p->GetActiveTime(), before + 1016);
}

TEST(Profiles, ScriptFunctionsActOnTheActiveProfile) {
    ProfEnv env;
    ASSERT_TRUE(lua_man.Initialize());
    profile_man.Initialize();
    lua_State* L = lua_man.GetMainState();
    ASSERT_TRUE(lua_man.ExecLuaString(L,
        "AddProfile('Bo') SetProfileValue('C', 'T', 'v', 42) AddProfileTag('C', 'flag') "
        "SetProfileValueAcknowledged('C', 'flag', true) "
        "r1 = GetProfileValue('C', 'T', 'v') r2 = ProfileValueExists('C', 'T', 'w') "
        "r3 = ProfileTagExists('C', 'flag') r4 = ProfileTagExists('C', 'T') "
        "r5 = IsProfileValueAcknowledged('C', 'flag') r6 = GetNumberOfValuesInCategory('C') "
        "r7 = GetValueNameByIndex('C', 1) r8 = GetValueNameByIndex('C', 9) "
        "r9 = RemoveProfileTag('C', 'flag') r10 = RemoveProfileValue('C', 'flag') "
        "SetGlobalValue('LANG', 'de') r11 = GetGlobalValue('LANG') r12 = GetGlobalValue('NONE') "
        "r13 = SetProfile(7) r14 = RemoveProfileCategory('C') r15 = IsProfileNameValid('Bo') "
        "r16 = GetProfileValue('C', 'T', 'v', 'extra') r17 = GetProfileValue()"));
    auto global = [&](const char* name) {
        lua_getglobal(L, name);
        std::string r = lua_isnil(L, -1) ? "nil" : lua_isboolean(L, -1) ? (lua_toboolean(L, -1) ? "true" : "false")
                                                                       : lua_tostring(L, -1);
        lua_pop(L, 1);
        return r;
    };
    EXPECT_EQ(global("r1"), "42");
    EXPECT_EQ(global("r2"), "false");
    EXPECT_EQ(global("r3"), "true");
    EXPECT_EQ(global("r4"), "false");
    EXPECT_EQ(global("r5"), "true");
    EXPECT_EQ(global("r6"), "2");
    EXPECT_EQ(global("r7"), "flag");
    EXPECT_EQ(global("r8"), "nil");
    EXPECT_EQ(global("r9"), "true");
    EXPECT_EQ(global("r10"), "false");
    EXPECT_EQ(global("r11"), "de");
    EXPECT_EQ(global("r12"), "nil");
    EXPECT_EQ(global("r13"), "false");
    EXPECT_EQ(global("r14"), "true");
    EXPECT_EQ(global("r15"), "false");
    EXPECT_EQ(global("r16"), "nil");
    EXPECT_EQ(global("r17"), "nil");
    lua_man.Shutdown();
}

TEST(Profiles, StoreAndLoadKeepEverything) {
    ProfEnv env;
    ProfileManager::AudioHooks hooks;
    hooks.GetSoundVolume = [] { return g_sound; };
    hooks.GetMusicVolume = [] { return g_music; };
    hooks.SetSoundVolume = [](float v) { g_sound = v; };
    hooks.SetMusicVolume = [](float v) { g_music = v; };
    profile_man.SetAudioHooks(hooks);
    profile_man.LoadProfiles();
    prof->SetName("A");
    for (const char* n : {"B", "C"}) profile_man.CreateNewProfile()->SetName(n);
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 3);
    EXPECT_EQ(profile_man.GetProfileIndex(prof), 2);
    prof->SetValue("!SAVE_STATE", "x", "timeline", "quote \" and\nnewline");
    prof->Update(2.5f);
    profile_man.SetGlobalValue("GAME_CENTER_ENABLED", "0");
    env.parms.windowed = true;
    ASSERT_TRUE(profile_man.SaveProfiles());

    std::string index = ReadNative(env.File("index.xml"));
    EXPECT_NE(index.find("<node id=\"ACTIVE_PROFILE\" index=\"2\" />"), std::string::npos) << index;
    EXPECT_NE(index.find("<node id=\"SOUND_VOLUME\" value=\"0.75\" />"), std::string::npos);
    EXPECT_NE(index.find("<node id=\"MUSIC_VOLUME\" value=\"0.50\" />"), std::string::npos);
    EXPECT_NE(index.find("<node id=\"WINDOWED\" value=\"1\" />"), std::string::npos);
    EXPECT_NE(index.find("<node id=\"3.xml\" />"), std::string::npos);

    g_sound = g_music = 0;
    env.parms.windowed = false;
    profile_man.LoadProfiles();
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 3);
    EXPECT_STREQ(profile_man.GetProfileByIndex(0)->GetName(), "A");
    EXPECT_STREQ(profile_man.GetProfileByIndex(2)->GetName(), "C");
    ASSERT_EQ(prof, profile_man.GetProfileByIndex(2));
    EXPECT_STREQ(prof->GetValue("!SAVE_STATE", "x", "timeline"), "quote \" and\nnewline");
    EXPECT_EQ(prof->GetActiveTime(), 2500);
    EXPECT_FLOAT_EQ(g_sound, 0.75f);
    EXPECT_FLOAT_EQ(g_music, 0.5f);
    EXPECT_TRUE(env.parms.windowed);
    EXPECT_STREQ(profile_man.GetGlobalValue("GAME_CENTER_ENABLED"), "0");

    // No index: the files on disk are found by number.
    unlink(env.File("index.xml").c_str());
    profile_man.LoadProfiles();
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), 3);
    EXPECT_EQ(prof, profile_man.GetProfileByIndex(0));

    // A volume that is no finite number gets the default and is saved so.
    WriteNative(env.File("index.xml"),
                "<root><array id=\"!SETTINGS\"><node id=\"SOUND_VOLUME\" value=\"nan\"/>"
                "<node id=\"MUSIC_VOLUME\" value=\"-inf\"/></array></root>");
    profile_man.LoadProfiles();
    EXPECT_FLOAT_EQ(g_sound, 1.0f);
    EXPECT_FLOAT_EQ(g_music, 1.0f);
    ASSERT_TRUE(profile_man.SaveProfiles());
    EXPECT_NE(ReadNative(env.File("index.xml")).find("<node id=\"SOUND_VOLUME\" value=\"1.00\" />"), std::string::npos);
    profile_man.SetAudioHooks(ProfileManager::AudioHooks());
}

TEST(Profiles, DeletionWaitsForTheNextSaveAndRemovesSaveGames) {
    ProfEnv env;
    profile_man.LoadProfiles();
    prof->SetName("Keep");
    Profile* gone = profile_man.CreateNewProfile();
    gone->SetName("Gone");
    kd->CreateDirectory("user://profiles/saves");
    WriteNative(env.File("saves/save-game-007.dat"), "state");
    WriteNative(env.File("victim.txt"), "not a save game");
    gone->SetValue("!TIMELINES", "timeline.xml", "savefile", "profiles/saves/save-game-007.dat");
    gone->SetValue("!TIMELINES", "other.xml", "savefile", "profiles/victim.txt");
    gone->SetValue("!TIMELINES", "up.xml", "savefile", "../profiles/victim.txt");
    ASSERT_TRUE(profile_man.SaveProfiles());
    ASSERT_TRUE(Exists(env.File("2.xml")));

    FwLog log;
    profile_man.DeleteProfile(gone);
    EXPECT_TRUE(log.Contains("Marking profile 'Gone' for deletion."));
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), 1);
    EXPECT_EQ(prof, profile_man.GetProfileByIndex(0));  // the active one was deleted
    EXPECT_TRUE(Exists(env.File("2.xml")));
    // Its file name stays taken until the save.
    EXPECT_STREQ(profile_man.GetFreeProfileFilename(), "3.xml");
    ASSERT_TRUE(profile_man.SaveProfiles());
    EXPECT_FALSE(Exists(env.File("2.xml")));
    EXPECT_FALSE(Exists(env.File("saves/save-game-007.dat")));
    EXPECT_TRUE(Exists(env.File("victim.txt")));  // named in a form of its own: left alone

    // A profile never saved goes at once; deleting the last one makes a new one.
    profile_man.DeleteProfile(nullptr);
    Profile* fresh = profile_man.CreateNewProfile();
    profile_man.DeleteProfile(fresh);
    EXPECT_TRUE(log.Contains("Deleting profile '' (#1)"));
    profile_man.DeleteProfile(profile_man.GetProfileByIndex(0));
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), 1);
    EXPECT_TRUE(prof);

    profile_man.DeleteAllProfiles();
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 1);
    EXPECT_STREQ(prof->GetName(), "Player");
    EXPECT_FALSE(Exists(env.File("1.xml")));
}

TEST(Profiles, FileNamesFromPlayerFilesMustHaveTheirOwnForm) {
    EXPECT_TRUE(Profile::IsValidFileName("1.xml"));
    EXPECT_TRUE(Profile::IsValidFileName("64.xml"));
    for (const char* bad : {"0.xml", "65.xml", "01.xml", "../1.xml", "1.xml/", "/etc/1.xml", "1.XML", "1.dat", "x.xml",
                            "", "1.xml\n", "100.xml"})
        EXPECT_FALSE(Profile::IsValidFileName(bad)) << bad;
    EXPECT_FALSE(Profile::IsValidFileName(nullptr));
    EXPECT_TRUE(Profile::IsValidSaveFileName("profiles/saves/save-game-001.dat"));
    EXPECT_TRUE(Profile::IsValidSaveFileName("profiles/saves/save-game-999.dat"));
    for (const char* bad : {"profiles/saves/save-game-000.dat", "profiles/saves/save-game-1.dat",
                            "profiles/saves/save-game-0011.dat", "profiles/saves/../index.xml",
                            "profiles/saves/save-game-00a.dat", "/profiles/saves/save-game-001.dat",
                            "profiles/saves/save-game-001.dat.x", "profiles/1.xml"})
        EXPECT_FALSE(Profile::IsValidSaveFileName(bad)) << bad;

    ProfEnv env;
    env.Prepare();
    WriteNative(env.File("5.xml"), ProfileXml("Five"));
    WriteNative(env.File("secret.xml"), ProfileXml("Secret"));
    WriteNative(env.File("index.xml"),
                "<?xml version=\"1.0\"?>\n<root>\n<array id=\"!PROFILE_INDEX\">\n<node id=\"secret.xml\"/>\n"
                "<node id=\"../profiles/secret.xml\"/>\n<node id=\"5.xml\"/>\n<node id=\"5.xml\"/>\n</array>\n</root>\n");
    FwLog log;
    profile_man.LoadProfiles();
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 1);  // the unknown names and the repeat are dropped
    EXPECT_STREQ(prof->GetName(), "Five");
    EXPECT_TRUE(log.Contains("Profile index entry 'secret.xml' is no profile file name"));
    profile_man.DeleteProfile(prof);
    ASSERT_TRUE(profile_man.SaveProfiles());
    EXPECT_TRUE(Exists(env.File("secret.xml")));
    EXPECT_FALSE(Exists(env.File("5.xml")));
}

TEST(Profiles, DamagedFilesAreSetAsideNeverOverwritten) {
    ProfEnv env;
    env.Prepare();
    const std::string cut = ProfileXml("Anna", "\t<array id=\"LEVELS\">\n\t\t<node id=\"E01\" stars=\"3").substr(0, 150);
    WriteNative(env.File("1.xml"), cut);
    WriteNative(env.File("2.xml"), ProfileXml("Bert"));
    WriteNative(env.File("index.xml"), "garbage, not XML");
    FwLog log;
    profile_man.LoadProfiles();
    EXPECT_TRUE(log.Contains("'user://profiles/1.xml' is damaged")) << log.Lines().size();
    EXPECT_TRUE(log.Contains("'user://profiles/index.xml' is damaged"));
    EXPECT_EQ(ReadNative(env.File("1.xml.damaged")), cut);
    EXPECT_EQ(ReadNative(env.File("index.xml.damaged")), "garbage, not XML");
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 2);
    // What could be read of the cut file is kept; the file itself is aside.
    EXPECT_STREQ(profile_man.GetProfileByIndex(0)->GetName(), "Anna");
    EXPECT_STREQ(profile_man.GetProfileByIndex(1)->GetName(), "Bert");
    ASSERT_TRUE(profile_man.SaveProfiles());
    EXPECT_EQ(ReadNative(env.File("1.xml.damaged")), cut);  // still there after the save

    // A second damaged copy does not replace the first one set aside.
    WriteNative(env.File("1.xml"), "<root><array id=\"x\"><node a=\"");
    profile_man.LoadProfiles();
    EXPECT_EQ(ReadNative(env.File("1.xml.damaged")), cut);
    EXPECT_EQ(ReadNative(env.File("1.xml.damaged-2")), "<root><array id=\"x\"><node a=\"");
    EXPECT_STREQ(profile_man.GetProfileByIndex(1)->GetName(), "Bert");
}

TEST(Profiles, AFullFolderOffersNoName) {
    ProfEnv env;
    env.Prepare();
    for (int n = 1; n <= 64; n++) WriteNative(env.File(std::to_string(n) + ".xml"), ProfileXml("P" + std::to_string(n)));
    FwLog log;
    profile_man.LoadProfiles();
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), 64);
    EXPECT_EQ(profile_man.CreateNewProfile(), nullptr);
    EXPECT_TRUE(log.Contains("Too many profiles files in <userdata>/profiles folder."));
    EXPECT_EQ(profile_man.GetNumberOfProfiles(), 64);
    EXPECT_STREQ(ReadNative(env.File("1.xml")).c_str(), ProfileXml("P1").c_str());
}

// A script's save says whether it was written, and a save asked for again
// with nothing changed writes nothing. A disk that takes no new file (a
// folder where the new player's temporary file goes) makes no new player:
// the save says so, once, and the next start lists the old player only.
namespace {
int syncs = 0;
const char* (*engine_extension)(const char*, const char*) = nullptr;
const char* CountingExtension(const char* command, const char* parameter) {
    if (strcmp(command, "SyncFile") == 0) syncs++;
    return engine_extension(command, parameter);
}
}  // namespace

TEST(Profiles, ASaveSaysWhetherItWroteAndWritesOnceForManyAsks) {
    ProfEnv env;
    ASSERT_TRUE(lua_man.Initialize());
    profile_man.Initialize();
    kodo_t counting = *kd, *real = kd;
    engine_extension = real->CallExtension;
    counting.CallExtension = CountingExtension;
    kd = &counting;
    lua_State* L = lua_man.GetMainState();
    auto run = [&](const char* script) {
        syncs = 0;
        EXPECT_TRUE(lua_man.ExecLuaString(L, script)) << script;
        lua_getglobal(L, "ok");
        std::string r = lua_isboolean(L, -1) ? (lua_toboolean(L, -1) ? "true" : "false") : "not a boolean";
        lua_pop(L, 1);
        return r + " " + std::to_string(syncs);
    };
    EXPECT_EQ(run("AddProfile('Ann') ok = SaveProfiles()"), "true 2");  // Ann and the index
    EXPECT_EQ(run("for i = 1, 2500 do ok = SaveProfiles() end"), "true 0");
    EXPECT_EQ(run("SetProfileValue('C', 'T', 'v', '1') ok = SaveProfiles()"), "true 2");
    EXPECT_EQ(run("SetGlobalValue('LANG', 'de') ok = SaveProfiles() ok = ok and SaveProfiles()"), "true 2");

    FwLog log;
    const std::string bob = profile_man.GetFreeProfileFilename();
    ASSERT_EQ(mkdir(env.File(bob + ".tmp").c_str(), 0777), 0);
    EXPECT_EQ(run("AddProfile('BOB') ok = SaveProfiles() ok = ok or SaveProfiles()"), "false 2");
    const std::vector<std::string>& lines = log.Lines();
    const std::string failed = "Saving 'user://profiles/" + bob + "' failed";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(failed) != l.npos; }),
              1);
    kd = real;
    profile_man.LoadProfiles();
    ASSERT_EQ(profile_man.GetNumberOfProfiles(), 1);
    EXPECT_STREQ(prof->GetName(), "Ann");
    lua_man.Shutdown();
}

// A script fills the profile and the index to their bound. The game's
// own values still go in (a won level's record, a setting the bundled
// menus keep through the script functions), the script's next value is
// refused with its file's one line, and the files load back whole. A
// value of the game's that cannot be kept makes the save answer false,
// with a line naming it, once; a script's refusal never does.
TEST(Profiles, AScriptNeverCrowdsOutTheGamesValues) {
    ProfEnv env;
    ASSERT_TRUE(lua_man.Initialize());
    profile_man.Initialize();
    lua_State* L = lua_man.GetMainState();
    FwLog log;
    // In calls of a few hundred values each, as a script's frames would
    // set them: one call may run for 2 s, and the sanitizers' build is slow.
    ASSERT_TRUE(lua_man.ExecLuaString(
        L,
        "AddProfile('Ann') big, crumb = string.rep('f', 16000), string.rep('c', 60) "
        "for i = 1, 70 do SetProfileValue('FILL', 'v' .. i, 'value', big) SetGlobalValue('FILL' .. i, big) end"));
    for (int from = 1; from <= 3000; from += 500) {
        const std::string crumbs = "for i = " + std::to_string(from) + ", " + std::to_string(from + 499) +
                                   " do SetProfileValue('CRUMBS', 'c' .. i, 'value', crumb) "
                                   "SetGlobalValue('C' .. i, crumb) end";
        ASSERT_TRUE(lua_man.ExecLuaString(L, crumbs.c_str()));
    }
    ASSERT_TRUE(
        lua_man.ExecLuaString(L,
                              "SetGlobalValue('VOLUME_SOUND_UNMUTED', '0.75') AddProfileTag('GAME', 'lower_details') "
                              "SetGlobalValue('VOLUME_MUSIC_UNMUTED', string.rep('9', 40))"));
    for (int level = 1; level <= 20; level++) {
        std::string id = "E0" + std::to_string(1 + (level - 1) / 10) + "_L" + std::to_string(level);
        prof->SetValue("LEVELS", id.c_str(), "completed", "1");
        prof->SetValue("LEVELS", id.c_str(), "best_time", "31");
    }
    EXPECT_TRUE(profile_man.SaveProfiles());
    const std::string ann = prof->GetFileName();
    for (const std::string& file : {std::string("index.xml"), ann}) {
        const std::string line = std::string("bytes not set in 'user://profiles/") + file + "'";
        const std::vector<std::string>& lines = log.Lines();
        EXPECT_EQ(
            std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(line) != l.npos; }), 1)
            << file;
    }
    profile_man.LoadProfiles();
    EXPECT_FALSE(log.Contains("holds more than"));
    EXPECT_STREQ(prof->GetValue("LEVELS", "E02_L20", "best_time"), "31");
    EXPECT_TRUE(prof->TagExists("GAME", "lower_details"));
    EXPECT_STREQ(profile_man.GetGlobalValue("VOLUME_SOUND_UNMUTED"), "0.75");
    EXPECT_EQ(profile_man.GetGlobalValue("VOLUME_MUSIC_UNMUTED"), nullptr);  // too long for a setting
    EXPECT_EQ(profile_man.GetGlobalValue("C3000"), nullptr);
    // The scripts' values filled the file to within a crumb of the bound
    // (the bounds count it as it grows, never as a guess), then the
    // game's records went past it.
    const size_t filled = ReadNative(env.File(ann)).size();
    EXPECT_GT(filled, (size_t)kProfileMaxBytes);
    EXPECT_LE(filled, (size_t)kProfileMaxBytes + 4096);

    // The game's value past the value's bound: the rest is saved, the
    // save answers false once, and so does the manager's when nothing
    // else changed since its last success.
    prof->SetValue("LEVELS", "E01_L01", "best_stars", "3");
    prof->SetValue("GAME", "wide", "v", std::string(kProfileValueMaxBytes + 1, 'w').c_str());
    EXPECT_FALSE(prof->Save());
    EXPECT_TRUE(log.Contains("The game's value 'GAME/wide/v' of 16385 bytes was not kept in 'user://profiles/" + ann));
    EXPECT_TRUE(prof->Save());
    EXPECT_NE(ReadNative(env.File(ann)).find("best_stars=\"3\""), std::string::npos);
    ASSERT_TRUE(profile_man.SaveProfiles());
    profile_man.SetGlobalValue("WIDE", std::string(kProfileValueMaxBytes + 1, 'w').c_str());
    prof->SetValue("GAME", "wide", "v", std::string(kProfileValueMaxBytes + 1, 'w').c_str());
    EXPECT_FALSE(profile_man.SaveProfiles());
    EXPECT_TRUE(
        log.Contains("The game's value '!SETTINGS/WIDE/value' of 16385 bytes was not kept in "
                     "'user://profiles/index.xml'"));
    profile_man.Update(0);
    EXPECT_TRUE(profile_man.SaveProfiles());
    lua_man.Shutdown();
}

// A failed save is remembered for its frame only: once room is made, the
// next frame's ask writes. A profile larger than its bound whose copy
// cannot be made is not saved, and the lines say why.
TEST(Profiles, AFailedSaveIsTriedAgainNextFrameAndABlockedOneSaysWhy) {
    ProfEnv env;
    env.Prepare();
    std::string wide;
    for (int i = 0; i < 200; i++)
        wide += "\t\t<node id=\"n" + std::to_string(i) + "\" v=\"" + std::string(6000, '&') + "\" />\n";
    WriteNative(env.File("1.xml"), ProfileXml("Anna", "\t<array id=\"WIDE\">\n" + wide + "\t</array>\n"));
    ASSERT_EQ(mkdir(env.File("1.xml.damaged.tmp").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(env.File("index.xml.tmp").c_str(), 0777), 0);
    FwLog log;
    profile_man.LoadProfiles();
    EXPECT_TRUE(log.Contains("Unable to keep a copy of 'user://profiles/1.xml', which is larger than it may be"));
    EXPECT_FALSE(profile_man.SaveProfiles());
    EXPECT_FALSE(profile_man.SaveProfiles());
    EXPECT_TRUE(log.Contains("its file '1.xml' is larger than it may be and no copy of it could be kept, and is kept"));
    EXPECT_FALSE(log.Contains("could not be read"));
    const std::vector<std::string>& lines = log.Lines();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find("Saving 'user://profiles/index.xml'") != l.npos; }),
        1);
    ASSERT_EQ(rmdir(env.File("index.xml.tmp").c_str()), 0);
    profile_man.Update(0);
    EXPECT_FALSE(profile_man.SaveProfiles());  // the profile is still held
    EXPECT_TRUE(Exists(env.File("index.xml")));
}

// ---------------------------------------------------------------------------
// A child process saves the profiles again and again, each time with a
// new counter in several places of the profile, a new player made
// ("New <counter>") and the last round's deleted; it is killed with
// SIGKILL at random moments. After every kill the index names only files
// that are there, and the files on disk load as a whole, hold a counter
// the child had completely saved (or the one whose save had completed
// just before the child could report it) and the new player of that
// round or of the one before.

namespace {

const int kPadding = 40;

[[noreturn]] void RunSaver(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started) _exit(3);
    static kd_prog_t record{};
    Manager::SetProgramRecord(&record);
    profile_man.LoadProfiles();
    if (!prof) _exit(4);
    Profile* killer = prof;
    killer->SetName("Killer");
    const char* v = killer->GetValue("!KILL", "counter", "value");
    int counter = v ? atoi(v) : 0;
    Profile* fresh = nullptr;
    while (profile_man.GetNumberOfProfiles() > 1)
        profile_man.DeleteProfile(profile_man.GetProfileByIndex(profile_man.GetProfileByIndex(0) == killer ? 1 : 0));
    WriteInt(fd, counter);  // ready
    for (int round = 0; round < 1000000; round++) {
        counter++;
        killer->SetValuef("!KILL", "counter", "value", "%d", counter);
        for (int i = 0; i < kPadding; i++)
            killer->SetValuef("!PAD", std::to_string(i).c_str(), "v", "%d-%d", counter, i);
        killer->SetValuef("!KILL", "mirror", "value", "%d", counter);
        if (fresh) profile_man.DeleteProfile(fresh);
        fresh = profile_man.CreateNewProfile();
        if (!fresh) _exit(7);
        fresh->SetName(("New " + std::to_string(counter)).c_str());
        profile_man.SetActiveProfile(killer);
        if (!profile_man.SaveProfiles()) _exit(6);
        WriteInt(fd, counter);
    }
    _exit(0);
}

KILL_CHILD(RunSaver);

}  // namespace

TEST(ProfilesKill, EveryKillLeavesACompleteSavedProfile) {
    char tmpl[] = "/tmp/kodo-kill-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string dir = tmpl;
    // Neither the children nor the checks need sound; without an audio
    // device each engine start and stop is several times quicker.
    std::string audio = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    setenv("SDL_AUDIODRIVER", "none", 1);
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> delay(0, 10000);
    int confirmed = 0, ahead = 0, landed = 0, newest = 0;
    double childStart = 0, parentStart = 0;
    const int kKills = KillRounds() * 3 / 2;  // 300 by default
    for (int k = 0; k < kKills; k++) {
        // Every other round lets one save finish first, so that a machine
        // too busy to finish any within the delay still lands kills among
        // the saves.
        KillRound round = RunAndKill(RunSaver, dir, (useconds_t)delay(rng), k % 2);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        childStart += round.ready_seconds;
        int start = round.start, last = round.last;
        EXPECT_EQ(start, confirmed) << "kill " << k;  // what the last kill left is what this child found
        if (last > start) landed++;

        auto t1 = std::chrono::steady_clock::now();
        FwEngine engine(dir);
        parentStart += std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
        ASSERT_TRUE(engine.started);
        std::string index = ReadNative(engine.UserPath("profiles/index.xml"));
        std::smatch listed;
        for (auto at = index.cbegin(); std::regex_search(at, index.cend(), listed, std::regex("id=\"([0-9]+\\.xml)\""));
             at = listed.suffix().first)
            ASSERT_TRUE(Exists(engine.UserPath("profiles/" + listed[1].str()))) << "kill " << k << ": " << listed[1];
        FwLog log;
        profile_man.LoadProfiles();
        if (profile_man.GetNumberOfProfiles() == 0 || !Exists(engine.UserPath("profiles/1.xml"))) {
            // Killed before its very first save finished: nothing was ever
            // saved, so nothing can have been lost (the manager may have
            // made a fresh unnamed profile to start with).
            ASSERT_EQ(confirmed, 0) << "kill " << k;
            ASSERT_EQ(last, 0) << "kill " << k;
            continue;
        }
        ASSERT_TRUE(prof);
        EXPECT_STREQ(prof->GetName(), "Killer");
        const char* v = prof->GetValue("!KILL", "counter", "value");
        ASSERT_TRUE(v) << "kill " << k;
        int found = atoi(v);
        // Saved completely: the last one reported, or one more whose save
        // completed before the report was written.
        ASSERT_GE(found, last) << "kill " << k;
        ASSERT_LE(found, last + 1) << "kill " << k;
        if (found == last + 1) ahead++;
        // The round's new player, or the last round's when the kill fell
        // between the two profiles' files (the one the last check found,
        // when the child had saved no round of its own before that); a
        // deleted one may stay when the kill fell before its file went.
        int made = 0;
        for (int i = 0; i < profile_man.GetNumberOfProfiles(); i++) {
            int n = 0;
            if (sscanf(profile_man.GetProfileByIndex(i)->GetName(), "New %d", &n) == 1 &&
                (n == found || n == found - 1 || n == newest))
                made = std::max(made, n);
        }
        EXPECT_TRUE(made > 0 || found == 1) << "kill " << k << ": no new player of round " << found;
        newest = made;
        EXPECT_STREQ(prof->GetValue("!KILL", "mirror", "value"), v);
        for (int i = 0; i < kPadding; i++)
            ASSERT_EQ(prof->GetValue("!PAD", std::to_string(i).c_str(), "v"),
                      std::to_string(found) + "-" + std::to_string(i));
        for (const std::string& name : Files(engine.UserPath("profiles")))
            ASSERT_EQ(name.find(".damaged"), std::string::npos) << name;
        confirmed = found;
    }
    // Kills must land while the child is saving, not only before; how many
    // do depends on the machine's load, so the bound is loose (and a
    // handful of rounds, ThreadSanitizer's, may land none).
    if (kKills >= 10) {
        EXPECT_GT(landed, kKills / 10);
        EXPECT_GT(confirmed, 0);
    }
    printf("child start %.1f ms, parent start %.1f ms\n", childStart * 1000 / kKills, parentStart * 1000 / kKills);
    RecordProperty("kills_after_an_unreported_save", ahead);
    if (audio.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", audio.c_str(), 1);
    system(("rm -rf " + dir).c_str());
}
