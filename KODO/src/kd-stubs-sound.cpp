// Least-safe stand-ins for sounds and music until they are built: no sound
// loads, no channel lives.
#include "kd-internal.h"

kd_sound_t* KD_GetSound(const char* name) { return nullptr; }
kd_sound_t* KD_LoadSound(const char* name) { return nullptr; }
kd_sound_t* KD_GetSoundEx(const char* name, int cache_mode) { return nullptr; }
void KD_ReleaseSound(kd_sound_t* sound) {}
void KD_SetSoundCacheMode(kd_sound_t* sound, int mode) {}
void KD_SetMasterVolume(float volume) {}
long KD_PlaySound(kd_sound_t* sound, float volume, float pan, float frequency) { return 0; }
void KD_StopChannel(long channel) {}
void KD_SetChannelPan(long channel, float pan) {}
void KD_SetChannelVolume(long channel, float volume) {}
void KD_SetChannelPaused(long channel, bool paused) {}
void KD_SetChannelLooping(long channel, bool looping) {}
void KD_SetChannelFrequency(long channel, float frequency) {}
bool KD_IsChannelAlive(long channel) { return false; }
kd_sound_t* KD_GetChannelSound(long channel) { return nullptr; }
void KD_SlideChannelVolume(long channel, float volume, float seconds) {}
void KD_StopChannelWithFade(long channel, float seconds) {}
void KD_PlayMusic(kd_sound_t* sound, float volume, float fade_in) {}
void KD_StopMusic(float fade_out) {}
void KD_SetMusicPaused(bool paused) {}
void KD_SetMusicLooping(bool looping) {}
kd_sound_t* KD_GetMusicPlaying() { return nullptr; }
void KD_SlideMusicVolume(float volume, float seconds) {}
bool KDI_LoadSoundImp() { return false; }
void KDI_ShutdownSoundImp() {}
void KDI_ReleaseSoundsAtExit() {}
