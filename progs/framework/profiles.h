// Player profiles: one database file per player under "user://profiles/",
// used by every part of the program as a store of categories (arrays),
// tags (nodes) and named values, plus an index database with the active
// profile and the global settings.
#ifndef FRAMEWORK_PROFILES_H
#define FRAMEWORK_PROFILES_H

#include <stdint.h>

#include <string>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

// What one value and one player file (a profile, or the index with the
// global values) may hold. The bound keeps a script from filling memory
// and the disk through the player's files, so it is the scripts' alone: a
// script's value (ScriptValues) that would take the file past
// kProfileMaxBytes is refused, with one line per file. The game's own
// values (records, the place, totals, achievements, scores, settings) have
// kProfileGameRoomBytes more, which a script never reaches: a file a
// script filled still takes every win. Any value past
// kProfileValueMaxBytes is refused. A file loaded larger than both rooms
// together keeps its first nodes that fit.
enum : size_t {
    kProfileValueMaxBytes = 16u << 10,
    kProfileMaxBytes = 1u << 20,
    kProfileGameRoomBytes = 256u << 10,
    kProfileFileMaxBytes = kProfileMaxBytes + kProfileGameRoomBytes,
};

// While one lives, the values set in the player's files are a script's:
// the script functions that set values open one, and so does a route of
// the game whose key a script chose and the game's data does not name.
// A value of the game's own settings that the bundled menus keep (a fixed
// name, a short value) stays the game's all the same.
class ScriptValues {
public:
    explicit ScriptValues(bool script = true);
    ~ScriptValues();
    ScriptValues(const ScriptValues&) = delete;
    ScriptValues& operator=(const ScriptValues&) = delete;

private:
    bool before;
};

// The values one player file refused since it was last saved. A script's
// refusals are told once per file; the game's are told when the file is
// saved, and make that save answer false, so that the player hears of
// what was not kept.
struct ValueRefusals {
    bool scriptTold = false;
    std::string firstGameValue;  // "<cat>/<tag>/<name>" of <n> bytes
    int gameValues = 0;
    // False, with one line naming the first value, when any of the game's
    // was refused; the count starts again.
    bool TellGameValues(const char* file);
};

// The bytes a player file's save would write, as its bounds count them:
// counted whole only when some database changed since (DMChangeCount),
// and kept up to date by the value sets that check the bounds, so that a
// script setting values one after another does not count the whole file
// at each.
struct WrittenSize {
    unsigned long change = ~0ul;
    size_t bytes = 0;
};

class Profile {
public:
    Profile() {}
    ~Profile();  // frees the object only; the database stays with `dman`
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    void Update(float dt);
    DMDatabase* GetDatabase() const { return database; }
    const char* GetName() const;
    void SetName(const char* name);
    const char* GetValue(const char* cat, const char* tag, const char* name) const;
    void SetValue(const char* cat, const char* tag, const char* name, const char* value);
    void SetValuef(const char* cat, const char* tag, const char* name, const char* fmt, ...) N_PRINTF_LIKE(5, 6);
    void AddTag(const char* cat, const char* tag);
    bool TagExists(const char* cat, const char* tag) const;
    bool IsAcknowledged(const char* cat, const char* tag) const;
    void SetAcknowledged(const char* cat, const char* tag, bool ack);
    void RemoveValue(const char* cat, const char* tag, const char* name);
    bool RemoveValue(const char* cat, const char* tag);
    bool RemoveCategory(const char* cat);
    int GetNumberOfValuesInCategory(const char* cat) const;
    const char* GetValueNameByIndex(const char* cat, int index) const;

    // The file name is "<n>.xml" relative to "user://profiles/".
    void Reset(const char* file);
    void Load(const char* file);
    // False when the file could not be written, or a value of the game's
    // was refused since the last save (the rest is written all the same).
    bool Save();
    void Delete();

    const char* GetFileName() const { return fileName.c_str(); }
    int GetActiveTime() const { return activeTime; }
    uint32_t GetAnalyticsId() const { return analyticsId; }
    void SetAnalyticsId(uint32_t id) { analyticsId = id; }
    // True when the file could not be read and could not be moved aside
    // either: saving would then destroy it, so the profile is not saved.
    bool IsSaveBlocked() const { return saveBlocked; }
    // True when a value of the game's was refused since the last save.
    bool RefusedGameValues() const { return refusals.gameValues > 0; }

    // "<n>.xml" with n from 1 to 64, written without leading zeros.
    static bool IsValidFileName(const char* file);
    // "profiles/saves/save-game-NNN.dat", NNN three digits from 001 to 999.
    static bool IsValidSaveFileName(const char* file);

private:
    void ReleaseDatabase();
    nString Path() const;

    DMDatabase* database = nullptr;
    int32_t activeTime = 0;
    uint32_t analyticsId = 0;
    nString fileName;
    bool saveBlocked = false;
    const char* blockedWhy = "";  // what the file is that keeps it from being saved
    ValueRefusals refusals;
    WrittenSize written;
};

class ProfileManager {
public:
    ProfileManager();
    ~ProfileManager();
    ProfileManager(const ProfileManager&) = delete;
    ProfileManager& operator=(const ProfileManager&) = delete;

    void Initialize();
    void RegisterLuaInterface();
    void Update(float dt);

    int GetNumberOfProfiles() const { return profiles.count; }
    Profile* GetProfileByIndex(int index) const;
    int GetProfileIndex(Profile* p) const;
    void SetActiveProfile(Profile* p);
    void SetActiveProfile(int index);

    const char* GetGlobalValue(const char* name) const;
    void SetGlobalValue(const char* name, const char* value);

    bool IsProfileNameValid(const char* name) const;
    // Null when all 64 file names are taken.
    const char* GetFreeProfileFilename();
    // Null when no file name is free. An unnamed first profile is dropped
    // for the new one only while it holds nothing but its name, its play
    // time and its timeline's place; one that holds progress stays.
    Profile* CreateNewProfile();
    // Makes the profile of that name active, creating it when missing.
    void SelectOrCreateProfile(const char* name);
    void DeleteProfile(Profile* p);
    void DeleteAllProfiles();
    void LoadProfiles();
    // False when any file could not be written (the old files then stay),
    // or a value of the game's was refused since the last save.
    // Asked for again with nothing changed since (a script's loop, several
    // screens in one frame), it writes nothing and answers as it did.
    bool SaveProfiles();
    // The window setting the developer's tools keep saved while their
    // window, this run's alone, is up; -1 when they are off.
    void KeepWindowedSetting(int windowed) { keptWindowed = windowed; }

    DMDatabase* GetIndexDatabase() const { return index; }
    int GetNumberOfProfilesMarkedForDeletion() const { return deleted.count; }

    // The audio manager's volumes. Until it hands over its own
    // accessors, the values read from the index are kept here, so that
    // they survive a save.
    struct AudioHooks {
        float (*GetSoundVolume)() = nullptr;
        float (*GetMusicVolume)() = nullptr;
        void (*SetSoundVolume)(float) = nullptr;
        void (*SetMusicVolume)(float) = nullptr;
    };
    void SetAudioHooks(const AudioHooks& hooks) { audio = hooks; }
    float GetSoundVolume() const { return audio.GetSoundVolume ? audio.GetSoundVolume() : soundVolume; }
    float GetMusicVolume() const { return audio.GetMusicVolume ? audio.GetMusicVolume() : musicVolume; }

private:
    void DestroyAll();
    void SetSoundVolume(float v);
    void SetMusicVolume(float v);

    bool LoadProfileFile(const char* file);
    bool IsHeldUnreadable(const char* file) const;
    // All that a save writes from, as one text; and that of the last save
    // with its answer. A success is remembered until something changes, a
    // failure until the frame ends (Update), so that a script asking in a
    // loop writes once and the next frame's ask tries again.
    std::string SaveKey() const;
    std::string savedKey;
    bool savedOk = false;
    bool failedThisFrame = false;

    nArray<Profile*> profiles;
    nArray<Profile*> deleted;
    // Profile files that are there but cannot be read: kept in the index.
    std::vector<std::string> unreadable;
    DMDatabase* index = nullptr;
    bool indexBlocked = false;  // the index could not be read: never written
    ValueRefusals indexRefusals;
    WrittenSize indexWritten;
    AudioHooks audio;
    int keptWindowed = -1;
    bool SavedWindowed() const;
    float soundVolume = 1.0f;
    float musicVolume = 1.0f;
};

extern ProfileManager profile_man;
extern Profile* prof;

// Loads a database of the player's from `path` into the cache. A file
// that exists but does not load keeps what was read before the damage, is
// copied aside ("<path>.damaged") with a log line naming it and sets
// `*damaged`; it stays in place until a save replaces it. `*blocked` is
// set when the file cannot be read or copied, so that the caller never
// saves over it, and `*why` says which.
DMDatabase* LoadPlayerDatabase(const char* path, bool* blocked, bool* damaged = nullptr, const char** why = nullptr);

#endif
