#include "audioman.h"

#include "feature-manager.h"
#include "manager.h"
#include "profiles.h"

AudioManager aman;

static float Clamp01(float v) { return v < 0 ? 0.0f : (v > 1 ? 1.0f : v); }

void AudioManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AudioManager::Initialize.\n");
    sound_volume = music_volume = 0.75f;
    if (feature_man.ProductFeatureExists("LOW_INITIAL_VOLUME")) sound_volume = music_volume = 0.375f;
    // The profiles load after this and put the stored volumes here.
    ProfileManager::AudioHooks hooks;
    hooks.GetSoundVolume = [] { return aman.GetSoundVolume(); };
    hooks.GetMusicVolume = [] { return aman.GetMusicVolume(); };
    hooks.SetSoundVolume = [](float v) { aman.SetSoundVolume(v); };
    hooks.SetMusicVolume = [](float v) { aman.SetMusicVolume(v); };
    profile_man.SetAudioHooks(hooks);
}

void AudioManager::Shutdown() { kd->PrintDebugf(KD_LOG_SYSTEM, "AudioManager::Shutdown.\n"); }

void AudioManager::SetSoundVolume(float v) { sound_volume = Clamp01(v); }
void AudioManager::SetMusicVolume(float v) { music_volume = Clamp01(v); }

long AudioManager::PlaySound(kd_sound_t* sound, float volume, float pan, float frequency) {
    if (!sound) return 0;
    return kd->PlaySound(sound, Clamp01(volume) * sound_volume, pan, frequency);
}

void AudioManager::PlayMusic(kd_sound_t* sound, float volume, float) {
    if (!sound) return;
    kd->PlayMusic(sound, Clamp01(volume) * music_volume, 0);
}

void AudioManager::SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out) {
    // Stopping and starting a track takes long enough to make the next
    // frame's step a jump.
    frame_state.zero_next_time_step = true;
    if (sound != kd->GetMusicPlaying()) {
        kd->StopMusic(fade_out);
        if (sound) kd->PlayMusic(sound, music_volume, fade_in);
    } else if (sound) {
        kd->SlideMusicVolume(music_volume, fade_in);
    }
}

void AudioManager::SlideMusicVolume(float target, float time) {
    music_volume = Clamp01(target);
    kd->SlideMusicVolume(music_volume, time);
}

void AudioManager::StopMusic(float fade) {
    kd->StopMusic(fade);
}

void AudioManager::Update(float dt) {
    master_fade += frame_state.application_active ? dt : -dt;
    master_fade = Clamp01(master_fade);
    kd->SetMasterVolume(master_fade);
}
