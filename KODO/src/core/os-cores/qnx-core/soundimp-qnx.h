// The platform's sound implementation: one PCM playback stream per effect
// channel, mixed by the platform's audio service, fed by one thread; music
// through the platform's multimedia renderer.
#ifndef SOUNDIMP_QNX_H
#define SOUNDIMP_QNX_H

#include <bps/bps.h>
#include <mm/renderer.h>
#include <sys/asoundlib.h>

#include <atomic>
#include <thread>

#include "kd-internal.h"
#include "kd-wav.h"

enum {
    KDQ_NUM_CHANNELS = 12,
    KDQ_RATE = 22050,
    KDQ_RATE_TOLERANCE = 2000,
    KDQ_MAX_CHUNK = 8820,            // 200 ms of 22050 Hz 16-bit mono
    KDQ_FALLBACK_FRAGMENT = 2048,    // when the device reports no size
    KDQ_CHANNEL_REST_MS = 500,       // a finished channel's id answers this long
    KDQ_MAX_INSTANCES = 3,
};

class kdSoundChannel {
public:
    int number = 0;
    long id = 0;
    bool playing = false;
    int queued = 0;
    snd_pcm_t* pcm = nullptr;
    snd_mixer_t* mixer = nullptr;
    snd_pcm_channel_info_t info;
    snd_pcm_channel_params_t params;
    snd_mixer_group_t group;
    snd_pcm_channel_setup_t setup;
    int card = -1;
    int last_status = 0;
    int fragment_size = 0;
    int chunk_size = 0;
    int position = 0;
    kdSample* sample = nullptr;
    unsigned int last_activity = 0;
    bool looping = false;
    bool paused = false;
    float volume = 0.0f;
    kd_mutex_t* mutex = nullptr;
    int volume_key = -1;

    kdSoundChannel();
    void Lock();
    void Unlock();
    // Writes the next chunk; the caller holds the channel mutex.
    bool Feed();
};

// The music side: the renderer connection and the one current track.
class QNX_MusicPlayer {
public:
    mmr_connection_t* connection = nullptr;
    mmr_context_t* context = nullptr;
    int event_request = 0;
    int output_id = -1;
    kd_sound_t* current = nullptr;
    float volume = 1.0f;
    int volume_percent = -1;
    char context_name[64] = {0};

    void Connect();
    void Close();
    bool Play(kd_sound_t* snd, float volume);
    void Stop();
    void SlideVolume(float target);
    void SetVolume(float v);
    void Activate(bool active);
    void HandleMMREvent(bps_event_t* event);
    void TrackEnded();
    // The file URL of a track; false when none fits in `size` bytes.
    bool BuildUrl(const char* file, char* url, int size);
};

class SoundImpQNX : public SoundImp {
public:
    QNX_MusicPlayer music;
    nArray<kdSoundChannel*> channels;
    long next_channel_id = 1;
    std::atomic<bool> active{false};
    kdSample* silence = nullptr;

    bool IsSupported() override { return true; }
    const char* GetName() override { return "QNX SoundImp"; }
    bool Initialize(kd_state_t* state, kd_parms_t* parms) override;
    void Shutdown() override;
    bool LoadSound(kd_sound_t* snd, const char* file) override;
    void FreeSound(kd_sound_t* snd) override;
    void SetMasterVolume(float volume) override;
    long PlaySound(kd_sound_t* snd, float volume, float pan, float frequency) override;
    void StopChannel(long id) override;
    void SetChannelPan(long, float) override {}
    void SetChannelVolume(long id, float volume) override;
    void SetChannelPaused(long id, bool paused) override;
    void SetChannelLooping(long id, bool looping) override;
    void SetChannelFrequency(long, float) override {}
    bool IsChannelAlive(long id) override;
    kd_sound_t* GetChannelSound(long id) override;
    void SlideChannelVolume(long id, float target, float seconds) override;
    bool PlayMusic(kd_sound_t* snd, float volume, float fade_in) override;
    void StopMusic(float fade_out) override;
    void SetMusicPaused(bool) override {}
    void SetMusicLooping(bool) override {}
    kd_sound_t* GetMusicPlaying() override { return music.current; }
    void SlideMusicVolume(float target, float seconds) override;
    void ActivateWindow(bool active) override;
    void FrameStart() override {}
    void FrameReady() override {}
    bool FillKodoInterface(kodo_t*) override { return true; }
    const char* CallExtension(const char*, const char*) override { return nullptr; }
    long GetSoundDataSize(kd_sound_t* snd) override;
    virtual int GetNumberOfSoundInstancesPlaying(kd_sound_t* snd);

    // One pass of the feeding thread over every channel. True when any
    // bytes went to a stream.
    bool FeedChannels();
    // The feeding thread's loop.
    void Run();

    // Test hooks: the clock of the channel rules (engine clock by default).
    unsigned int (*clock)() = KD_GetTime;
    // The channel that plays the endless silence, null when none opened.
    kdSoundChannel* SilenceChannel() { return silence_channel; }
    bool FeederRunning() const { return feeder_running.load(); }

private:
    // The feeding thread is the engine's own ("QNX audio"), counted and
    // waited for at shutdown like every other; it clears `feeder_running`
    // as the last thing it does with this object.
    std::atomic<bool> feeder_running{false};
    std::atomic<bool> stop_feeder{false};
    kd_mutex_t* channel_mutex = nullptr;
    kdSoundChannel* silence_channel = nullptr;

    bool OpenChannel(kdSoundChannel* ch, int n);
    void CloseChannel(kdSoundChannel* ch);
    void StopFeeder();
    // The lookups below expect the channel mutex to be held.
    kdSoundChannel* FindLocked(long id);
    kdSoundChannel* FreeChannelLocked();
    int InstancesLocked(kdSample* s);
    void StopLocked(kdSoundChannel* ch);
    void StartLocked(kdSoundChannel* ch, kdSample* s);
    void ApplyVolume(kdSoundChannel* ch, float v);
};

extern SoundImpQNX* si_qnx;
extern float kd_qnx_master_volume;
void KD_QNX_MusicTrackEnded();

#endif
