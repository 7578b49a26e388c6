#include "manager.h"

#include <stddef.h>
#include <stdio.h>

#include "analytics.h"
#include "audioman.h"
#include "feature-manager.h"
#include "gameman.h"
#include "localization.h"
#include "luaman.h"
#include "particle-effects.h"
#include "profiles.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"
#include "services/news.h"
#include "ui/aiplayer.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

Manager man;

// ---------------------------------------------------------------------------
// Program record

static kd_prog_t* program_record = nullptr;
static kd_parms_t* program_parms = nullptr;
static kd_parms_t no_parms;  // stands in (zeroed) until the real one is known

void Manager::SetProgramRecord(kd_prog_t* record) {
    program_record = record;
    if (record) program_parms = &record->parms;
}

kd_prog_t* Manager::GetProgramRecord() { return program_record; }

// The engine sends the address of the parameters inside its program record,
// so without a record handed over the record is the one around them.
void Manager::SetParms(kd_parms_t* parms) {
    program_parms = parms;
    if (parms && !program_record)
        program_record = (kd_prog_t*)((char*)parms - offsetof(kd_prog_t, parms));
}

kd_parms_t* Manager::GetParms() { return program_parms ? program_parms : &no_parms; }

bool Manager::ShutdownSignalled() {
    kd_prog_t* record = program_record;
    return record && __atomic_load_n(&record->parms.shutdown_signalled, __ATOMIC_ACQUIRE);
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

bool Manager::PreInitializeBeforeVideoInit() {
    kd->PrintDebugf(3, "Manager::PreInitializeBeforeVideoInit.\n");
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
    game_man.Initialize();
    ai_man.Initialize();
    if (feature_man.ProductFeatureExists("AUTO_TESTING_MODE")) ai_man.SelectOrCreateAIProfile();
    return true;
}

void Manager::InitializeAll() {
    kd->PrintDebugf(3, "Manager::InitializeAll.\n");
    if (feature_man.ProductFeatureExists("ACHIEVEMENTS")) achievement_man.Initialize();
    if (feature_man.ProductFeatureExists("LEADERBOARDS")) leaderboards_man.Initialize();
    if (feature_man.ProductFeatureExists("IN_APP_PURCHASES")) iap_man.Initialize();
    analyst.RegisterLuaFunctions();
    if (feature_man.ProductFeatureExists("ANALYST")) analyst.Initialize();
    kd_parms_t* parms = GetParms();
    sman.InitScreens(parms->reference_width, parms->reference_height);
    if (feature_man.ProductFeatureExists("NEWS")) {
        float w = (float)sman.virtual_width * 0.96f;
        float h = (float)sman.virtual_height * 0.8f;
        news_man.Initialize((int)w, (int)h);
    }
    timeline.Init();
    timeline.LoadTimeline("timeline.xml");
}

void Manager::Shutdown() {
    kd->PrintDebugf(3, "Manager::Shutdown.\n");
    loc_man.Shutdown();
    sman.Shutdown();
    // With their screens left (and a level's world freed with its screen),
    // the games give back their pictures and sounds while the engine that
    // holds them is still there.
    for (int i = 0; i < GameManager::GetNumberOfGames(); i++)
        game_man.UnloadGameImplementation(GameManager::GetGameByIndex(i));
    timeline.FreeTimeline();
    lua_man.Shutdown();
    analyst.Shutdown();
    // The notices and the news hold bitmaps of the engine, which shuts down
    // next.
    achievement_man.Reset();
    news_man.Reset();
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
