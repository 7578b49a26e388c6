// The framework's start-up and shutdown sequencer, and the registry
// through which a game loads its own assets so that it can release them
// together.
//
// The managers are global objects built before main; Manager brings them
// up in two phases (before the video mode is set, on the engine's
// parameters event; and in the program's Init) and takes them down in the
// program's Shutdown. Managers written in files of their own are reached
// through the hooks of fw-hooks.h.
#ifndef FRAMEWORK_MANAGER_H
#define FRAMEWORK_MANAGER_H

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class Manager {
public:
    Manager() : one(1) {}

    // Always true.
    static bool PreInitializeBeforeVideoInit();
    static void InitializeAll();
    static void Shutdown();

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

// A fault in the game's own data (a timeline, a layout): a popup in
// developer mode, where the author sees it, and a level-1 log line
// otherwise, where a popup would leave no trace.
void ReportDataFault(const char* format, ...) N_PRINTF_LIKE(1, 2);

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
