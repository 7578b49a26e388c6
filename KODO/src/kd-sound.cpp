// The sound table, the sound and music operations of the interface table,
// and the choice of the sound implementation.
#include <string.h>

#include "kd-internal.h"

static const int kMaxSoundRefCount = 4096;
// The same sound does not start twice within this many milliseconds.
static const unsigned int kReplayGuardMs = 50;

// ---------------------------------------------------------------------------
// Implementations

SoundImp* GetSoundImpNull() {
    static SoundImpNull instance;
    return &instance;
}

static SoundImp* DefaultSoundImpFactory(const char*) { return KODO_SoundImp_GetInterface(); }
static SoundImp* (*sound_imp_factory)(const char*) = DefaultSoundImpFactory;

void KDID_SetSoundImpFactory(SoundImp* (*factory)(const char*)) {
    sound_imp_factory = factory ? factory : DefaultSoundImpFactory;
}

// This platform has exactly one implementation, whatever the name.
SoundImp* KDID_LoadSoundImp(const char* name) { return sound_imp_factory(name); }

void KDID_UnloadSoundImp() {
    kd_state.sound_imp = GetSoundImpNull();
    kd_state.sound_imp->FillKodoInterface(kd);
}

// The current implementation, the null one when none is set.
static SoundImp* Imp() { return kd_state.sound_imp ? kd_state.sound_imp : GetSoundImpNull(); }

static bool Counting() { return kd_state.print_reference_count_changes || KDI_FeatureExists("PRINT_REFERENCE_COUNT_CHANGES"); }

// Starts the configured implementation; the null one stands in on failure.
static bool StartConfiguredImp() {
    SoundImp* imp = KDID_LoadSoundImp(kd_state.sound_imp_name);
    if (imp && imp->Initialize(&kd_state, &kd_parms)) {
        kd_state.sound_imp = imp;
        imp->FillKodoInterface(kd);
        return true;
    }
    kd_state.sound_imp = GetSoundImpNull();
    kd_state.sound_imp->FillKodoInterface(kd);
    return false;
}

// Reloads every record that was loaded; hibernated and built-in records
// stay as they are.
static void ReloadSounds() {
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (!s->name || s->name[0] == '!' || !(s->cache_mode & KD_SOUND_CACHE_LOAD)) continue;
        if (!KDI_LoadSound(s)) KD_PrintDebugf(KD_LOG_WARNING, "Unable to reload sound '%s'\n", s->name);
    }
}

// Start-up and re-initialisation both come here: a running implementation
// is shut down first, and records loaded under it are loaded again.
bool KDI_LoadSoundImp() {
    if (kd_state.sound_imp && kd_state.sound_imp != GetSoundImpNull()) kd_state.sound_imp->Shutdown();
    bool ok = StartConfiguredImp();
    ReloadSounds();
    return ok;
}

void KDI_ReInitSounds() {
    if (kd_prog) kd_parms.no_sound = kd_prog->parms.no_sound;
    if (kd_parms.no_sound) {
        if (kd_state.sound_imp) kd_state.sound_imp->Shutdown();
        KDID_UnloadSoundImp();
        return;
    }
    if (KDI_LoadSoundImp())
        KD_PrintDebugf(KD_LOG_SYSTEM, "SoundImp initialized.\n");
    else
        KD_PrintDebugf(KD_LOG_WARNING, "No Sound Implementation available.\n");
}

void KDI_ShutdownSoundImp() {
    if (kd_state.sound_imp) kd_state.sound_imp->Shutdown();
    KDID_UnloadSoundImp();
}

void KDI_SoundFrameStart() { Imp()->FrameStart(); }
void KDI_SoundFrameReady() { Imp()->FrameReady(); }
void KDI_SoundActivateWindow(bool active) { Imp()->ActivateWindow(active); }

// ---------------------------------------------------------------------------
// Loading

bool KDI_LoadSound(kd_sound_t* snd) {
    if (!snd || !snd->name) return false;
    const char* name = snd->name;
    int len = (int)strlen(name);
    // An extension is a '.' after the last '/', not at the very start.
    bool has_extension = false;
    for (int i = len - 1; i > 0; i--) {
        if (name[i] == '/') break;
        if (name[i] == '.') {
            has_extension = true;
            break;
        }
    }
    if (has_extension) return Imp()->LoadSound(snd, name);
    static const char* const endings[] = {"%s.wav", "%s.ogg", "%s.mp3"};
    bool ok = false;
    for (const char* ending : endings) {
        char file[512];
        int n = snprintf(file, sizeof file, ending, name);
        if (n < 0 || n >= (int)sizeof file) {
            ok = false;
            continue;
        }
        ok = Imp()->LoadSound(snd, file);
        if (ok) break;
    }
    return ok;
}

void KD_SetSoundCacheMode(kd_sound_t* snd, int mode) {
    if (!snd || mode == snd->cache_mode) return;
    if (mode & KD_SOUND_CACHE_LOAD) {
        if (!KDI_LoadSound(snd)) KD_Popupf(1, "Sound resource '%s' not found.\n", snd->name ? snd->name : "");
        snd->cache_mode = (int8_t)mode;
    } else if (mode == KD_SOUND_CACHE_NONE) {
        Imp()->FreeSound(snd);
        snd->imp_data[0] = snd->imp_data[1] = nullptr;
        snd->cache_mode = KD_SOUND_CACHE_NONE;
    }
}

// ---------------------------------------------------------------------------
// The table

// Under GET_SOUND.
static kd_sound_t* FindSound(const char* name) {
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (s->name && strcmp(s->name, name) == 0) return s;
    }
    return nullptr;
}

// Under GET_SOUND; unlocks in every case. Null when the table is full.
static kd_sound_t* CreateSoundUnlock(const char* name) {
    int slot = -1;
    for (int i = 0; i < kd_state.num_sounds && slot < 0; i++)
        if (!kd_state.sounds[i].name) slot = i;
    if (slot < 0) slot = kd_state.num_sounds;
    if (slot >= KD_MAX_SOUNDS) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
        KD_Popupf(2, " ! Kodo out of free sounds.\n");
        return nullptr;
    }
    if (slot == kd_state.num_sounds) kd_state.num_sounds++;
    kd_sound_t* s = &kd_state.sounds[slot];
    memset(s, 0, sizeof *s);
    s->name = nStringDuplicate(name);
    s->ref_count = 1;
    s->volume = 1.0f;
    s->pan = 0.0f;
    s->frequency = 1.0f;
    s->priority = 0.0f;
    s->max_instances = -1;
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
    return s;
}

kd_sound_t* KD_GetSound(const char* name) { return KD_GetSoundEx(name, KD_SOUND_CACHE_LOAD); }

kd_sound_t* KD_GetSoundEx(const char* name, int mode) {
    if (!name) {
        KD_Popupf(1, "KD_GetSoundEx called with null parameter (forbidden).\n");
        name = "";
    }
    KDI_LockCoreMutex(KD_MUTEX_GET_SOUND);
    kd_sound_t* s = FindSound(name);
    if (s) {
        // Counted under the lock: two threads asking at once count once.
        int counted = 0;
        if (mode != KD_SOUND_CACHE_LOOKUP && name[0] != '!' && !(s->flags & KD_SOUND_COUNTED_BY_GET)) {
            s->flags |= KD_SOUND_COUNTED_BY_GET;
            counted = ++s->ref_count;
        }
        KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
        if (counted && Counting()) KD_Printf("'%s' ref count++ (GetSound): now %d", name, counted);
        return s;
    }
    if (mode == KD_SOUND_CACHE_LOOKUP) {
        KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
        return nullptr;
    }
    KD_Printf("..caching sound '%s'\n", name);
    s = CreateSoundUnlock(name);
    if (!s) return nullptr;
    s->flags |= KD_SOUND_COUNTED_BY_GET;
    if (Counting()) KD_Printf("'%s' ref count = 1 (GetSound)", name);
    if (strcasecmp(name, "!NONE") == 0) {
        s->cache_mode = (int8_t)mode;
        return s;
    }
    s->cache_mode = KD_SOUND_CACHE_NONE;
    KD_SetSoundCacheMode(s, mode);
    return s;
}

kd_sound_t* KD_LoadSound(const char* name) {
    if (!name) {
        KD_Popupf(1, "kd->LoadSound called with null parameter (forbidden).\n");
        name = "";
    }
    KDI_LockCoreMutex(KD_MUTEX_GET_SOUND);
    kd_sound_t* s = FindSound(name);
    if (s) {
        if (name[0] != '!') {
            s->ref_count++;
            if (Counting()) KD_Printf("'%s' ref count++: now %d", name, s->ref_count);
            if (s->ref_count > kMaxSoundRefCount) {
                KD_Popupf(1, "Sound '%s' reference count suspiciously high: capping at %d.\n", name,
                          kMaxSoundRefCount);
                s->ref_count = kMaxSoundRefCount;
            }
        }
        int count = s->ref_count;
        KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
        // Back from hibernation.
        if (count == 1) KD_SetSoundCacheMode(s, KD_SOUND_CACHE_LOAD);
        return s;
    }
    KD_Printf("..caching sound '%s'\n", name);
    s = CreateSoundUnlock(name);
    if (!s) return nullptr;
    if (Counting()) KD_Printf("'%s' ref count = 1", name);
    if (strcasecmp(name, "!NONE") == 0) {
        s->cache_mode = KD_SOUND_CACHE_LOAD;
        return s;
    }
    s->cache_mode = KD_SOUND_CACHE_NONE;
    KD_SetSoundCacheMode(s, KD_SOUND_CACHE_LOAD);
    return s;
}

void KD_ReleaseSound(kd_sound_t* snd) {
    if (!snd || !snd->name) return;
    KDI_LockCoreMutex(KD_MUTEX_GET_SOUND);
    if (kd_state.reference_counting) {
        snd->ref_count--;
        if (Counting()) KD_Printf("ReleaseSound: '%s' ref count--: now %d", snd->name, snd->ref_count);
        if ((snd->flags & KD_SOUND_COUNTED_BY_GET) && snd->ref_count == 0)
            KD_Popupf(1,
                      "Releasing sound '%s' too many times: ref counting will get messed up. NOTE: sound has been "
                      "accessed using GetSound which increses ref count by 1 once.",
                      snd->name);
        if (snd->ref_count < 0) {
            snd->ref_count = 0;
            KD_Popupf(1, "Sound '%s' reference count less than zero.\n", snd->name);
        } else if (snd->ref_count == 0) {
            KD_Printf("Hibernating sound '%s'..\n", snd->name);
            KD_SetSoundCacheMode(snd, KD_SOUND_CACHE_NONE);
        }
    } else {
        Imp()->FreeSound(snd);
        free(snd->name);
        snd->name = nullptr;
        snd->imp_data[0] = snd->imp_data[1] = nullptr;
        snd->cache_mode = KD_SOUND_CACHE_NONE;
    }
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
}

void KDI_ReleaseSoundsAtExit() {
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (!s->name) continue;
        if (kd_state.reference_counting && s->ref_count != 0) {
            KD_PrintDebugf(KD_LOG_WARNING, "Sound '%s' Reference count %d at exit, releasing...\n", s->name,
                           s->ref_count);
            s->ref_count = 1;
            s->flags &= (uint8_t)~KD_SOUND_COUNTED_BY_GET;
        }
        if (!kd_state.reference_counting || s->ref_count != 0) KD_ReleaseSound(s);
    }
    // Hibernated records keep their names until here.
    KDI_LockCoreMutex(KD_MUTEX_GET_SOUND);
    for (int i = 0; i < kd_state.num_sounds; i++) {
        kd_sound_t* s = &kd_state.sounds[i];
        if (s->name) {
            Imp()->FreeSound(s);
            free(s->name);
        }
        memset(s, 0, sizeof *s);
    }
    kd_state.num_sounds = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
}

// ---------------------------------------------------------------------------
// Channels

static bool Playable(kd_sound_t* snd) { return snd && snd->name && snd->name[0] != '!'; }

long KD_PlaySound(kd_sound_t* snd, float volume, float pan, float frequency) {
    if (!Playable(snd)) return 0;
    unsigned int now = KD_GetTime();
    if (snd->last_play_time != 0 && now - snd->last_play_time < kReplayGuardMs) return 0;
    snd->last_play_time = now ? now : 1;
    return Imp()->PlaySound(snd, volume, pan, frequency);
}

void KD_StopChannel(long channel) {
    if (channel) Imp()->StopChannel(channel);
}
void KD_SetChannelPan(long channel, float pan) {
    if (channel) Imp()->SetChannelPan(channel, pan);
}
void KD_SetChannelVolume(long channel, float volume) {
    if (channel) Imp()->SetChannelVolume(channel, volume);
}
void KD_SetChannelPaused(long channel, bool paused) {
    if (channel) Imp()->SetChannelPaused(channel, paused);
}
void KD_SetChannelLooping(long channel, bool looping) {
    if (channel) Imp()->SetChannelLooping(channel, looping);
}
void KD_SetChannelFrequency(long channel, float frequency) {
    if (channel) Imp()->SetChannelFrequency(channel, frequency);
}
bool KD_IsChannelAlive(long channel) { return channel ? Imp()->IsChannelAlive(channel) : false; }
kd_sound_t* KD_GetChannelSound(long channel) { return channel ? Imp()->GetChannelSound(channel) : nullptr; }
void KD_SlideChannelVolume(long channel, float volume, float seconds) {
    if (channel) Imp()->SlideChannelVolume(channel, volume, seconds);
}
// A negative target asks the channel to stop.
void KD_StopChannelWithFade(long channel, float seconds) {
    if (channel) Imp()->SlideChannelVolume(channel, -0.1f, seconds);
}
void KD_SetMasterVolume(float volume) { Imp()->SetMasterVolume(volume); }

// ---------------------------------------------------------------------------
// Music

static float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void KD_PlayMusic(kd_sound_t* snd, float volume, float fade_in) {
    if (!snd) return;
    if (kd_state.developer_mode) {
        if (fade_in > 10.0f) KD_Popupf(1, "KD_PlayMusic: Fade in time is suspiciously high (%g)", fade_in);
        if (volume < 0.0f || volume > 1.0f)
            KD_Popupf(1, "KD_PlayMusic: Volume parameter out of range 0..1 (%g)", volume);
    }
    volume = Clamp01(volume);
    kd_sound_t* playing = kd->GetMusicPlaying();
    if (snd == playing) {
        kd->SetMusicLooping(true);
        kd->SlideMusicVolume(volume, 1.0f);
        return;
    }
    if (playing) kd->StopMusic(2.0f);
    if (snd->name && snd->name[0] != '!') Imp()->PlayMusic(snd, volume, fade_in);
}

void KD_StopMusic(float fade_out) {
    if (kd_state.developer_mode && fade_out > 10.0f)
        KD_Popupf(1, "Fade out time in KD_StopMusic suspiciously high (%g)", fade_out);
    Imp()->StopMusic(fade_out);
}

void KD_SlideMusicVolume(float target, float seconds) {
    if (kd_state.developer_mode) {
        if (seconds > 10.0f) KD_Popupf(1, "KD_SlideMusicVolume: slide_time is suspiciously high (%g)", seconds);
        if (target < 0.0f || target > 1.0f)
            KD_Popupf(1, "KD_SlideMusicVolume: target_volume parameter out of range 0..1 (%g)", target);
    }
    Imp()->SlideMusicVolume(Clamp01(target), seconds);
}

void KD_SetMusicPaused(bool paused) { Imp()->SetMusicPaused(paused); }
void KD_SetMusicLooping(bool looping) { Imp()->SetMusicLooping(looping); }
kd_sound_t* KD_GetMusicPlaying() { return Imp()->GetMusicPlaying(); }
