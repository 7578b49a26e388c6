// Sounds: the sound record, the sound implementation interface, the null
// implementation and the engine's sound table operations.
#ifndef KD_SOUND_H
#define KD_SOUND_H

#include <stdint.h>

#include "include/kodo.h"
#include "include/kd-records.h"



// The sound implementation interface: one current implementation plays
// the effects and the music.
class SoundImp {
public:
    virtual ~SoundImp() {}
    virtual bool IsSupported() = 0;
    virtual const char* GetName() = 0;
    virtual bool Initialize(kd_state_t* state, kd_parms_t* parms) = 0;
    virtual void Shutdown() = 0;
    virtual bool LoadSound(kd_sound_t* snd, const char* file) = 0;
    virtual void FreeSound(kd_sound_t* snd) = 0;
    virtual void SetMasterVolume(float volume) = 0;
    virtual long PlaySound(kd_sound_t* snd, float volume, float pan, float frequency) = 0;
    virtual void StopChannel(long channel) = 0;
    virtual void SetChannelPan(long channel, float pan) = 0;
    virtual void SetChannelVolume(long channel, float volume) = 0;
    virtual void SetChannelPaused(long channel, bool paused) = 0;
    virtual void SetChannelLooping(long channel, bool looping) = 0;
    virtual void SetChannelFrequency(long channel, float frequency) = 0;
    virtual bool IsChannelAlive(long channel) = 0;
    virtual kd_sound_t* GetChannelSound(long channel) = 0;
    virtual void SlideChannelVolume(long channel, float target_volume, float seconds) = 0;
    virtual bool PlayMusic(kd_sound_t* snd, float volume, float fade_in_seconds) = 0;
    virtual void StopMusic(float fade_out_seconds) = 0;
    virtual void SetMusicPaused(bool paused) = 0;
    virtual void SetMusicLooping(bool looping) = 0;
    virtual kd_sound_t* GetMusicPlaying() = 0;
    virtual void SlideMusicVolume(float target_volume, float seconds) = 0;
    virtual void ActivateWindow(bool active) = 0;
    virtual void FrameStart() = 0;
    virtual void FrameReady() = 0;
    virtual bool FillKodoInterface(kodo_t* table) = 0;
    virtual const char* CallExtension(const char* command, const char* parameter) = 0;
    // Bytes of sample data a loaded record holds (memory reports only).
    virtual long GetSoundDataSize(kd_sound_t* snd) { return 0; }
};

// Plays nothing; stands in when sound is off or the real one fails.
class SoundImpNull : public SoundImp {
public:
    bool IsSupported() override { return true; }
    const char* GetName() override { return "SoundImp Null"; }
    bool Initialize(kd_state_t*, kd_parms_t*) override { return true; }
    void Shutdown() override {}
    bool LoadSound(kd_sound_t*, const char*) override { return true; }
    void FreeSound(kd_sound_t*) override {}
    void SetMasterVolume(float) override {}
    long PlaySound(kd_sound_t*, float, float, float) override { return 0; }
    void StopChannel(long) override {}
    void SetChannelPan(long, float) override {}
    void SetChannelVolume(long, float) override {}
    void SetChannelPaused(long, bool) override {}
    void SetChannelLooping(long, bool) override {}
    void SetChannelFrequency(long, float) override {}
    bool IsChannelAlive(long) override { return false; }
    kd_sound_t* GetChannelSound(long) override { return nullptr; }
    void SlideChannelVolume(long, float, float) override {}
    bool PlayMusic(kd_sound_t*, float, float) override { return false; }
    void StopMusic(float) override {}
    void SetMusicPaused(bool) override {}
    void SetMusicLooping(bool) override {}
    kd_sound_t* GetMusicPlaying() override { return nullptr; }
    void SlideMusicVolume(float, float) override {}
    void ActivateWindow(bool) override {}
    void FrameStart() override {}
    void FrameReady() override {}
    bool FillKodoInterface(kodo_t*) override { return true; }
    const char* CallExtension(const char*, const char*) override { return nullptr; }
};

SoundImp* GetSoundImpNull();

// The platform's implementation (one instance for the process).
SoundImp* KODO_SoundImp_GetInterface();
SoundImp* KDID_LoadSoundImp(const char* name);
void KDID_UnloadSoundImp();
// Tests may replace the factory KDID_LoadSoundImp asks; null restores it.
void KDID_SetSoundImpFactory(SoundImp* (*factory)(const char* name));

// Loads the file of a record through the current implementation, trying
// ".wav", ".ogg" and ".mp3" when the name has no extension.
bool KDI_LoadSound(kd_sound_t* snd);
// Shuts the current implementation down, starts the configured one again
// and reloads every loaded record.
void KDI_ReInitSounds();
// The frame's calls of the current implementation.
void KDI_SoundFrameStart();
void KDI_SoundFrameReady();
// Window activation for the current implementation.
void KDI_SoundActivateWindow(bool active);

#endif
