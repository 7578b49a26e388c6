// Achievements: named achievements unlocked for the current profile, a
// short animated notification bar at the bottom of the screen for each new
// unlock (and for the game's text-only notices), and the platform's game
// centre, to which unlocks are reported and re-sent after each login until
// it acknowledges them.
//
// Definitions: "achievements/achievements.xml", array "ACHIEVEMENTS", one
// node per achievement (node id = the achievement id, also in the game
// centre; values "name", the text of the bar, and "icon", its picture).
// Profile: category "ACHIEVEMENTS", a tag per unlocked achievement whose
// value "game_center_ack" is "1" once the game centre acknowledged it.
//
// Through the framework's steps (service-steps.cpp) the screen manager
// calls UpdateAchievementPopups every frame, DrawAchievementPopups after
// the screens and particles, and ProcessEvent for the game centre's
// events (KD_EVENT_GC_*). Without a game centre (always, on this
// platform) ShowAchievements pushes the screen "Achievements".
//
// An uninitialised service (no product feature "ACHIEVEMENTS", or no
// definitions) ignores every call and answers false or null; the bar still
// shows the game's text notices.
#ifndef FRAMEWORK_ACHIEVEMENTS_H
#define FRAMEWORK_ACHIEVEMENTS_H

#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

// One notification: text and icon, shown for 2.75 seconds in a bar of its
// own size, where it hides no button and no text of the screens in view.
class AchievementPopup {
public:
    AchievementPopup() {}
    ~AchievementPopup() { Unload(); }
    AchievementPopup(const AchievementPopup&) = delete;
    AchievementPopup& operator=(const AchievementPopup&) = delete;

    // The definition's icon and name.
    void LoadAndShow(DMArray* definitions, const char* id);
    // A text with the built-in empty icon "!NONE".
    void ShowText(const char* text);
    // A text with the icon of that file (none: "!NONE").
    void ShowWithIcon(const char* text, const char* icon_file);
    void Update(float dt) { time += dt; }
    bool Shown() const { return time > kShowSeconds; }
    // The bar's size at the scale of the screens (false: no font).
    bool Measure(float* width, float* height) const;
    void Draw();
    // Lets go of the icon.
    void Unload();

    static constexpr float kShowSeconds = 2.75f;
    // A bar that finds no place for this long (a screen full of buttons
    // left open, a text wider than the screen) is given up.
    static constexpr float kWaitSeconds = 20.0f;
    nString text;
    kd_bitmap_t* icon = nullptr;  // held with one reference (none for "!NONE")
    float time = 0;
    // Where the bar rests (its top left corner), while it has a place; how
    // long it has waited for one.
    bool placed = false;
    float x = 0, y = 0;
    float waited = 0;
};

class AchievementManager {
public:
    // Bounds of ids and texts that arrive in events; and of the queue, so
    // that a script gone wrong cannot pile up notices without end.
    enum { kMaxId = 127, kMaxText = 255, kMaxQueuedPopups = 64, kShownAtOnce = 4 };

    AchievementManager() {}
    // Frees what is left without calling the engine, which is gone by now
    // (the framework's shutdown resets the service while it is there).
    ~AchievementManager();
    AchievementManager(const AchievementManager&) = delete;
    AchievementManager& operator=(const AchievementManager&) = delete;

    void Initialize();
    // Back to the state before Initialize: no definitions, no notices.
    void Reset();
    void RegisterLuaFunctions();
    bool IsInitialized() const { return initialised; }

    void UnlockAchievement(const char* id);
    bool IsAchievementUnlocked(const char* id) const;
    int GetNumberOfUnlockedAchievements() const;
    const char* GetUnlockedAchievementByIndex(int index) const;
    const char* GetAchievementValue(const char* id, const char* key) const;
    void ShowAchievements();
    void ReportAchievementProgress(const char* id, int percent);
    void ShowPopupText(const char* text);
    void ShowPopup(const char* text, const char* icon_file);

    void UpdateAchievementPopups(float dt);
    void DrawAchievementPopups();
    // Game-centre results; never consumed (others see them too).
    void ProcessEvent(kd_event_t* event);

    int GetNumberOfQueuedPopups() const { return popups.count; }
    const AchievementPopup* GetPopup(int index) const {
        return index >= 0 && index < popups.count ? popups[index] : nullptr;
    }

    static const char* const kDefinitionsFile;

private:
    void Queue(AchievementPopup* popup);
    void ClearPopups();
    // Gives the bars shown a place that hides nothing, keeping the one
    // each had while it still does; a bar without one waits.
    void PlacePopups();
    bool GameCenterAvailable() const;

    DMDatabase* definitions = nullptr;
    DMArray* achievements = nullptr;
    bool notifications = false;
    nArray<AchievementPopup*> popups;
    bool initialised = false;
};

extern AchievementManager achievement_man;

#endif
