// The automated player: plays the program unattended through the same
// input path as real touches. `AIPlayer` synthesises pointer events, runs
// drags over several frames and presses the obvious button of a screen;
// a game derives its own player, which answers the questions that need
// the game's judgement (which button, where to touch in a level), and
// registers it from its constructor. `AIPlayerMan` (`ai_man`) runs the
// current player each frame while enabled: by the product feature
// "AUTO_TESTING_MODE", or by the developer's 'A' in a level. While the
// screen browser is up it neither plays nor hears the 'A' (the screen
// manager holds both back).
#ifndef FRAMEWORK_AIPLAYER_H
#define FRAMEWORK_AIPLAYER_H

#include "kodo.h"

class Screen;
class UIComp;

class AIPlayer {
public:
    AIPlayer() = default;
    virtual ~AIPlayer() = default;
    AIPlayer(const AIPlayer&) = delete;
    AIPlayer& operator=(const AIPlayer&) = delete;

    virtual const char* GetName() { return "Generic"; }
    // Prepares the test profile (the game's choice).
    virtual void InitProfile() {}
    virtual bool IsInGame() { return false; }
    // A screen the generic policy cannot play: UpdateComplexScreen does.
    virtual bool IsComplexScreen() { return false; }
    virtual float GetLevelNumLearningCoeff() { return 1.0f; }
    virtual const char* GetCompToPress(Screen*, const char*) { return "Ok"; }
    // Where to touch in a level; `press` cleared: touch nowhere.
    virtual vec2_t GetGamePositionToPress(bool& press) {
        (void)press;
        return vec2_t{0, 0};
    }
    // True restarts the timer toward the next in-game touch.
    virtual bool UpdatePlayerInGame(float) { return false; }
    virtual void UpdateGame(float) {}
    virtual void UpdateComplexScreen(float, Screen*, const char*) {}

    // One frame: a running drag, or the next action once its time comes.
    void Update(float dt);
    void Draw();

    // Pointer 0's events, fed to the screen manager.
    void PressAt(vec2_t p);
    void ReleaseAt(vec2_t p);
    void DragAt(vec2_t from, vec2_t to);
    void DragAt(vec2_t p);
    void ClickAt(vec2_t p);
    void ClickComponent(Screen* screen, UIComp* comp);
    // Carried out by Update over `seconds` (not positive: one second).
    void Drag(vec2_t from, vec2_t to, float seconds, bool without_press);
    void PrepareDoubleClick() { timer += 2.0f; }
    static bool IsOnScreen(vec2_t p);
    bool IsOnLookAtArea(vec2_t p) const;
    void UpdateLookAt();

    float timer = 0;
    float drag_progress = 0;
    float in_game_action_threshold = 0.55f;
    float screen_press_delay = 3.0f;
    float in_game_time = 0;
    vec2_t look_at = {400, 300};
    bool drag_without_press = false;
    bool dragging = false;
    float drag_speed = 1.0f;
    vec2_t drag_start = {0, 0}, drag_end = {0, 0};

private:
    void StepDrag(float dt);
    void PlayInGame(float dt);
    void PressScreenComponent();
};

class AIPlayerMan {
public:
    enum { MAX_PLAYERS = 5 };

    void Initialize();
    void SelectOrCreateAIProfile();
    // The developer's 'A' in a level flips `enabled`; never takes the event.
    int ProcessEvent(kd_event_t* event);
    void PlayTheGame(float dt);
    void Draw();

    // A sixth player is ignored.
    static void RegisterAI(AIPlayer* player);
    static AIPlayer* GetAI(int i);
    static AIPlayer* GetAIByName(const char* name);
    static int GetNumberOfAIs() { return num_ais; }
    // Forgets every registered player (tests register their own).
    static void ClearRegistry();
    void UseAI(AIPlayer* player) { current = player; }
    AIPlayer* GetCurrentAI() const { return current; }

    bool enabled = false;
    AIPlayer* current = nullptr;

    // The game's answer to whether a level is being played outside its
    // editor, for the developer's toggle (null: never).
    static bool (*in_level_play)();

private:
    // Constant-initialised, so that players constructed before this
    // file's own statics still find the registry.
    static AIPlayer* players[MAX_PLAYERS];
    static int num_ais;
};

extern AIPlayerMan ai_man;

#endif
