#include "game/screen-game-dezidedi.h"

#include "framework-kd.h"
#include "game/game-dezidedi.h"
#include "game/game-replay.h"
#include "lua-args.h"
#include "profiles.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

ScreenGameDeziDedi screen_GameDeziDedi;

namespace {

// Switches between the two background layers (and the weather between
// them) and one combined picture, and shows the choice at once when a
// level is up.
int luaf_ChangeDetailLevel(lua_State*) {
    game_dezidedi.ChangeDetailLevel(!PhysicsSimulation::high_details);
    return 0;
}

const LuaBinding kGameScreenBindings[] = {
    LUA_BINDING(ChangeDetailLevel),
};
// Scripts in the data call these names: a row goes or comes on purpose
// only.
static_assert(std::size(kGameScreenBindings) == 1, "the game screen's script functions");

}  // namespace

ScreenGameDeziDedi::ScreenGameDeziDedi() : Screen("GameDeziDedi") {
    // The world and the grey behind it fill the whole screen.
    covers_screen = true;
}

// Once: a second registration of a name is an error.
void ScreenGameDeziDedi::RegisterLuaFunctions() {
    if (!lua_man.DoesLuaFunctionExist(lua_man.GetMainState(), "ChangeDetailLevel"))
        lua_man.AddLuaFunctions(kGameScreenBindings);
}

bool ScreenGameDeziDedi::PreLoad() {
    LoadUI("ui/game-dezidedi.lua");
    return true;
}

void ScreenGameDeziDedi::Enter() {
    Screen* lab = Screen::PeekScreen("WorldLab");
    game_dezidedi.launched_from_editor = lab && sman.IsScreenInStack(lab);
}

void ScreenGameDeziDedi::Leave() {
    game_dezidedi.StopSounds();
    if (prof) {
        level.CountTimePlayed(prof);
        prof->Save();
    }
    level.play_started = false;
    game_dezidedi.FreeWorld();
}

void ScreenGameDeziDedi::Update(float dt) {
    Screen::Update(dt);
    game_dezidedi.Update(game_replay.FrameStep(dt));
}

void ScreenGameDeziDedi::Draw(float) {
    game_dezidedi.DrawBeforeUI();
    DrawUI();
    game_dezidedi.DrawAfterUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

int ScreenGameDeziDedi::ProcessEvent(kd_event_t* event) { return game_dezidedi.ProcessEvent(event); }

int ScreenGameDeziDedi::ProcessUICompClick(UIComp* comp, int value) {
    // A test play from the world editor goes straight back to it; any
    // other play pauses. Decided here rather than by the layout's script,
    // which runs first and cannot tell the two apart.
    if (comp && nStringsMatch(comp->name, "Pause")) {
        if (!game_dezidedi.launched_from_editor) {
            sman.PushScreen("GamePopMenu", 0);
            return 1;
        }
        level.play_started = false;
        sman.PopScreen(this, true);
        return 1;
    }
    return game_dezidedi.ProcessUIComp(comp, value);
}
