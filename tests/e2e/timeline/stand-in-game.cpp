// A stand-in game for the timeline's end-to-end runs, linked into a copy
// of the real program (worm_standin) until the worm game lands. It
// registers itself as "StandIn" at start-up, starts any level it is
// given, keeps the level's name as its save state and says in the log
// what it starts and what it resumes, so that the scripts can check the
// timeline's saved position against the save game beside it.
#include <string.h>

#include <string>

#include "framework-kd.h"
#include "ui/gameman.h"

namespace {

class StandInGame : public GameImplementation {
public:
    const char* GetName() override { return "StandIn"; }
    bool InitLevel(const char* level) override {
        current = level ? level : "";
        in_progress = true;
        kd->Printf("StandIn starts level '%s'.\n", current.c_str());
        return true;
    }
    bool IsLevelInProgress() override { return in_progress; }
    bool IsSaveGameStateSupported() override { return true; }
    bool SaveGameState(const char* path) override {
        std::string state = "level=" + current + "\n";
        return WriteSaveFile(path, state.data(), (unsigned int)state.size());
    }
    bool LoadGameState(const char* path) override {
        kd_file_t* f = kd->OpenFile(path, "rb");
        if (!f) return false;
        char text[256] = {};
        unsigned int n = kd->ReadFile(text, sizeof text - 1, f);
        kd->CloseFile(f);
        text[n] = 0;
        if (strncmp(text, "level=", 6) != 0) return false;
        char* end = strchr(text, '\n');
        if (end) *end = 0;
        current = text + 6;
        kd->Printf("StandIn resumes level '%s'.\n", current.c_str());
        return true;
    }

    std::string current;
    bool in_progress = false;
};

StandInGame stand_in;

// The registry is constant-initialised: registering from here is safe
// whatever the order of construction.
struct Register {
    Register() { GameManager::AddGameImplementation(&stand_in); }
} register_stand_in;

}  // namespace
