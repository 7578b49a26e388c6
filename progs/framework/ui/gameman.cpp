#include "ui/gameman.h"

#include <string.h>

#include "atomic-file.h"
#include "lua-args.h"
#include "manager.h"
#include "profiles.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

GameManager game_man;

// Constant-initialised, so games registered from other files' static
// construction find the registry ready whatever the construction order.
GameImplementation* GameManager::games[GAMEMAN_MAX_GAMES] = {};
int GameManager::num_games = 0;

static const char kSavePattern[] = "profiles/saves/save-game-%.3d.dat";

bool GameImplementation::WriteSaveFile(const char* path, const void* bytes, unsigned int size) {
    return AtomicWriteFile(path, bytes, size);
}

// ---------------------------------------------------------------------------
// Registry

void GameManager::AddGameImplementation(GameImplementation* game) {
    if (num_games >= GAMEMAN_MAX_GAMES) return;
    for (int i = 0; i < num_games; i++)
        if (games[i] == game)
            kd->Popupf(1, "Trying to add already registered game imp '%s' to GameManager.\n",
                       game ? game->GetName() : "(null)");
    games[num_games++] = game;
    game_man.loaded[num_games - 1] = false;
}

int GameManager::GetGameIndex(GameImplementation* game) {
    for (int i = 0; i < num_games; i++)
        if (games[i] == game) return i;
    return -1;
}

GameImplementation* GameManager::GetGameByName(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < num_games; i++)
        if (games[i] && nStringsMatch(games[i]->GetName(), name)) return games[i];
    return nullptr;
}

GameImplementation* GameManager::GetGameByIndex(int index) {
    return index >= 0 && index < num_games ? games[index] : nullptr;
}

void GameManager::LoadGameImplementation(GameImplementation* game) {
    int i = GetGameIndex(game);
    if (i < 0 || !game) {
        kd->Popupf(1, "GameManager::LoadGameImplementation trying to load unregistered game '%s'\n",
                   game ? game->GetName() : "(null)");
        return;
    }
    if (loaded[i]) return;
    kd->Printf("Loading Game '%s'..\n", game->GetName());
    game->Load();
    loaded[i] = true;
}

void GameManager::UnloadGameImplementation(GameImplementation* game) {
    int i = GetGameIndex(game);
    if (i < 0 || !game || !loaded[i]) return;
    kd->Printf("Unloading Game '%s'..\n", game->GetName());
    game->Unload();
    loaded[i] = false;
}

bool GameManager::IsGameLoaded(GameImplementation* game) const {
    int i = GetGameIndex(game);
    return i >= 0 && loaded[i];
}

bool GameManager::SetActiveGame(const char* name) {
    if (nStringsMatchIncaseSensitive(name, "!DEFAULT")) {
        active = num_games > 0 ? games[0] : nullptr;
        if (!active) return false;  // nothing registered: nothing to activate
        LoadGameImplementation(active);
        return true;
    }
    active = GetGameByName(name);
    if (!active) {
        kd->Popupf(1, "GameManager::SetActiveGame - Unknown game imp name '%s'\n", name ? name : "(null)");
        return false;
    }
    LoadGameImplementation(active);
    return true;
}

// ---------------------------------------------------------------------------
// Save games

nString GameManager::SaveSlotPath(int slot) {
    nString path;
    path.Format("user://profiles/saves/save-game-%.3d.dat", slot);
    return path;
}

// The save file the profile names for the current timeline, or null.
static const char* NamedSaveFile() {
    if (!prof) return nullptr;
    return prof->GetValue("!TIMELINES", timeline.GetTimelineFilename(), "savefile");
}

// The profile is a player-writable file: only names of the save-game form
// are ever opened or deleted, so a doctored entry cannot reach other files.
static bool UsableSaveName(const char* save) {
    if (Profile::IsValidSaveFileName(save)) return true;
    kd->PrintDebugf(KD_LOG_WARNING, "Profile names '%s' as its save file; that is no save game and is left alone.\n",
                    save);
    return false;
}

static void DeleteSaveFile(const char* save) {
    if (!save || !UsableSaveName(save)) return;
    nString path("user://");
    path.Append(save);
    if (!kd->DeleteFile(path.text)) kd->PrintDebugf(KD_LOG_WARNING, "Deleting save file '%s' failed.\n", save);
}

// The profiles, then the save file they named before (when given and they
// were written).
static bool SaveProfilesDropping(const char* earlier) {
    const bool saved = profile_man.SaveProfiles();
    if (saved && earlier) DeleteSaveFile(earlier);
    return saved;
}

bool GameManager::SaveCurrentGame(const char* event) {
    if (!active) return false;
    sman.zero_next_time_step = true;
    if (!event) event = "";
    const char* tl = timeline.GetTimelineFilename();
    if (!prof) {
        kd->PrintDebugf(KD_LOG_WARNING, "GameManager::SaveCurrentGame: no active profile; nothing saved.\n");
        return false;
    }
    // The earlier save is deleted only once the profiles on disk no longer
    // name it: a save cut off at any moment leaves a profile that names a
    // complete file.
    nString earlier(prof->GetValue("!TIMELINES", tl, "savefile"));

    if (!active->IsSaveGameStateSupported() || !active->IsLevelInProgress()) {
        if (earlier.text) prof->RemoveValue("!TIMELINES", tl, "savefile");
        prof->SetValue("!SAVE_STATE", "timeline", "value", tl);
        prof->SetValue("!TIMELINES", tl, "event", event);
        prof->SetValue("!TIMELINES", tl, "game", active->GetName());
        return SaveProfilesDropping(earlier.text);
    }

    kd->CreateDirectory("user://profiles/saves");
    nString path;
    for (int n = 1; n <= GAMEMAN_MAX_SAVE_SLOTS; n++) {
        path = SaveSlotPath(n);
        if (kd_file_t* f = kd->OpenFile(path.text, "rb")) {
            kd->CloseFile(f);
            continue;
        }
        kd->Printf("Saving current game (slot #%d)..\n", n);
        if (!active->SaveGameState(path.text)) return false;
        prof->SetValue("!SAVE_STATE", "timeline", "value", tl);
        bool deleteEarlier = false;
        if (earlier.text) {
            if (!strstr(path.text, earlier.text)) {
                deleteEarlier = true;
            } else {
                kd->PrintDebugf(KD_LOG_ERROR, "Trying to delete the game just saved!");
                if (Manager::GetParms()->developer_mode)
                    kd->Popupf(2, "Trying to delete the game just saved (%s)!", earlier.text);
            }
        }
        prof->SetValue("!TIMELINES", tl, "event", event);
        prof->SetValue("!TIMELINES", tl, "game", active->GetName());
        prof->SetValuef("!TIMELINES", tl, "savefile", kSavePattern, n);
        // When the profiles could not be written, the files on disk still
        // name the earlier save, which therefore stays.
        return SaveProfilesDropping(deleteEarlier ? earlier.text : nullptr);
    }
    kd->Popupf(1, "Unable to save game to any file. Last tried: '%s'.\n", path.c_str());
    return false;
}

bool GameManager::SaveGameExists() {
    if (!active || !active->IsSaveGameStateSupported()) return false;
    const char* save = NamedSaveFile();
    if (!save || !UsableSaveName(save)) return false;
    kd_file_t* f = kd->OpenFile(save, "rb");
    if (!f) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Conflict: Profile claims save state game state exists, but the file doesn't. Ignoring save "
                        "state: '%s'\n",
                        save);
        return false;
    }
    kd->CloseFile(f);
    return true;
}

bool GameManager::LoadSaveGame() {
    if (!prof) return false;
    if (const char* tl = prof->GetValue("!SAVE_STATE", "timeline", "value")) {
        nString file(tl);  // the profile's text may change under LoadTimeline
        timeline.LoadTimeline(file.text);
    }
    nString name(prof->GetValue("!TIMELINES", timeline.GetTimelineFilename(), "game"));
    if (!name.text) return false;
    SetActiveGame(name.text);
    nString save(NamedSaveFile());
    if (!save.text || !active || !UsableSaveName(save.text)) return false;
    sman.zero_next_time_step = true;
    nString path("user://");
    path.Append(save.text);
    return active->LoadGameState(path.text);
}

void GameManager::DeleteSaveGame() {
    nString save(NamedSaveFile());
    if (!save.text) return;
    DeleteSaveFile(save.text);
    prof->RemoveValue("!TIMELINES", timeline.GetTimelineFilename(), "savefile");
}

// ---------------------------------------------------------------------------
// Script functions

namespace {

int luaf_SetActiveGame(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) game_man.SetActiveGame(name);
    return 0;
}

int luaf_GetActiveGame(lua_State* L) {
    GameImplementation* g = game_man.GetActiveGame();
    return LuaReturnText(L, g ? g->GetName() : "NULL");
}

int luaf_GetGameNameByIndex(lua_State* L) {
    LuaArgs a(L, __func__);
    int i = a.Int(1);
    GameImplementation* g = a.Failed() ? nullptr : GameManager::GetGameByIndex(i);
    return LuaReturnText(L, g ? g->GetName() : "NULL");
}

int luaf_GetNumberOfGames(lua_State* L) { return LuaReturnNumber(L, GameManager::num_games); }

int luaf_SaveGameExists(lua_State* L) { return LuaReturnBool(L, game_man.SaveGameExists()); }

int luaf_InitGameLevel(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* level = a.Text(1);
    GameImplementation* g = game_man.GetActiveGame();
    if (g && level) g->InitLevel(level);
    return 0;
}

int luaf_LoadGameState(lua_State* L) { return LuaReturnBool(L, game_man.LoadSaveGame()); }

// The event name may be left out; a bad one is reported and the game is
// saved all the same. Answers whether it was. An event the timeline does
// not hold is the script's text, kept as the script's values are.
int luaf_SaveGameState(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* event = a.OptText(1);
    DMArray* events = timeline.GetEvents();
    ScriptValues chosen(event && !(events && events->GetNode(event)));
    return LuaReturnBool(L, game_man.SaveCurrentGame(event));
}

int luaf_DeleteGameState(lua_State*) {
    game_man.DeleteSaveGame();
    return 0;
}

const LuaBinding kGameBindings[] = {
    LUA_BINDING(SetActiveGame),    LUA_BINDING(GetActiveGame),  LUA_BINDING(GetGameNameByIndex),
    LUA_BINDING(GetNumberOfGames), LUA_BINDING(SaveGameExists), LUA_BINDING(InitGameLevel),
    LUA_BINDING(LoadGameState),    LUA_BINDING(SaveGameState),  LUA_BINDING(DeleteGameState),
};
static_assert(std::size(kGameBindings) == 9, "the game manager's script functions");

}  // namespace

bool GameManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "GameManager::Initialize.\n");
    lua_man.AddLuaFunctions(kGameBindings);
    return true;
}
