#include "manager.h"

#include <stddef.h>
#include <stdio.h>

#include "aiplayer.h"
#include "fw-hooks.h"
#include "luaman.h"
#include "player-services-min.h"
#include "screen-manager.h"
#include "timeline.h"

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

// ---------------------------------------------------------------------------
// Hooks into managers of other files: weak defaults (see fw-hooks.h).

#define FW_WEAK __attribute__((weak))

FW_WEAK void FW_InitFeatures() {}
FW_WEAK void FW_InitAudio() {}
FW_WEAK void FW_InitLocalization() {}
FW_WEAK void FW_InitProfiles() {}
FW_WEAK void FW_InitParticles() {}
FW_WEAK void FW_InitGames() {}
FW_WEAK void FW_ShutdownLocalization() {}
FW_WEAK bool FW_FeatureExists(const char*) { return false; }
FW_WEAK void FW_UpdateAudio(float) {}
FW_WEAK void FW_UpdateProfiles(float) {}
FW_WEAK bool FW_IsProfileActive() { return false; }
FW_WEAK void FW_SaveAllProfiles() {}
FW_WEAK void FW_SelectOrCreateProfile(const char*) {}

FW_WEAK float FW_GetMusicVolume() { return 1.0f; }
FW_WEAK float FW_GetSoundVolume() { return 1.0f; }
FW_WEAK void FW_SetSoundVolume(float) {}
FW_WEAK void FW_SlideMusicVolume(float volume, float seconds) {
    if (kd) kd->SlideMusicVolume(volume, seconds);
}
FW_WEAK long FW_PlaySound(kd_sound_t* sound, float volume, float pan, float frequency) {
    return kd && sound ? kd->PlaySound(sound, volume, pan, frequency) : 0;
}
FW_WEAK void FW_SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out) {
    if (!kd) return;
    kd->StopMusic(fade_out);
    if (sound) kd->PlayMusic(sound, 1.0f, fade_in);
}
FW_WEAK void FW_StopMusic(float fade_out) {
    if (kd) kd->StopMusic(fade_out);
}

FW_WEAK const char* FW_Localize(const char* text) { return text; }
FW_WEAK void FW_LocalizeComment(const char*) {}
FW_WEAK void FW_LocalizeNewLine() {}
FW_WEAK const char* FW_LocalizeNumber(int value) {
    static char text[32];
    snprintf(text, sizeof text, "%d", value);
    return text;
}
FW_WEAK const char* FW_LocalizeTime(int milliseconds) {
    static char text[48];
    int s = milliseconds / 1000;
    snprintf(text, sizeof text, "%d:%.2d", s / 60, s % 60);
    return text;
}

FW_WEAK void FW_CacheFX(const char*) {}
FW_WEAK void FW_SpawnFX(const char*, float, float, float, float) {}
FW_WEAK void FW_ReloadFxs() {}

// ---------------------------------------------------------------------------
// Start-up and shutdown

bool Manager::PreInitializeBeforeVideoInit() {
    if (!kd) return true;
    kd->PrintDebugf(3, "Manager::PreInitializeBeforeVideoInit.\n");
    if (GetParms()->developer_mode) kd->AddSearchPath("res://data-src", false);
    kd->AddSearchPath("user://", true);
    // The Lua manager first: every manager after it registers script
    // functions, which then reach the main state at once.
    lua_man.Initialize();
    FW_InitFeatures();
    FW_InitAudio();
    FW_InitLocalization();
    FW_InitProfiles();
    FW_InitParticles();
    FW_InitGames();
    ai_man.Initialize();
    if (FW_FeatureExists("AUTO_TESTING_MODE")) ai_man.SelectOrCreateAIProfile();
    return true;
}

void Manager::InitializeAll() {
    if (kd) kd->PrintDebugf(3, "Manager::InitializeAll.\n");
    if (FW_FeatureExists("ACHIEVEMENTS")) achievement_man.Initialize();
    if (FW_FeatureExists("LEADERBOARDS")) leaderboards_man.Initialize();
    if (FW_FeatureExists("IN_APP_PURCHASES")) iap_man.Initialize();
    analyst.RegisterLuaFunctions();
    if (FW_FeatureExists("ANALYST")) analyst.enabled = true;
    kd_parms_t* parms = GetParms();
    sman.InitScreens(parms->reference_width, parms->reference_height);
    if (FW_FeatureExists("NEWS")) {
        float w = (float)sman.virtual_width * 0.96f;
        float h = (float)sman.virtual_height * 0.8f;
        news_man.Initialize((int)w, (int)h);
    }
    timeline.Init();
    timeline.LoadTimeline("timeline.xml");
}

void Manager::Shutdown() {
    if (kd) kd->PrintDebugf(3, "Manager::Shutdown.\n");
    FW_ShutdownLocalization();
    sman.Shutdown();
    timeline.FreeTimeline();
    lua_man.Shutdown();
    analyst.enabled = false;
}

// ---------------------------------------------------------------------------
// AssetManager

kd_bitmap_t* AssetManager::LoadBitmap(const char* name) {
    if (!kd) return nullptr;
    if (!name) return kd->GetBitmap("!NONE");
    kd_bitmap_t* bm = kd->LoadBitmap(name, 4);
    bitmaps.InsertLast(bm);
    return bm;
}

kd_sound_t* AssetManager::LoadSound(const char* name) {
    if (!kd) return nullptr;
    kd_sound_t* s = kd->LoadSound(name);
    sounds.InsertLast(s);
    return s;
}

kd_font_t* AssetManager::LoadFont(const char* name) {
    if (!kd) return nullptr;
    kd_font_t* f = kd->LoadFont(name);
    fonts.InsertLast(f);
    return f;
}

void AssetManager::ReleaseBitmap(kd_bitmap_t* bm) {
    int i = bitmaps.Find(bm);
    if (i < 0 || !kd) return;
    if (bm) kd->ReleaseBitmap(bm);
    bitmaps.RemoveIndex(i);
}

void AssetManager::ReleaseSound(kd_sound_t* sound) {
    int i = sounds.Find(sound);
    if (i < 0 || !kd) return;
    if (sound) kd->ReleaseSound(sound);
    sounds.RemoveIndex(i);
}

void AssetManager::ReleaseFont(kd_font_t* font) {
    int i = fonts.Find(font);
    if (i < 0 || !kd) return;
    if (font) kd->ReleaseFont(font);
    fonts.RemoveIndex(i);
}

void AssetManager::ReleaseAllAssets() {
    if (kd) {
        for (int i = 0; i < bitmaps.count; i++)
            if (bitmaps[i]) kd->ReleaseBitmap(bitmaps[i]);
        for (int i = 0; i < sounds.count; i++)
            if (sounds[i]) kd->ReleaseSound(sounds[i]);
    }
    bitmaps.count = 0;
    sounds.count = 0;
}
