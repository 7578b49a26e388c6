// The player's two volume settings (sound effects and music), applied to
// every sound and music request made through the manager, music
// switching, and the fade of the engine's master volume while the
// application is inactive.
#ifndef FRAMEWORK_AUDIOMAN_H
#define FRAMEWORK_AUDIOMAN_H

#include "framework-kd.h"
#include "kodo.h"

class AudioManager {
public:
    AudioManager() {}

    // Both volumes 0.75, halved with the product feature LOW_INITIAL_VOLUME;
    // hands the volume accessors to the profile manager, which then loads
    // the stored volumes into this manager.
    void Initialize();
    void Shutdown();

    // The volume is clamped to 0..1 and scaled by the sound volume.
    long PlaySound(kd_sound_t* sound, float volume, float pan, float frequency);
    // No fade-in; the third argument is kept for callers and not used.
    void PlayMusic(kd_sound_t* sound, float volume, float unused);
    // Restarts only when `sound` is not the music playing now; otherwise
    // slides the playing track back to the music volume over fade_in.
    void SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out);
    // Stores the clamped target as the music volume and slides to it.
    void SlideMusicVolume(float target, float time);
    void StopMusic(float fade);
    // Once a frame: fades the master volume toward 1 while the
    // application is active and toward 0 while it is not, 1 per second.
    void Update(float dt);

    float GetSoundVolume() const { return sound_volume; }
    float GetMusicVolume() const { return music_volume; }
    void SetSoundVolume(float v);
    // Stores the volume without touching the music playing.
    void SetMusicVolume(float v);
    float GetMasterFade() const { return master_fade; }

private:
    float sound_volume = 0.75f;
    float music_volume = 0.75f;
    float master_fade = 1.0f;
};

extern AudioManager aman;

#endif
