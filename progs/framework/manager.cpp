#include "manager.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#include <vector>

#include "analytics.h"
#include "audioman.h"
#include "feature-manager.h"
#include "localization.h"
#include "luaman.h"
#include "particle-effects.h"
#include "profiles.h"

Manager man;
FrameState frame_state;

// ---------------------------------------------------------------------------
// Program record

static kd_prog_t* program_record = nullptr;
static kd_parms_t* program_parms = nullptr;
static kd_parms_t no_parms;  // stands in (zeroed) until the real one is known

void Manager::SetProgramRecord(kd_prog_t* record) {
    program_record = record;
    if (record) program_parms = &record->parms;
    SetDataFaultParms(program_parms);
}

kd_prog_t* Manager::GetProgramRecord() { return program_record; }

// The engine sends the address of the parameters inside its program record,
// so without a record handed over the record is the one around them.
void Manager::SetParms(kd_parms_t* parms) {
    program_parms = parms;
    if (parms && !program_record)
        program_record = (kd_prog_t*)((char*)parms - offsetof(kd_prog_t, parms));
    SetDataFaultParms(program_parms);
}

kd_parms_t* Manager::GetParms() { return program_parms ? program_parms : &no_parms; }

bool Manager::ShutdownSignalled() {
    kd_prog_t* record = program_record;
    return record && __atomic_load_n(&record->parms.shutdown_signalled, __ATOMIC_ACQUIRE);
}

// ---------------------------------------------------------------------------
// Steps of the libraries above

namespace {

struct EventStep {
    int first_type, last_type;
    void (*step)(kd_event_t* e);
};

struct Steps {
    std::vector<void (*)()> at[STEP_PLACES];
    std::vector<void (*)(float)> update;
    std::vector<EventStep> events;
    // Between the parameters event's pre-initialisation and the shutdown.
    bool started = false;
};

Steps& TheSteps() {
    static Steps steps;
    return steps;
}

template <class List, class Step>
void AddOnce(List& list, const Step& step) {
    for (const auto& s : list)
        if (s == step) return;
    // A step added once start-up has begun would miss its place.
    KD_ASSERT(!TheSteps().started);
    list.push_back(step);
}

bool operator==(const EventStep& a, const EventStep& b) {
    return a.first_type == b.first_type && a.last_type == b.last_type && a.step == b.step;
}

}  // namespace

void Manager::AddStep(ManagerStep place, void (*step)()) {
    KD_ASSERT(place >= 0 && place < STEP_PLACES && step);
    AddOnce(TheSteps().at[place], step);
}

void Manager::AddUpdateStep(void (*step)(float)) { AddOnce(TheSteps().update, step); }

void Manager::AddEventStep(int first_type, int last_type, void (*step)(kd_event_t*)) {
    AddOnce(TheSteps().events, EventStep{first_type, last_type, step});
}

void Manager::RunSteps(ManagerStep place) {
    for (auto step : TheSteps().at[place]) step();
}

void Manager::RunUpdateSteps(float dt) {
    loc_man.Update();  // the new-strings file's batched write
    for (auto step : TheSteps().update) step(dt);
}

void Manager::SendEvent(kd_event_t* e) {
    for (const EventStep& s : TheSteps().events)
        if (e->type >= s.first_type && e->type <= s.last_type) s.step(e);
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

int Manager::ProcessParmsEvent(const kd_event_t& e) {
    // The engine's table and the program parameters arrive before the
    // video starts; nothing of the framework may run earlier.
    if (e.id) kd = (kodo_t*)e.id;
    kd_parms_t* parms = (kd_parms_t*)e.x;
    if (parms) SetParms(parms);
    PreInitializeBeforeVideoInit();
    kd_prog_t* record = GetProgramRecord();
    if (parms && record && parms != &record->parms && (prof != nullptr)) parms->windowed = record->parms.windowed;
    return 0;
}

bool Manager::PreInitializeBeforeVideoInit() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Manager::PreInitializeBeforeVideoInit.\n");
    if (GetParms()->developer_mode) kd->AddSearchPath("res://data-src", false);
    kd->AddSearchPath("user://", true);
    // The Lua manager first: every manager after it registers script
    // functions, which then reach the main state at once.
    lua_man.Initialize();
    feature_man.Initialize();
    aman.Initialize();
    loc_man.Initialize();
    profile_man.Initialize();
    pbman.Init();
    TheSteps().started = true;
    RunSteps(STEP_PRE_INIT);
    return true;
}

void Manager::InitializeAll() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Manager::InitializeAll.\n");
    // The second phase needs the first: the parameters event comes first.
    KD_ASSERT(TheSteps().started);
    RunSteps(STEP_INIT_SERVICES);
    analyst.RegisterLuaFunctions();
    if (feature_man.ProductFeatureExists("ANALYST")) analyst.Initialize();
    RunSteps(STEP_INIT_SCREENS);
    RunSteps(STEP_INIT_SIZED);
    RunSteps(STEP_INIT_TIMELINE);
}

void Manager::Shutdown() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Manager::Shutdown.\n");
    loc_man.Shutdown();
    RunSteps(STEP_SHUTDOWN_UI);
    lua_man.Shutdown();
    analyst.Shutdown();
    RunSteps(STEP_SHUTDOWN_LAST);
    TheSteps().started = false;
}

// ---------------------------------------------------------------------------
// AssetManager

kd_bitmap_t* AssetManager::LoadBitmap(const char* name) {
    if (!name) return kd->GetBitmap("!NONE");
    kd_bitmap_t* bm = kd->LoadBitmap(name, 4);
    bitmaps.InsertLast(bm);
    return bm;
}

kd_sound_t* AssetManager::LoadSound(const char* name) {
    kd_sound_t* s = kd->LoadSound(name);
    sounds.InsertLast(s);
    return s;
}

kd_font_t* AssetManager::LoadFont(const char* name) {
    kd_font_t* f = kd->LoadFont(name);
    fonts.InsertLast(f);
    return f;
}

void AssetManager::ReleaseBitmap(kd_bitmap_t* bm) {
    int i = bitmaps.Find(bm);
    if (i < 0) return;
    if (bm) kd->ReleaseBitmap(bm);
    bitmaps.RemoveIndex(i);
}

void AssetManager::ReleaseSound(kd_sound_t* sound) {
    int i = sounds.Find(sound);
    if (i < 0) return;
    if (sound) kd->ReleaseSound(sound);
    sounds.RemoveIndex(i);
}

void AssetManager::ReleaseFont(kd_font_t* font) {
    int i = fonts.Find(font);
    if (i < 0) return;
    if (font) kd->ReleaseFont(font);
    fonts.RemoveIndex(i);
}

void AssetManager::ReleaseAllAssets() {
    {
        for (int i = 0; i < bitmaps.count; i++)
            if (bitmaps[i]) kd->ReleaseBitmap(bitmaps[i]);
        for (int i = 0; i < sounds.count; i++)
            if (sounds[i]) kd->ReleaseSound(sounds[i]);
    }
    bitmaps.count = 0;
    sounds.count = 0;
}
