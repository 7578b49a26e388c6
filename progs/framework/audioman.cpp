#include "audioman.h"

#include "fw-hooks.h"
#include "profiles.h"
#include "screen-manager.h"

AudioManager aman;

static float Clamp01(float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); }

void AudioManager::Initialize() {
    if (kd) kd->PrintDebugf(3, "AudioManager::Initialize.\n");
    sound_volume = music_volume = 0.75f;
    if (FW_FeatureExists("LOW_INITIAL_VOLUME")) sound_volume = music_volume = 0.375f;
    // The profiles load after this and put the stored volumes here.
    ProfileManager::AudioHooks hooks;
    hooks.GetSoundVolume = [] { return aman.GetSoundVolume(); };
    hooks.GetMusicVolume = [] { return aman.GetMusicVolume(); };
    hooks.SetSoundVolume = [](float v) { aman.SetSoundVolume(v); };
    hooks.SetMusicVolume = [](float v) { aman.SetMusicVolume(v); };
    profile_man.SetAudioHooks(hooks);
}

void AudioManager::Shutdown() {
    if (kd) kd->PrintDebugf(3, "AudioManager::Shutdown.\n");
}

void AudioManager::SetSoundVolume(float v) { sound_volume = Clamp01(v); }
void AudioManager::SetMusicVolume(float v) { music_volume = Clamp01(v); }

long AudioManager::PlaySound(kd_sound_t* sound, float volume, float pan, float frequency) {
    if (!kd || !sound) return 0;
    return kd->PlaySound(sound, Clamp01(volume) * sound_volume, pan, frequency);
}

void AudioManager::PlayMusic(kd_sound_t* sound, float volume, float) {
    if (!kd || !sound) return;
    kd->PlayMusic(sound, Clamp01(volume) * music_volume, 0);
}

void AudioManager::SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out) {
    // Stopping and starting a track takes long enough to make the next
    // frame's step a jump.
    sman.zero_next_time_step = true;
    if (!kd) return;
    if (sound != kd->GetMusicPlaying()) {
        kd->StopMusic(fade_out);
        if (sound) kd->PlayMusic(sound, music_volume, fade_in);
    } else if (sound) {
        kd->SlideMusicVolume(music_volume, fade_in);
    }
}

void AudioManager::SlideMusicVolume(float target, float time) {
    music_volume = Clamp01(target);
    if (kd) kd->SlideMusicVolume(music_volume, time);
}

void AudioManager::StopMusic(float fade) {
    if (kd) kd->StopMusic(fade);
}

void AudioManager::Update(float dt) {
    master_fade += sman.application_active ? dt : -dt;
    master_fade = Clamp01(master_fade);
    if (kd) kd->SetMasterVolume(master_fade);
}

// ---------------------------------------------------------------------------
// Hooks (fw-hooks.h): start-up, the frame update and the script bindings.

void FW_InitAudio() { aman.Initialize(); }
void FW_UpdateAudio(float dt) { aman.Update(dt); }
float FW_GetMusicVolume() { return aman.GetMusicVolume(); }
float FW_GetSoundVolume() { return aman.GetSoundVolume(); }
void FW_SetSoundVolume(float volume) { aman.SetSoundVolume(volume); }
void FW_SlideMusicVolume(float volume, float seconds) { aman.SlideMusicVolume(volume, seconds); }
long FW_PlaySound(kd_sound_t* sound, float volume, float pan, float frequency) {
    return aman.PlaySound(sound, volume, pan, frequency);
}
void FW_SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out) { aman.SwitchMusic(sound, fade_in, fade_out); }
void FW_StopMusic(float fade_out) { aman.StopMusic(fade_out); }
