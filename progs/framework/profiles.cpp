#include "profiles.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>
#include <string>

#include "atomic-file.h"
#include "lua-args.h"
#include "manager.h"

ProfileManager profile_man;
Profile* prof = nullptr;

static const char* const kIndexPath = "user://profiles/index.xml";
static const int kMaxProfiles = 64;

// Whether anything is at the path, readable or not. A file that this user
// cannot read is still the player's: it is never taken for missing, so it
// is never replaced, deleted or dropped from the index.
static bool FileExists(const char* path) { return kd->CallExtension("FileExists", path) != nullptr; }

static bool FileReadable(const char* path) {
    kd_file_t* f = kd->OpenFile(path, "rb");
    if (!f) return false;
    kd->CloseFile(f);
    return true;
}

// A number from a player file; anything but a finite number (a hand-edited
// "nan" would pass every range check and be saved back) gives the default.
static float FiniteOr(const char* text, float fallback) {
    float v = (float)atof(text);
    return std::isfinite(v) ? v : fallback;
}

static nString ProfilePath(const char* file) {
    nString p("user://profiles/");
    p.Append(file);
    return p;
}

// ---------------------------------------------------------------------------
// Loading what the player saved

// The whole file, or false when it cannot be read.
static bool ReadWhole(const char* path, std::string* out) {
    kd_file_t* f = kd->OpenFile(path, "rb");
    if (!f) return false;
    out->clear();
    char buffer[4096];
    unsigned int n;
    while ((n = kd->ReadFile(buffer, sizeof buffer, f)) > 0) out->append(buffer, n);
    kd->CloseFile(f);
    return true;
}

// Keeps a copy of a file that did not load under a name of its own. The
// file itself stays where it is until a whole save replaces it, so a kill
// at any moment leaves either the damaged file (recovered again at the
// next start) or the saved one. A copy already kept with the same bytes is
// not made again: a damaged file met at every start leaves one copy.
static bool CopyAside(const char* path, const char* what) {
    std::string bytes, kept;
    if (!ReadWhole(path, &bytes)) return false;
    for (int n = 1; n <= 99; n++) {
        char aside[600];
        if (n == 1)
            snprintf(aside, sizeof aside, "%s%s", path, kDamagedCopySuffix);
        else
            snprintf(aside, sizeof aside, "%s%s-%d", path, kDamagedCopySuffix, n);
        bool there = FileExists(aside);
        if (there && !(ReadWhole(aside, &kept) && kept == bytes)) continue;
        if (!there && !AtomicWriteFile(aside, bytes.data(), (unsigned)bytes.size())) break;
        kd->PrintDebugf(KD_LOG_WARNING, "The file '%s', %s, is kept as '%s'.\n", path, what, aside);
        return true;
    }
    return false;
}

DMDatabase* LoadPlayerDatabase(const char* path, bool* blocked, bool* damaged, const char** why) {
    if (blocked) *blocked = false;
    if (damaged) *damaged = false;
    DMDatabase* db = dman.CreateDatabase(path);
    if (db->GetNumberOfArrays() > 0 || !FileExists(path)) return db;
    if (!FileReadable(path)) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Player data file '%s' exists but cannot be read; it is left alone and never written.\n", path);
        if (blocked) *blocked = true;
        if (why) *why = "could not be read";
        return db;
    }
    if (db->Load(path)) return db;
    // What was read before the damage stays in use; a copy of the file is
    // kept, so the next save cannot destroy what could not be read.
    db->SetFileName(path);
    if (damaged) *damaged = true;
    kd->PrintDebugf(KD_LOG_WARNING,
                    "Player data file '%s' is damaged; a copy is kept and what could be read is used.\n", path);
    if (!CopyAside(path, "damaged")) {
        kd->PrintDebugf(KD_LOG_WARNING, "Unable to keep a copy of '%s'; it will not be overwritten.\n", path);
        if (blocked) *blocked = true;
        if (why) *why = "is damaged and no copy of it could be kept";
    }
    return db;
}

// ---------------------------------------------------------------------------
// Bounds of a player file (kProfileMaxBytes): the bytes its save writes.

// The most a new value adds to the file besides its texts: a new array
// and node around it, and the turn of its node to one value a line.
static const size_t kNewValueRoom = 96;

// Whether the values being set are a script's (ScriptValues): the
// thread's own, as the scope that sets it is.
static thread_local bool scriptWriting = false;

ScriptValues::ScriptValues(bool script) : before(scriptWriting) { scriptWriting = before || script; }
ScriptValues::~ScriptValues() { scriptWriting = before; }

// The player's settings that the bundled menus keep through the script
// functions (ui/menu-common.lua's sound toggle, ui/options-events.lua's
// details): the game's own whichever script sets them. Their names are
// fixed and their values short (a number, a flag), so this route holds a
// few hundred bytes at most; a longer value is a script's.
struct GameSetting {
    const char* cat;
    const char* tag;
    const char* name;
};
static const GameSetting kGameSettings[] = {
    {"!SETTINGS", "VOLUME_SOUND_UNMUTED", "value"},
    {"!SETTINGS", "VOLUME_MUSIC_UNMUTED", "value"},
    {"GAME", "lower_details", "tag"},
};
static const size_t kGameSettingMaxBytes = 32;

static bool IsGameSetting(const char* cat, const char* tag, const char* name, const char* value) {
    if (strlen(value) > kGameSettingMaxBytes) return false;
    for (const GameSetting& s : kGameSettings)
        if (strcmp(s.cat, cat) == 0 && strcmp(s.tag, tag) == 0 && strcmp(s.name, name) == 0) return true;
    return false;
}

// Whether setting the value keeps the value and the file within their
// bounds: a script's value the scripts' bound, the game's the whole file's.
// A value that does not make the file larger is always set. A script's
// refusal is told once per file, the game's when the file is saved.
static bool ValueFits(const DMDatabase* db, size_t before, const char* cat, const char* tag, const char* name,
                      const char* value, ValueRefusals* refusals) {
    const bool script = scriptWriting && !IsGameSetting(cat, tag, name, value);
    const char* old = db->GetValue(cat, tag, name);
    size_t bytes = DMEscapedBytes(value);
    size_t after = before + bytes - DMEscapedBytes(old) +
                   (old ? 0 : DMEscapedBytes(cat) + DMEscapedBytes(tag) + strlen(name) + kNewValueRoom);
    if (bytes <= kProfileValueMaxBytes &&
        (after <= (script ? kProfileMaxBytes : kProfileFileMaxBytes) || after <= before))
        return true;
    if (!script) {
        if (refusals->gameValues++ == 0) {
            char first[300];
            snprintf(first, sizeof first, "%.80s/%.80s/%.80s' of %zu bytes", cat, tag, name, bytes);
            refusals->firstGameValue = first;
        }
        return false;
    }
    if (!refusals->scriptTold)
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Value '%s/%s/%s' of %zu bytes not set in '%s': a value may hold %u bytes, and a script may "
                        "fill the file to %u; further values of scripts past these bounds are refused too.\n",
                        cat, tag, name, bytes, db->GetFileName() ? db->GetFileName() : "",
                        (unsigned)kProfileValueMaxBytes, (unsigned)kProfileMaxBytes);
    refusals->scriptTold = true;
    return false;
}

bool ValueRefusals::TellGameValues(const char* file) {
    if (gameValues == 0) return true;
    char more[48] = "";
    if (gameValues > 1) snprintf(more, sizeof more, " (and %d more)", gameValues - 1);
    kd->PrintDebugf(KD_LOG_WARNING,
                    "The game's value '%s%s was not kept in '%s': a value may hold %u bytes and the file %u. The "
                    "rest is saved, and the save is reported as failed.\n",
                    firstGameValue.c_str(), more, file, (unsigned)kProfileValueMaxBytes,
                    (unsigned)kProfileFileMaxBytes);
    gameValues = 0;
    firstGameValue.clear();
    return false;
}

// Sets the value when it fits (ValueFits); the file's size is then its
// size before with the one node and its array counted again.
static void SetIfFits(DMDatabase* db, WrittenSize* size, ValueRefusals* refusals, const char* cat, const char* tag,
                      const char* name, const char* value) {
    if (size->change != DMChangeCount()) {
        size->bytes = db->WrittenBytes();
        size->change = DMChangeCount();
    }
    const size_t before = size->bytes;
    if (!ValueFits(db, before, cat, tag, name, value, refusals)) return;
    DMArray* array = db->GetArray(cat);
    DMNode* node = array ? array->GetNode(tag) : nullptr;
    const size_t was = (array ? DMDatabase::WrittenBytes(array) : 0) + (node ? DMDatabase::WrittenBytes(node) : 0);
    db->SetValue(cat, tag, name, value);
    array = db->GetArray(cat);
    size->bytes = before - was + DMDatabase::WrittenBytes(array) + DMDatabase::WrittenBytes(array->GetNode(tag));
    size->change = DMChangeCount();
}

// A file loaded larger than both rooms keeps its first nodes that fit; a
// copy of the whole file is kept. False when that copy could not be made:
// the file must then not be saved over.
static bool KeepWhatFits(DMDatabase* db, const char* path) {
    size_t n = DMDatabase().WrittenBytes(), cut = 0;
    for (int a = 0; a < db->GetNumberOfArrays(); a++) {
        DMArray* array = db->GetArray(a);
        n += DMDatabase::WrittenBytes(array);
        int keep = 0;
        while (keep < array->GetSize() && n + DMDatabase::WrittenBytes(array->GetNode(keep)) <= kProfileFileMaxBytes)
            n += DMDatabase::WrittenBytes(array->GetNode(keep++));
        if (keep < array->GetSize()) n = kProfileFileMaxBytes + 1;  // nothing after a node left out is kept
        for (int i = array->GetSize() - 1; i >= keep; i--, cut++) array->RemoveNode(i);
    }
    if (!cut) return true;
    kd->PrintDebugf(KD_LOG_WARNING,
                    "Player data file '%s' holds more than the %u bytes it may; its first values that fit are used "
                    "(%zu nodes left out).\n",
                    path, (unsigned)kProfileFileMaxBytes, cut);
    if (CopyAside(path, "larger than it may be")) return true;
    kd->PrintDebugf(KD_LOG_WARNING,
                    "Unable to keep a copy of '%s', which is larger than it may be; it will not be overwritten.\n",
                    path);
    return false;
}

// ---------------------------------------------------------------------------
// File names from the index and from profiles are data the player can
// edit: only their own forms are accepted before anything is opened or
// deleted.

static bool AllDigits(const char* s, int n) {
    for (int i = 0; i < n; i++)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

bool Profile::IsValidFileName(const char* file) {
    if (!file) return false;
    int n = (int)strlen(file);
    if (n < 5 || n > 6 || strcmp(file + n - 4, ".xml") != 0) return false;
    int digits = n - 4;
    if (!AllDigits(file, digits) || file[0] == '0') return false;
    int value = atoi(file);
    return value >= 1 && value <= kMaxProfiles;
}

bool Profile::IsValidSaveFileName(const char* file) {
    static const char prefix[] = "profiles/saves/save-game-";
    const size_t p = sizeof prefix - 1;
    if (!file || strlen(file) != p + 7) return false;
    if (strncmp(file, prefix, p) != 0 || strcmp(file + p + 3, ".dat") != 0) return false;
    return AllDigits(file + p, 3) && strncmp(file + p, "000", 3) != 0;
}

// ---------------------------------------------------------------------------
// Profile

Profile::~Profile() {}

nString Profile::Path() const { return ProfilePath(fileName.c_str()); }

void Profile::ReleaseDatabase() {
    if (database) dman.ReleaseDatabase(database);
    database = nullptr;
}

void Profile::Update(float dt) { activeTime += (int32_t)(dt * 1000.0f); }

const char* Profile::GetName() const { return GetValue("!INFO", "name", "value"); }

void Profile::SetName(const char* name) { SetValue("!INFO", "name", "value", name); }

const char* Profile::GetValue(const char* cat, const char* tag, const char* name) const {
    if (!database || !cat) return nullptr;
    return database->GetValue(cat, tag, name);
}

void Profile::SetValue(const char* cat, const char* tag, const char* name, const char* value) {
    if (!database || !cat || !tag || !name || !value) return;
    SetIfFits(database, &written, &refusals, cat, tag, name, value);
}

void Profile::SetValuef(const char* cat, const char* tag, const char* name, const char* fmt, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    const char* f = fmt ? fmt : "";
    vsnprintf(text, sizeof text, f, ap);
    va_end(ap);
    SetValue(cat, tag, name, text);
}

void Profile::AddTag(const char* cat, const char* tag) { SetValue(cat, tag, "tag", "1"); }

bool Profile::TagExists(const char* cat, const char* tag) const {
    DMArray* a = database && cat ? database->GetArray(cat) : nullptr;
    return a && a->GetNode(tag);
}

bool Profile::IsAcknowledged(const char* cat, const char* tag) const {
    const char* ack = GetValue(cat, tag, "ack");
    return ack && ack[0] == '1';
}

void Profile::SetAcknowledged(const char* cat, const char* tag, bool ack) {
    if (ack) {
        SetValue(cat, tag, "ack", "1");
    } else {
        RemoveValue(cat, tag, "ack");
    }
}

void Profile::RemoveValue(const char* cat, const char* tag, const char* name) {
    DMArray* a = database && cat ? database->GetArray(cat) : nullptr;
    DMNode* node = a ? a->GetNode(tag) : nullptr;
    if (node) node->RemoveValue(name);
}

bool Profile::RemoveValue(const char* cat, const char* tag) {
    DMArray* a = database && cat ? database->GetArray(cat) : nullptr;
    return a && a->RemoveNode(tag);
}

bool Profile::RemoveCategory(const char* cat) { return database && cat && database->RemoveArray(cat); }

int Profile::GetNumberOfValuesInCategory(const char* cat) const {
    return database && cat ? database->GetArraySize(cat) : 0;
}

const char* Profile::GetValueNameByIndex(const char* cat, int i) const {
    return database && cat ? database->GetValue(cat, i, "id") : nullptr;
}

void Profile::Reset(const char* file) {
    nString name(GetName());
    ReleaseDatabase();
    fileName.Set(file);
    saveBlocked = false;
    refusals = ValueRefusals();
    activeTime = 0;
    nString path = Path();
    database = dman.CreateDatabase(path.text);
    SetName(name.text ? name.text : "");
}

void Profile::Load(const char* file) {
    ReleaseDatabase();
    fileName.Set(file);
    saveBlocked = false;
    refusals = ValueRefusals();
    if (!IsValidFileName(file)) {
        // Never reached through the manager, which checks first; a
        // database that is never read or written keeps the rule simple.
        kd->PrintDebugf(KD_LOG_WARNING, "Profile file name '%s' refused.\n", file ? file : "(null)");
        database = dman.CreateDatabase("user://profiles/invalid.xml");
        saveBlocked = true;
        activeTime = 0;
        return;
    }
    nString path = Path();
    database = LoadPlayerDatabase(path.text, &saveBlocked, nullptr, &blockedWhy);
    if (!KeepWhatFits(database, path.text)) {
        saveBlocked = true;
        blockedWhy = "is larger than it may be and no copy of it could be kept";
    }
    const char* t = database->GetValue("!INFO", "time_active", "value");
    activeTime = t ? atoi(t) : 0;
}

bool Profile::Save() {
    const char* name = GetName();
    kd->PrintDebugf(KD_LOG_SYSTEM, "Saving profile '%s'\n", name ? name : "");
    if (!database) {
        kd->Popupf(1, "Profile has no database set!\n");
        kd->PrintDebugf(KD_LOG_WARNING, "Profile has no database set!\n");
        return false;
    }
    if (saveBlocked) {
        kd->PrintDebugf(KD_LOG_WARNING, "Profile '%s' is not saved: its file '%s' %s, and is kept as it is.\n",
                        name ? name : "", fileName.c_str(), blockedWhy);
        return false;
    }
    SetValuef("!INFO", "time_active", "value", "%d", activeTime);
    nString path = Path();
    const bool kept = refusals.TellGameValues(path.text);
    return database->Save(path.text) && kept;
}

void Profile::Delete() {
    DMArray* timelines = database ? database->GetArray("!TIMELINES") : nullptr;
    for (int i = 0; timelines && i < timelines->GetSize(); i++) {
        const char* save = timelines->GetNodeValue(i, "savefile");
        if (!save) continue;
        if (!IsValidSaveFileName(save)) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "Profile names '%s' as its save file; that is no save game and is left alone.\n", save);
            continue;
        }
        nString path("user://");
        path.Append(save);
        if (!kd->DeleteFile(path.text)) kd->PrintDebugf(KD_LOG_WARNING, "Deleting save file '%s' failed.\n", save);
    }
    if (IsValidFileName(fileName.text) && !saveBlocked) {
        nString path = Path();
        kd->PrintDebugf(KD_LOG_SYSTEM, "Deleting file '%s'\n", path.text);
        kd->DeleteFile(path.text);
    }
    ReleaseDatabase();
}

// ---------------------------------------------------------------------------
// ProfileManager

ProfileManager::ProfileManager() {}

ProfileManager::~ProfileManager() {
    // At exit `dman` may already be gone: the profile objects go, their
    // databases are left to it.
    for (int i = 0; i < profiles.count; i++) delete profiles.data[i];
    for (int i = 0; i < deleted.count; i++) delete deleted.data[i];
    profiles.Free();
    deleted.Free();
}

void ProfileManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "ProfileManager::Initialize.\n");
    RegisterLuaInterface();
    LoadProfiles();
}

void ProfileManager::Update(float dt) {
    if (prof) prof->Update(dt);
    failedThisFrame = false;
}

Profile* ProfileManager::GetProfileByIndex(int i) const {
    return i >= 0 && i < profiles.count ? profiles.data[i] : nullptr;
}

int ProfileManager::GetProfileIndex(Profile* p) const { return p ? profiles.Find(p) : -1; }

void ProfileManager::SetActiveProfile(Profile* p) { prof = p; }

void ProfileManager::SetActiveProfile(int i) {
    if (i >= 0 && i < profiles.count) prof = profiles.data[i];
}

const char* ProfileManager::GetGlobalValue(const char* name) const {
    return index && name ? index->GetValue("!SETTINGS", name, "value") : nullptr;
}

void ProfileManager::SetGlobalValue(const char* name, const char* value) {
    if (!name || !value) return;
    if (!index) index = dman.CreateDatabase(kIndexPath);
    SetIfFits(index, &indexWritten, &indexRefusals, "!SETTINGS", name, "value", value);
}

void ProfileManager::SetSoundVolume(float v) {
    soundVolume = v;
    if (audio.SetSoundVolume) audio.SetSoundVolume(v);
}

void ProfileManager::SetMusicVolume(float v) {
    musicVolume = v;
    if (audio.SetMusicVolume) audio.SetMusicVolume(v);
}

// Leading spaces and tabs and trailing spaces go.
static nString TrimName(const char* name, int limit) {
    nString r("");
    if (!name) return r;
    int n = 0;
    while (name[n] && n < limit) n++;
    int start = 0;
    while (start < n && (name[start] == ' ' || name[start] == '\t')) start++;
    int end = n;
    while (end > start && name[end - 1] == ' ') end--;
    std::string cut(name + start, (size_t)(end - start));
    r.Set(cut.c_str());
    return r;
}

bool ProfileManager::IsProfileNameValid(const char* name) const {
    nString trimmed = TrimName(name, 511);
    if (trimmed.IsEmpty()) return false;
    for (int i = 0; i < profiles.count; i++)
        if (nStringsMatch(profiles.data[i]->GetName(), trimmed.text)) return false;
    return true;
}

const char* ProfileManager::GetFreeProfileFilename() {
    static char name[16];
    for (int n = 1; n <= kMaxProfiles; n++) {
        snprintf(name, sizeof name, "%d.xml", n);
        bool taken = false;
        for (int i = 0; i < profiles.count && !taken; i++)
            taken = nStringsMatch(profiles.data[i]->GetFileName(), name);
        for (int i = 0; i < deleted.count && !taken; i++)
            taken = nStringsMatch(deleted.data[i]->GetFileName(), name);
        if (!taken) taken = FileExists(ProfilePath(name).text);
        if (!taken) return name;
    }
    kd->Popupf(1, "Too many profiles files in <userdata>/profiles folder.\n");
    kd->PrintDebugf(KD_LOG_WARNING, "Too many profiles files in <userdata>/profiles folder.\n");
    return nullptr;
}

// The unnamed first profile is a stand-in until the player names one, but
// the game lets it play: once it holds anything but its name, its play
// time and where its timeline stands, it is a player's and is never
// dropped for a new one.
static bool HoldsProgress(const Profile* p) {
    DMDatabase* db = p->GetDatabase();
    for (int i = 0; db && i < db->GetNumberOfArrays(); i++) {
        DMArray* a = db->GetArray(i);
        const char* id = a->GetId();
        bool bookkeeping =
            nStringsMatch(id, "!INFO") || nStringsMatch(id, "!TIMELINES") || nStringsMatch(id, "!SAVE_STATE");
        if (!bookkeeping && a->GetSize() > 0) return true;
    }
    return false;
}

Profile* ProfileManager::CreateNewProfile() {
    kd->CreateDirectory("user://profiles");
    const char* file = GetFreeProfileFilename();
    // With all 64 names taken no profile is made: any name would be one
    // whose file holds another player's data.
    if (!file) return nullptr;
    Profile* p = new Profile();
    p->Reset(file);
    profiles.InsertLast(p);
    prof = p;
    Profile* first = profiles.data[0];
    if (profiles.count >= 2 && nStringsMatch(first->GetName(), "")) {
        if (HoldsProgress(first)) {
            kd->PrintDebugf(KD_LOG_SYSTEM, "The unnamed profile at index #0 holds progress; it is kept.\n");
        } else {
            kd->PrintDebugf(KD_LOG_SYSTEM, "Detecting temporary profile at index #0, deleting it..\n");
            DeleteProfile(first);
        }
    }
    return p;
}

void ProfileManager::DeleteProfile(Profile* p) {
    if (!p) return;
    int i = profiles.Find(p);
    const char* name = p->GetName();
    nString shown(name ? name : "");
    bool wasActive = prof == p;
    nString path = ProfilePath(p->GetFileName());
    if (Profile::IsValidFileName(p->GetFileName()) && FileExists(path.text)) {
        kd->PrintDebugf(KD_LOG_SYSTEM, "Marking profile '%s' for deletion.\n", shown.text);
        if (i >= 0) profiles.RemoveIndex(i);
        if (deleted.Find(p) < 0) deleted.InsertLast(p);
    } else {
        kd->PrintDebugf(KD_LOG_SYSTEM, "Deleting profile '%s' (#%d)\n", shown.text, i);
        if (i >= 0) profiles.RemoveIndex(i);
        p->Delete();
        delete p;
    }
    if (wasActive) {
        prof = nullptr;
        if (profiles.count > 0)
            prof = profiles.data[0];
        else
            CreateNewProfile();
    }
}

void ProfileManager::DeleteAllProfiles() {
    nArray<Profile*> all = profiles;
    for (int i = 0; i < all.count; i++) DeleteProfile(all.data[i]);
    Profile* p = CreateNewProfile();
    if (p) p->SetName("Player");
    SaveProfiles();
}

void ProfileManager::DestroyAll() {
    for (int i = 0; i < deleted.count; i++) {
        dman.ReleaseDatabase(deleted.data[i]->GetDatabase());
        delete deleted.data[i];
    }
    deleted.Free();
    for (int i = 0; i < profiles.count; i++) {
        dman.ReleaseDatabase(profiles.data[i]->GetDatabase());
        delete profiles.data[i];
    }
    profiles.Free();
    prof = nullptr;
    // The index is read again from its file.
    if (index) dman.ReleaseDatabase(index);
    index = nullptr;
}

bool ProfileManager::IsHeldUnreadable(const char* file) const {
    for (const std::string& held : unreadable)
        if (held == file) return true;
    return false;
}

// Loads one profile file named by the index. A missing file is dropped; one
// that is there but cannot be read is reported and held: kept in the index,
// never loaded, written or deleted.
bool ProfileManager::LoadProfileFile(const char* file) {
    nString path = ProfilePath(file);
    if (!FileExists(path.text)) return false;
    if (!FileReadable(path.text)) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Profile file '%s' exists but cannot be read; it is left alone and kept in the index.\n",
                        path.text);
        if (!IsHeldUnreadable(file)) unreadable.push_back(file);
        return false;
    }
    Profile* p = new Profile();
    p->Load(file);
    profiles.InsertLast(p);
    return true;
}

void ProfileManager::LoadProfiles() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Loading all profiles.\n");
    DestroyAll();
    kd->CreateDirectory("user://profiles");

    indexBlocked = false;
    indexRefusals.gameValues = 0;  // the values refused are read again
    indexRefusals.firstGameValue.clear();
    unreadable.clear();
    index = LoadPlayerDatabase(kIndexPath, &indexBlocked);
    if (!KeepWhatFits(index, kIndexPath)) indexBlocked = true;
    if (!FileExists(kIndexPath))
        kd->PrintDebugf(KD_LOG_WARNING, "Profiles database index doesn't exists. Creating new.\n");
    DMArray* list = index->GetArray("!PROFILE_INDEX");
    if (!list) list = index->AddArray("!PROFILE_INDEX");

    for (int i = 0; i < list->GetSize(); i++) {
        const char* file = list->GetNodeValue(i, "id");
        if (!Profile::IsValidFileName(file)) {
            kd->PrintDebugf(KD_LOG_WARNING, "Profile index entry '%s' is no profile file name; ignored.\n",
                            file ? file : "(null)");
            continue;
        }
        bool twice = false;
        for (int k = 0; k < profiles.count && !twice; k++) twice = nStringsMatch(profiles.data[k]->GetFileName(), file);
        if (twice) continue;  // two profiles on one file would each save over the other
        LoadProfileFile(file);
    }
    // A profile file the index does not name is a player's too: all of
    // them when the index is empty or lost, and one whose first save a
    // kill cut off before the index's (the profiles are written first).
    for (int n = 1; n <= kMaxProfiles; n++) {
        char file[16];
        snprintf(file, sizeof file, "%d.xml", n);
        if (IsHeldUnreadable(file) || list->GetNode(file)) continue;
        if (LoadProfileFile(file)) list->AddNode(file);
    }
    if (profiles.count == 0) CreateNewProfile();

    if (index->GetArray("!SETTINGS")) {
        const char* v = index->GetValue("!SETTINGS", "SOUND_VOLUME", "value");
        if (v) SetSoundVolume(FiniteOr(v, 1.0f));
        v = index->GetValue("!SETTINGS", "MUSIC_VOLUME", "value");
        if (v) SetMusicVolume(FiniteOr(v, 1.0f));
        v = index->GetValue("!SETTINGS", "WINDOWED", "value");
        if (v) Manager::GetParms()->windowed = atoi(v) != 0;
        kd->ReInit();
    }

    const char* active = index->GetValue("!STATE", "ACTIVE_PROFILE", "index");
    int a = active ? atoi(active) : -1;
    if (a >= 0 && a < profiles.count)
        prof = profiles.data[a];
    else if (!prof && profiles.count > 0)
        prof = profiles.data[0];
}

bool ProfileManager::SavedWindowed() const {
    return keptWindowed >= 0 ? keptWindowed != 0 : Manager::GetParms()->windowed;
}

std::string ProfileManager::SaveKey() const {
    char key[160];
    snprintf(key, sizeof key, "%lu %p %d %d %a %a %d %d", DMChangeCount(), (const void*)prof, profiles.count,
             deleted.count, (double)GetSoundVolume(), (double)GetMusicVolume(), (int)SavedWindowed(),
             prof ? prof->GetActiveTime() : 0);
    return key;
}

bool ProfileManager::SaveProfiles() {
    bool refused = indexRefusals.gameValues > 0;
    for (int i = 0; i < profiles.count; i++) refused = refused || profiles.data[i]->RefusedGameValues();
    // A value of the game's refused since is told by the save, whatever changed.
    if ((savedOk || failedThisFrame) && !refused && !savedKey.empty() && savedKey == SaveKey()) return savedOk;
    kd->PrintDebugf(KD_LOG_SYSTEM, "Saving all profiles.\n");
    if (!index) index = dman.CreateDatabase(kIndexPath);
    kd->CreateDirectory("user://profiles");

    index->RemoveArray("!PROFILE_INDEX");
    DMArray* list = index->AddArray("!PROFILE_INDEX");
    for (int i = 0; i < profiles.count; i++) list->AddNode(profiles.data[i]->GetFileName());
    for (const std::string& held : unreadable) list->AddNode(held.c_str());
    index->RemoveArray("!STATE");
    DMArray* state = index->AddArray("!STATE");
    if (prof) {
        char text[16];
        snprintf(text, sizeof text, "%d", GetProfileIndex(prof));
        state->SetValue("ACTIVE_PROFILE", "index", text);
    }

    if (!index->GetArray("!SETTINGS")) index->AddArray("!SETTINGS");
    char text[32];
    snprintf(text, sizeof text, "%.2f", GetSoundVolume());
    index->SetValue("!SETTINGS", "SOUND_VOLUME", "value", text);
    snprintf(text, sizeof text, "%.2f", GetMusicVolume());
    index->SetValue("!SETTINGS", "MUSIC_VOLUME", "value", text);
    index->SetValue("!SETTINGS", "WINDOWED", "value", SavedWindowed() ? "1" : "0");

    // The profiles first, then the index, then the files of deleted ones:
    // a kill in between leaves a file the index does not name (loaded at
    // the next start), never an index naming a file that is not there. An
    // index that could not be read was reported when it was loaded.
    bool ok = true;
    for (int i = 0; i < profiles.count; i++) ok = profiles.data[i]->Save() && ok;
    const bool indexKept = indexRefusals.TellGameValues(kIndexPath);
    bool indexed = !indexBlocked && index->Save(kIndexPath);
    if (deleted.count > 0 && (indexed || indexBlocked)) {
        kd->PrintDebugf(KD_LOG_SYSTEM, "Deleting profiles marked for deletion.\n");
        for (int i = 0; i < deleted.count; i++) {
            deleted.data[i]->Delete();
            delete deleted.data[i];
        }
        deleted.Free();
    }
    // Only a success is remembered: a failed save (a full disk) is tried
    // again at the next ask in a later frame, when room may have been made.
    savedOk = ok && indexed && indexKept;
    savedKey = SaveKey();
    failedThisFrame = !savedOk;
    return savedOk;
}

// ---------------------------------------------------------------------------
// Script functions. They act on the active profile `prof`; with a bad
// argument (reported) they act on nothing and answer as for a missing
// value, so a script slip cannot write, select or delete the wrong profile.
// The values they set are the script's (ScriptValues); a new profile's
// name, cut to 127 characters, is the player's.

namespace {

int luaf_AddProfile(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    Profile* p = name ? profile_man.CreateNewProfile() : nullptr;
    if (p) {
        p->SetName(TrimName(name, 127).text);
        profile_man.SetActiveProfile(p);
    }
    return LuaReturnInt(L, profile_man.GetProfileIndex(p));
}

int luaf_SetProfile(lua_State* L) {
    LuaArgs a(L, __func__);
    int i = a.Int(1);
    bool ok = !a.Failed() && profile_man.GetProfileByIndex(i) != nullptr;
    if (ok) profile_man.SetActiveProfile(i);
    return LuaReturnBool(L, ok);
}

int luaf_GetProfile(lua_State* L) { return LuaReturnInt(L, profile_man.GetProfileIndex(prof)); }

int luaf_DeleteProfile(lua_State* L) {
    LuaArgs a(L, __func__);
    int i = a.Int(1);
    if (!a.Failed()) profile_man.DeleteProfile(profile_man.GetProfileByIndex(i));
    return 0;
}

int luaf_IsProfileNameValid(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, profile_man.IsProfileNameValid(a.Text(1)));
}

int luaf_GetNumberOfProfiles(lua_State* L) { return LuaReturnInt(L, profile_man.GetNumberOfProfiles()); }

int luaf_GetProfileValue(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* t[3];
    return LuaReturnText(L, a.Texts(1, 3, t) && prof ? prof->GetValue(t[0], t[1], t[2]) : nullptr);
}

int luaf_ProfileValueExists(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* t[3];
    return LuaReturnBool(L, a.Texts(1, 3, t) && prof && prof->GetValue(t[0], t[1], t[2]) != nullptr);
}

int luaf_ProfileTagExists(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* t[2];
    return LuaReturnBool(L, a.Texts(1, 2, t) && prof && prof->GetValue(t[0], t[1], "tag") != nullptr);
}

int luaf_SetProfileValue(lua_State* L) {
    LuaArgs a(L, __func__);
    ScriptValues script;
    const char* t[4];
    if (a.Texts(1, 4, t) && prof) prof->SetValue(t[0], t[1], t[2], t[3]);
    return 0;
}

int luaf_AddProfileTag(lua_State* L) {
    LuaArgs a(L, __func__);
    ScriptValues script;
    const char* t[2];
    if (a.Texts(1, 2, t) && prof) prof->AddTag(t[0], t[1]);
    return 0;
}

// Also registered as "RemoveProfileTag": a tag is a value node too.
int luaf_RemoveProfileValue(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* t[2];
    return LuaReturnBool(L, a.Texts(1, 2, t) && prof && prof->RemoveValue(t[0], t[1]));
}

int luaf_RemoveProfileCategory(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* cat = a.Text(1);
    return LuaReturnBool(L, cat && prof && prof->RemoveCategory(cat));
}

int luaf_IsProfileValueAcknowledged(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* t[2];
    return LuaReturnBool(L, a.Texts(1, 2, t) && prof && prof->IsAcknowledged(t[0], t[1]));
}

int luaf_SetProfileValueAcknowledged(lua_State* L) {
    LuaArgs a(L, __func__);
    ScriptValues script;
    const char* t[2];
    if (a.Texts(1, 2, t) && prof) prof->SetAcknowledged(t[0], t[1], a.Flag(3));
    return 0;
}

int luaf_SaveProfiles(lua_State* L) { return LuaReturnBool(L, profile_man.SaveProfiles()); }

int luaf_LoadProfiles(lua_State*) {
    profile_man.LoadProfiles();
    return 0;
}

int luaf_GetValueNameByIndex(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* cat = a.Text(1);
    int i = a.Int(2);
    return LuaReturnText(L, prof && !a.Failed() ? prof->GetValueNameByIndex(cat, i) : nullptr);
}

int luaf_GetNumberOfValuesInCategory(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* cat = a.Text(1);
    return LuaReturnInt(L, cat && prof ? prof->GetNumberOfValuesInCategory(cat) : 0);
}

int luaf_SetGlobalValue(lua_State* L) {
    LuaArgs a(L, __func__);
    ScriptValues script;
    const char* t[2];
    if (a.Texts(1, 2, t)) profile_man.SetGlobalValue(t[0], t[1]);
    return 0;
}

int luaf_GetGlobalValue(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    return LuaReturnText(L, name ? profile_man.GetGlobalValue(name) : nullptr);
}

const LuaBinding kProfileBindings[] = {
    LUA_BINDING(AddProfile),
    LUA_BINDING(SetProfile),
    LUA_BINDING(GetProfile),
    LUA_BINDING(DeleteProfile),
    LUA_BINDING(IsProfileNameValid),
    LUA_BINDING(GetNumberOfProfiles),
    LUA_BINDING(GetProfileValue),
    LUA_BINDING(ProfileValueExists),
    LUA_BINDING(ProfileTagExists),
    LUA_BINDING(SetProfileValue),
    LUA_BINDING(AddProfileTag),
    LUA_BINDING(RemoveProfileValue),
    {"RemoveProfileTag", luaf_RemoveProfileValue},
    LUA_BINDING(RemoveProfileCategory),
    LUA_BINDING(IsProfileValueAcknowledged),
    LUA_BINDING(SetProfileValueAcknowledged),
    LUA_BINDING(SaveProfiles),
    LUA_BINDING(LoadProfiles),
    LUA_BINDING(GetValueNameByIndex),
    LUA_BINDING(GetNumberOfValuesInCategory),
    LUA_BINDING(SetGlobalValue),
    LUA_BINDING(GetGlobalValue),
};
static_assert(std::size(kProfileBindings) == 22, "the profile script functions");

}  // namespace

void ProfileManager::RegisterLuaInterface() { lua_man.AddLuaFunctions(kProfileBindings); }

// The automated player's profile: the one of that name, made when missing.
void ProfileManager::SelectOrCreateProfile(const char* name) {
    if (!name) return;
    for (int i = 0; i < GetNumberOfProfiles(); i++) {
        Profile* p = GetProfileByIndex(i);
        if (nStringsMatch(p->GetName(), name)) {
            SetActiveProfile(p);
            return;
        }
    }
    Profile* p = CreateNewProfile();
    if (p) p->SetName(name);
}
