// The worm game: the game manager's "DeziDedi". It owns the level's
// physics simulation and everything a level needs besides the world: the
// contact filter, the grab of a worm end by a finger, the camera that
// follows the worm, the game's own particle layer and the HUD drawn over
// and under the game screen's UI. The game screen (screen-game-dezidedi.h)
// forwards its frames and input here; the timeline starts a level with
// InitLevel.
//
// Files: game-dezidedi.cpp (the game, its level start and its frame),
// game-flow.cpp (how a level ends and what a won level records),
// worm-control.cpp (touches on the worm and the camera drag),
// game-camera.cpp (where the camera looks), game-hud.cpp (what is drawn
// besides the world), worm-contact-filter.cpp (which pairs collide),
// game-replay.cpp (the replay of a fixed input for tests).
#ifndef APP_GAME_DEZIDEDI_H
#define APP_GAME_DEZIDEDI_H

#include <utility>
#include <vector>

#include "game/game-level.h"
#include "game/worm-contact-filter.h"
#include "manager.h"
#include "particles.h"
#include "physics/actor-shapes.h"
#include "physics/physics-manager.h"
#include "ui/gameman.h"

class b2MouseJoint;
class Screen;
class UIComp;
struct Actor;

class GameDeziDedi : public GameImplementation, public ActorWatcher {
public:
    GameDeziDedi();
    ~GameDeziDedi() override;

    // The top of the screen that the HUD takes (the clock, the fruit
    // counter and the pause button), in virtual units of a 1024 x 600
    // screen: what the game draws over the world stays below it, and a
    // level keeps its hazards' resting places out of it.
    static constexpr float kHudBand = 90.0f;

    const char* GetName() override { return "DeziDedi"; }
    void Load() override;
    void Unload() override;
    bool InitLevel(const char* world) override;
    bool IsLevelInProgress() override { return !level.level_over; }
    bool IsSaveGameStateSupported() override { return false; }
    bool SaveGameState(const char*) override { return false; }
    bool LoadGameState(const char*) override { return false; }
    void Update(float dt) override;
    void DrawBeforeUI() override;
    void DrawAfterUI() override;
    int ProcessEvent(kd_event_t* e) override;
    int ProcessUIComp(UIComp* comp, int value) override;

    // The level frame: the worm's world in play (clock, faces, camera,
    // step), and the checks for the level's end.
    void NormalUpdate(float dt, bool resized);
    void CheckLevelEnd(float dt);
    // A level's two results (game-flow.cpp). Each acts once per level:
    // the first result decided is the level's only one.
    void WinLevel(bool developer_win);
    void LoseLevel();
    // Forgets every pointer to an actor about to be freed; a worm end
    // lost in play loses the level.
    void ActorDestroyed(Actor* actor) override;
    // Why the loaded world cannot make a level that ends (empty when it
    // can): the worm needs one head and one tail, inside the world.
    nString WormFault() const;
    void SetWormFace(int kind);
    void KillComboStop();
    void UpdateMovingPlatforms();
    void UpdateWeather(float dt);
    void UpdateSounds(float dt);
    void StopSounds();

    // Worm control (worm-control.cpp).
    bool ProcessEventGameWorm(kd_event_t* e);
    bool ProcessEventCamera(kd_event_t* e);
    void CreateMouseJoint(Actor* end, Actor* anchor, vec2_t point);
    void DestroyMouseJoint();
    void FlingWorm();
    void Unweld(Actor* actor);
    // Forgets the grab and the camera drag without touching the world:
    // for when the world that held the joints is gone or about to go.
    void ResetGrabState();
    // The world is freed (the game screen is left): the grab state goes
    // with it, so no joint handle outlives its world.
    void FreeWorld();

    // Camera (game-camera.cpp).
    void CenterCameraOnWorm(float dt, bool immediate);
    void CenterCameraOnWormhole(float dt, bool immediate);
    void WormholeZoomUpdate(float dt, bool resized);
    // The developer's camera keys while the UI editor is on; false when
    // it is off.
    bool DeveloperCameraKeys(float dt);

    // HUD, story and hints (game-hud.cpp).
    void UpdateUI(float dt);
    void ShowLevelInfo(int episode, int level_number);
    void ShowNextStoryDialog();
    void UpdateTutorials(float dt);
    void DrawTutorials();
    void ResetTutorials();

    // Reloads the backgrounds for the detail level when a world exists.
    void ChangeDetailLevel(bool high);

    // Look-ups outside the game. The timeline's current event ("E01_L01"),
    // null when there is none; whether the active profile holds a bought
    // item ("BIG_BALL", "EXTRA_LIFE").
    static const char* CurrentLevelEventId();
    static bool IsPurchaseActive(const char* item);

    // A touch of the first finger at a screen point, as the platform
    // delivers it (`from`: where the finger was before a move).
    static kd_event_t TouchEvent(int type, vec2_t at, vec2_t from);

    // The game screen and one of its components (null when either is
    // missing).
    static Screen* GameScreen();
    static UIComp* Comp(const char* name);

    WormContactFilter contact_filter;
    // Effects drawn over the UI.
    PartMan particles;

    // Grab state.
    Actor* grabbed = nullptr;   // the end last grabbed; kept after the release
    Actor* held_end = nullptr;  // the end grabbed during this touch
    b2MouseJoint* mouse_joint = nullptr;
    bool release_requested = false;
    bool fling_requested = false;
    vec2_t mouse_target = {0, 0};  // the pointer in the world
    bool finger_down = false;

    bool stretched = false;
    PhysicsSimulation sim;

    // Camera state.
    bool camera_drag = false;
    vec2_t drag_target = {0, 0}, drag_current = {0, 0};
    float camera_hold = -1.0f;
    vec2_t follow_offset = {0, 0};

    // Set when the level cannot end by play (a world without a proper
    // worm, or an end lost): the next frame loses the level.
    bool level_fault = false;
    bool launched_from_editor = false;
    AssetManager assets;
    float ending_time = 0;
    float weather_time = 0;
    float arrow_alpha = 0;
    long looping_channel = 0;
    bool sounds_stopped = false;
    int dialogue_line = 0;

    // Tutorial state of the first-level hints.
    struct Tutorial {
        float head_alpha = 0, tail_alpha = 0, collect_alpha = 0, wormhole_alpha = 0;
        float hand_phase = -2.0f;
        vec2_t hand_position = {0, 0};
        float hand_alpha = 0;
        // The side each hint text took in the frame before, by its target
        // (only compared, never followed).
        std::vector<std::pair<const Actor*, int>> label_sides;
    } tutorial;

    // The level's own copy of the tail definition: the level start sizes
    // the tail from the head (and the purchases), and that must not reach
    // the shared definition, which the object editor saves. So the tail is
    // found as `sim.WormTail()`, not by the shared definition.
    ActorShape level_tail;

private:
    // The worm's tail sized for this level, on its actor alone.
    void SizeTail();
    // The level start's steps, in the order InitLevel takes them.
    bool StartLevelRecord(const char* world);
    void ForgetLastLevel();
    bool LoadLevelWorld(const char* world, bool fits);
    void DropUnreachableFruit();
    void SetLevelStartValues();
    void StartStory(const char* world);
    void SettleAndFrameWorld();
    void PlaceLevelInGame();
};

extern GameDeziDedi game_dezidedi;

#endif
