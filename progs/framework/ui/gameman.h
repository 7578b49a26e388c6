// Hosting of the games of the program: each game is a GameImplementation
// registered with the game manager, which loads and activates games and
// saves and restores the active game's state in numbered save files that
// the player's profile names.
#ifndef FRAMEWORK_GAMEMAN_H
#define FRAMEWORK_GAMEMAN_H

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class UIComp;

// The operations the framework's screens and timeline call on a game. The
// defaults describe a game that does nothing.
class GameImplementation {
public:
    virtual ~GameImplementation() {}
    virtual const char* GetName() { return "UnknownGameImp"; }
    virtual void Load() {}
    virtual void Unload() {}
    virtual bool InitLevel(const char*) { return false; }
    virtual bool IsLevelInProgress() { return false; }
    virtual bool IsSaveGameStateSupported() { return false; }
    // `path` names the save file to write. Write it through AtomicFile (or
    // WriteSaveFile below): a save killed half-way must leave no partial
    // file under that name, since the slot search takes any file there.
    virtual bool SaveGameState(const char*) { return true; }
    virtual bool LoadGameState(const char*) { return true; }
    virtual void Update(float) {}
    virtual void DrawBeforeUI() {}
    virtual void Draw() {}
    virtual void DrawAfterUI() {}
    virtual int ProcessEvent(kd_event_t*) { return 1; }
    virtual int ProcessUIComp(UIComp*, int) { return 1; }

protected:
    // Replaces `path` with the bytes as a whole or not at all.
    static bool WriteSaveFile(const char* path, const void* bytes, unsigned int size);
};

enum { GAMEMAN_MAX_GAMES = 32, GAMEMAN_MAX_SAVE_SLOTS = 999 };

class GameManager {
public:
    GameManager() {}

    // Registers the script functions; true.
    bool Initialize();

    // Ignored once 32 are registered.
    static void AddGameImplementation(GameImplementation* game);
    static int GetGameIndex(GameImplementation* game);
    static GameImplementation* GetGameByName(const char* name);
    static int GetNumberOfGames() { return num_games; }
    static GameImplementation* GetGameByIndex(int index);

    void LoadGameImplementation(GameImplementation* game);
    void UnloadGameImplementation(GameImplementation* game);
    bool IsGameLoaded(GameImplementation* game) const;

    // "!DEFAULT" (any case) is the first registered game. An unknown name
    // leaves no active game.
    bool SetActiveGame(const char* name);
    GameImplementation* GetActiveGame() const { return active; }

    bool SaveGameExists();
    // False when the game or the profiles could not be saved.
    bool SaveCurrentGame(const char* event);
    bool LoadSaveGame();
    void DeleteSaveGame();

    // "user://profiles/saves/save-game-NNN.dat" for slot 1..999.
    static nString SaveSlotPath(int slot);

    // Registry, shared by every GameManager.
    static GameImplementation* games[GAMEMAN_MAX_GAMES];
    static int num_games;

private:
    GameImplementation* active = nullptr;
    bool loaded[GAMEMAN_MAX_GAMES] = {};
};

extern GameManager game_man;

#endif
