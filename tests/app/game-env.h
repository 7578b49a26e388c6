// The game as the program runs it, for the game's tests: the engine up
// over the bundled data, the script functions and widget kinds in place,
// the behaviours registered, a profile, the game loaded (its `lib`) and
// its screen preloaded and on top of the stack. Frames and touches go to
// the game directly, as the game screen hands them on.
#ifndef APP_GAME_ENV_H
#define APP_GAME_ENV_H

#include <math.h>

#include <box2d/box2d.h>

#include "app-env.h"
#include "dataman.h"
#include "game/game-dezidedi.h"
#include "game/screen-game-dezidedi.h"
#include "luaman.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "physics/b2-compat.h"
#include "profiles.h"
#include "ui/screen-manager.h"
#include "ui/ui-widgets.h"

struct GameEnv {
    AppEnv env;
    Profile profile;
    GameDeziDedi& game = game_dezidedi;
    PhysicsSimulation& sim = game_dezidedi.sim;

    GameEnv() {
        srand(7);
        lua_man.Initialize();
        ScreenMan::RegisterLuaFunctions();
        UIRegisterWidgetKinds();
        ui_screen = UIScreenValues();
        ui_screen.reference_width = ui_screen.virtual_width = ui_screen.actual_width = 1024;
        ui_screen.reference_height = ui_screen.virtual_height = ui_screen.actual_height = 600;
        ActorBehaviors::InitActorBehaviors();
        pbman.Clear();
        pbman.Init();
        profile.Reset("1.xml");
        prof = &profile;
        game.Load();
        ScreenGameDeziDedi::RegisterLuaFunctions();
        sman.PreloadScreen(&screen_GameDeziDedi);
        sman.PushScreen(&screen_GameDeziDedi, 0);
    }
    ~GameEnv() {
        // Leaving the screen frees the world.
        sman.Shutdown();
        game.Unload();
        level.Reset();
        prof = nullptr;
        // The data manager caches by name: the next test's profile must
        // not find this one's.
        dman.ReleaseDatabase(profile.GetDatabase());
        pbman.Clear();
        ActorBehaviors::FreeActorBehaviors();
        lua_man.Shutdown();
    }

    // A level without the prologue and without hints: the worm plays at
    // once, as on any level after the first.
    void SkipStory() {
        profile.AddTag("INFO", "STORY_START_SHOWN");
        profile.SetValue("LEVELS", "E01_L01", "completed", "1");
    }
    // A level start that ends with the camera on the worm and play open.
    void Start(const char* world) {
        game.InitLevel(world);
        level.camera_mode = CAMERA_PLAY;
        for (int i = 0; i < 120 && !level.camera_arrived; i++) Frame();
    }
    void Frame(float dt = 1.0f / 60) { game.Update(dt); }
    void Frames(int n) {
        for (int i = 0; i < n; i++) Frame();
    }

    static vec2_t Pos(const Actor* a) { return vec2_t{a->body->GetPosition().x, a->body->GetPosition().y}; }
    vec2_t Screen(const Actor* a) { return sim.TransformWorldPositionToScreen(Pos(a)); }
    static float Dist(vec2_t a, vec2_t b) { return hypotf(a.x - b.x, a.y - b.y); }

    // A touch, as the platform delivers it to the game screen.
    int Touch(int type, vec2_t p, vec2_t prev = {0, 0}) {
        kd_event_t e = GameDeziDedi::TouchEvent(type, p, prev);
        return screen_GameDeziDedi.ProcessEvent(&e);
    }
    int JointsMarked(uintptr_t mark) {
        int n = 0;
        for (b2Joint* j = sim.world ? sim.world->GetJointList() : nullptr; j; j = j->GetNext())
            n += j->GetUserData().pointer == mark;
        return n;
    }
};

#endif
