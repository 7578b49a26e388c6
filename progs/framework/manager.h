// The framework's start-up and shutdown sequencer, and the registry
// through which a game loads its own assets so that it can release them
// together.
//
// The managers are global objects built before main; Manager brings them
// up in two phases (before the video mode is set, on the engine's
// parameters event, which the program hands over; and in the program's
// Init) and takes them down in the program's Shutdown. The libraries above
// the framework (ui, services) link it, never the other way: they add
// their own start-up, frame, event and shutdown steps at the places below
// before the engine starts, and the framework calls what was added.
#ifndef FRAMEWORK_MANAGER_H
#define FRAMEWORK_MANAGER_H

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

// The places where a library above the framework hooks a step. Steps of
// one place run in the order they were added.
enum ManagerStep {
    STEP_PRE_INIT,       // the end of the phase before the video: the games, the automated player
    STEP_INIT_SERVICES,  // the start of InitializeAll: achievements, leaderboards, purchases
    STEP_INIT_SCREENS,   // after the analyst: the screens
    STEP_INIT_SIZED,     // after the screens: what takes its size from the virtual screen (news)
    STEP_INIT_TIMELINE,  // the end of InitializeAll: the timeline
    STEP_SHUTDOWN_UI,    // after localisation: the screens, the games' assets, the timeline
    STEP_SHUTDOWN_LAST,  // after the analyst: the services' notices
    STEP_DRAW_OVERLAY,   // each frame, after the screens and particles (not in edit mode)
    STEP_PLACES
};

// The frame state the framework's managers (audio) share with the
// screen manager, which runs the frames; its fields of these names are
// references to these.
struct FrameState {
    bool zero_next_time_step = false;  // the next frame's time step is zero (a long load went before)
    bool application_active = true;    // the window has the focus
};
extern FrameState frame_state;

class Manager {
public:
    Manager() : one(1) {}

    // The engine's parameters event: takes the engine's table and the
    // program parameters, then runs PreInitializeBeforeVideoInit. The
    // program hands it over before any other event step. Always 0.
    static int ProcessParmsEvent(const kd_event_t& e);
    // Always true.
    static bool PreInitializeBeforeVideoInit();
    static void InitializeAll();
    static void Shutdown();

    // Adds a step at its place; a step added twice at one place runs once.
    // Steps are added before start-up, never while it runs.
    static void AddStep(ManagerStep place, void (*step)());
    // Each frame's update, after the particles' (dt in seconds).
    static void AddUpdateStep(void (*step)(float dt));
    // Engine events of types first to last (service results), in the
    // order the steps were added.
    static void AddEventStep(int first_type, int last_type, void (*step)(kd_event_t* e));
    static void RunSteps(ManagerStep place);
    static void RunUpdateSteps(float dt);
    static void SendEvent(kd_event_t* e);

    // The program record. The program hands it over when the engine asks
    // for it; the parameters event also carries its parameters, from which
    // the record is found when it was not handed over.
    static void SetProgramRecord(kd_prog_t* record);
    static kd_prog_t* GetProgramRecord();
    static void SetParms(kd_parms_t* parms);
    // Never null: a zeroed record stands in until the real one is known.
    static kd_parms_t* GetParms();
    // The engine has begun to shut down (set once, from the main thread):
    // worker threads stop at their next step.
    static bool ShutdownSignalled();

    unsigned char one;
};

extern Manager man;

class AssetManager {
public:
    AssetManager() {}
    AssetManager(const AssetManager&) = delete;
    AssetManager& operator=(const AssetManager&) = delete;

    kd_bitmap_t* LoadBitmap(const char* name);
    kd_sound_t* LoadSound(const char* name);
    kd_font_t* LoadFont(const char* name);
    void ReleaseBitmap(kd_bitmap_t* bm);
    void ReleaseSound(kd_sound_t* sound);
    void ReleaseFont(kd_font_t* font);
    // Bitmaps and sounds; fonts stay loaded and listed.
    void ReleaseAllAssets();

    nArray<kd_bitmap_t*> bitmaps;
    nArray<kd_sound_t*> sounds;
    nArray<kd_font_t*> fonts;
};

#endif
