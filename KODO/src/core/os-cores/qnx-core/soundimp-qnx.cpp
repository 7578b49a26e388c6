// Sound effects on PCM playback streams: twelve channels, each its own
// stream with its own mixer group, fed by the "QNX audio" thread. The
// platform's audio service mixes the streams; the engine mixes nothing.
#include "soundimp-qnx.h"

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>

SoundImpQNX* si_qnx = nullptr;
float kd_qnx_master_volume = 1.0f;
// Where the search for a free channel starts next: consecutive effects
// rotate over the channels.
static int free_channel_start = -1;

SoundImp* KODO_SoundImp_GetInterface() {
    if (!si_qnx) si_qnx = new SoundImpQNX;
    return si_qnx;
}

static float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// The fragment size the channel works with: what the device reports, or
// what was asked for when it reports nothing usable.
int KDQ_SaneFragmentSize(int reported, int requested) {
    if (reported > 0) return reported;
    if (requested > 0) return requested;
    return KDQ_FALLBACK_FRAGMENT;
}

// The most written in one go: whole fragments up to 200 ms, and at least
// one fragment when a fragment is larger than that.
int KDQ_ChunkSize(int fragment) {
    if (fragment <= 0) fragment = KDQ_FALLBACK_FRAGMENT;
    int chunk = (KDQ_MAX_CHUNK / fragment) * fragment;
    return chunk > 0 ? chunk : fragment;
}

// ---------------------------------------------------------------------------
// Channels

kdSoundChannel::kdSoundChannel() {
    memset(&info, 0, sizeof info);
    memset(&params, 0, sizeof params);
    memset(&group, 0, sizeof group);
    memset(&setup, 0, sizeof setup);
}

void kdSoundChannel::Lock() { KD_LockMutex(mutex); }
void kdSoundChannel::Unlock() { KD_UnlockMutex(mutex); }

static bool StatusOf(snd_pcm_t* pcm, snd_pcm_channel_status_t* st) {
    memset(st, 0, sizeof *st);
    st->channel = SND_PCM_CHANNEL_PLAYBACK;
    return snd_pcm_plugin_status(pcm, st) >= 0;
}

bool kdSoundChannel::Feed() {
    if (!playing || !sample) return false;
    if (mixer) snd_mixer_read(mixer, nullptr);
    if (paused) return true;
    if (position >= sample->size || !sample->data) return false;
    int n = sample->size - position;
    if (n > chunk_size) n = chunk_size;
    ssize_t written = snd_pcm_plugin_write(pcm, sample->data + position, (size_t)n);
    if (written < 0) written = 0;
    position += (int)written;
    if (written < n) {
        snd_pcm_channel_status_t st;
        if (!StatusOf(pcm, &st)) {
            fprintf(stderr, "underrun: playback channel status error\n");
            return true;
        }
        last_status = st.status;
        if (st.status == SND_PCM_STATUS_READY || st.status == SND_PCM_STATUS_UNDERRUN) {
            if (snd_pcm_plugin_prepare(pcm, SND_PCM_CHANNEL_PLAYBACK) < 0) {
                fprintf(stderr, "underrun: playback channel prepare error\n");
                return true;
            }
        }
        ssize_t more = snd_pcm_plugin_write(pcm, sample->data + position, (size_t)(n - written));
        if (more > 0) position += (int)more;
    }
    if (looping && position >= sample->size) position = 0;
    return true;
}

bool SoundImpQNX::OpenChannel(kdSoundChannel* ch, int n) {
    int device = 0;
    if (snd_pcm_open_preferred(&ch->pcm, &ch->card, &device, SND_PCM_OPEN_PLAYBACK) < 0) return false;
    if (snd_pcm_plugin_set_disable(ch->pcm, PLUGIN_DISABLE_MMAP) < 0) return false;
    if (snd_pcm_nonblock_mode(ch->pcm, 1) < 0) return false;

    memset(&ch->info, 0, sizeof ch->info);
    ch->info.channel = SND_PCM_CHANNEL_PLAYBACK;
    if (snd_pcm_plugin_info(ch->pcm, &ch->info) < 0) return false;

    snd_pcm_channel_params_t& p = ch->params;
    memset(&p, 0, sizeof p);
    p.channel = SND_PCM_CHANNEL_PLAYBACK;
    p.mode = SND_PCM_MODE_BLOCK;
    p.format.interleave = 1;
    p.format.format = SND_PCM_SFMT_S16_LE;
    p.format.rate = KDQ_RATE;
    p.format.voices = 1;
    p.start_mode = SND_PCM_START_FULL;
    p.stop_mode = SND_PCM_STOP_STOP;
    p.buf.block.frag_size = KDQ_SaneFragmentSize(ch->info.max_fragment_size, 0);
    p.buf.block.frags_min = 1;
    p.buf.block.frags_max = -1;
    snprintf(p.sw_mixer_subchn_name, sizeof p.sw_mixer_subchn_name, "kdChannel%.2d", ch->number);
    if (snd_pcm_plugin_params(ch->pcm, &p) < 0) return false;
    if (snd_pcm_plugin_prepare(ch->pcm, SND_PCM_CHANNEL_PLAYBACK) < 0) return false;

    memset(&ch->setup, 0, sizeof ch->setup);
    memset(&ch->group, 0, sizeof ch->group);
    ch->setup.channel = SND_PCM_CHANNEL_PLAYBACK;
    ch->setup.mixer_group = &ch->group;
    if (snd_pcm_plugin_setup(ch->pcm, &ch->setup) < 0) return false;
    ch->setup.mixer_group = nullptr;  // points into the channel; not kept
    if (!ch->group.gid.name[0]) return false;
    if (snd_mixer_open(&ch->mixer, ch->card, ch->setup.mixer_device) < 0) return false;

    ch->fragment_size = KDQ_SaneFragmentSize(ch->setup.buf.block.frag_size, p.buf.block.frag_size);
    ch->chunk_size = KDQ_ChunkSize(ch->fragment_size);
    return true;
}

void SoundImpQNX::CloseChannel(kdSoundChannel* ch) {
    if (ch->mixer) snd_mixer_close(ch->mixer);
    if (ch->pcm) snd_pcm_close(ch->pcm);
    ch->mixer = nullptr;
    ch->pcm = nullptr;
}

// ---------------------------------------------------------------------------
// Start and stop

bool SoundImpQNX::Initialize(kd_state_t* state, kd_parms_t* parms) {
    // A second start without a shutdown first ends the first one, so that
    // two feeding threads never share the channels.
    if (FeederRunning() || channels.count > 0 || music.connection) Shutdown();

    channel_mutex = KD_GetMutex(nullptr);
    for (int n = 0; n < KDQ_NUM_CHANNELS; n++) {
        kdSoundChannel* ch = new kdSoundChannel;
        ch->number = n + 1;
        ch->mutex = channel_mutex;
        if (!OpenChannel(ch, n)) {
            fprintf(stderr, "SoundImpQNX unable to open channel #%d\n", n);
            CloseChannel(ch);
            delete ch;
            continue;
        }
        channels.InsertLast(ch);
    }

    stop_feeder = false;
    feeder_running = true;
    if (KDT_CreateThread("QNX audio", [](void* self) { static_cast<SoundImpQNX*>(self)->Run(); }, this) ==
        (unsigned long)-1)
        feeder_running = false;

    if (channels.count > 0) {
        kdSoundChannel* last = channels[channels.count - 1];
        silence = new kdSample;
        silence->GenerateSilence(last->chunk_size, KDQ_RATE);
        last->Lock();
        StartLocked(last, silence);
        last->looping = true;
        last->Unlock();
        ApplyVolume(last, 1.0f);
        silence_channel = last;
    }

    music.Connect();
    active = true;
    // Nothing to play on: let the null implementation stand in.
    if (channels.count == 0 && !music.context) {
        Shutdown();
        return false;
    }
    return true;
}

void SoundImpQNX::StopFeeder() {
    stop_feeder = true;
    while (feeder_running) KDT_Sleep(1);
}

void SoundImpQNX::Shutdown() {
    active = false;
    StopFeeder();
    for (int i = 0; i < channels.count; i++) {
        kdSoundChannel* ch = channels[i];
        ch->Lock();
        StopLocked(ch);
        ch->playing = false;
        ch->Unlock();
        CloseChannel(ch);
        delete ch;
    }
    channels.Free();
    silence_channel = nullptr;
    delete silence;
    silence = nullptr;
    music.Close();
    if (channel_mutex) KD_ReleaseMutex(channel_mutex);
    channel_mutex = nullptr;
}

void SoundImpQNX::Run() {
    pthread_setname_np(pthread_self(), "QNX audio");
    while (!stop_feeder && !kd_state.quit) {
        bool wrote = FeedChannels();
        sched_yield();
        // Streams hold a few hundred milliseconds; when none took anything,
        // a millisecond's rest keeps this thread from spinning a core.
        if (!wrote) KDT_Sleep(1);
    }
    feeder_running = false;  // the last touch of this object
}

bool SoundImpQNX::FeedChannels() {
    if (!active) return false;
    bool wrote = false;
    for (int i = 0; i < channels.count; i++) {
        kdSoundChannel* ch = channels[i];
        // The whole pass over a channel runs under the channel mutex: a
        // sample is only ever detached under it, so it cannot be freed
        // while it is being written.
        ch->Lock();
        if (!ch->playing) {
            ch->Unlock();
            continue;
        }
        if (!ch->sample) {
            ch->playing = false;
            ch->last_activity = clock();
            ch->Unlock();
            continue;
        }
        if (!ch->looping && ch->position >= ch->sample->size) {
            snd_pcm_channel_status_t st;
            if (!StatusOf(ch->pcm, &st)) {
                fprintf(stderr, "underrun: playback channel status error\n");
            } else {
                ch->last_status = st.status;
                ch->queued = st.count;
                if (ch->queued == 0 || st.status == SND_PCM_STATUS_READY || st.status == SND_PCM_STATUS_UNDERRUN) {
                    ch->sample = nullptr;
                    ch->playing = false;
                    ch->last_activity = clock();
                    ch->Unlock();
                    continue;
                }
            }
        }
        int before = ch->position;
        kdSample* s = ch->sample;
        ch->Feed();
        if (ch->position != before || ch->sample != s) wrote = true;
        ch->Unlock();
    }
    return wrote;
}

// ---------------------------------------------------------------------------
// Channel lookups (channel mutex held)

// A finished channel keeps answering to its id for a while.
kdSoundChannel* SoundImpQNX::FindLocked(long id) {
    if (id == 0) return nullptr;
    unsigned int now = clock();
    for (int i = 0; i < channels.count; i++) {
        kdSoundChannel* ch = channels[i];
        if (!ch->playing && (ch->last_activity == 0 || now - ch->last_activity >= KDQ_CHANNEL_REST_MS)) continue;
        if (ch->id == id) return ch;
    }
    return nullptr;
}

// A channel rests 500 ms after it finished before it is used again; one
// that has never played is free at once.
kdSoundChannel* SoundImpQNX::FreeChannelLocked() {
    if (channels.count == 0) return nullptr;
    free_channel_start++;
    if (free_channel_start >= channels.count || free_channel_start < 0) free_channel_start = 0;
    unsigned int now = clock();
    for (int k = 0; k < channels.count; k++) {
        kdSoundChannel* ch = channels[(free_channel_start + k) % channels.count];
        if (ch->playing) continue;
        if (ch->last_activity != 0 && now - ch->last_activity <= KDQ_CHANNEL_REST_MS - 1) continue;
        return ch;
    }
    return nullptr;
}

int SoundImpQNX::InstancesLocked(kdSample* s) {
    int n = 0;
    for (int i = 0; i < channels.count; i++)
        if (channels[i]->sample && channels[i]->sample->owner == s->owner && s->owner) n++;
    return n;
}

void SoundImpQNX::StopLocked(kdSoundChannel* ch) {
    ch->looping = false;
    ch->id = 0;
    if (ch->sample) {
        if (ch->pcm) snd_pcm_plugin_playback_drain(ch->pcm);
        ch->queued = 0;
        ch->position = ch->sample->size;
        ch->sample = nullptr;
    }
}

void SoundImpQNX::StartLocked(kdSoundChannel* ch, kdSample* s) {
    ch->queued = 0;
    ch->sample = s;
    ch->paused = false;
    ch->playing = true;
    ch->looping = false;
    ch->position = 0;
    // Only whole fragments are written.
    if (ch->fragment_size > 0) s->size -= s->size % ch->fragment_size;
}

// Volume 0 mutes the stream; any other volume maps onto the upper half of
// the mixer's range.
void SoundImpQNX::ApplyVolume(kdSoundChannel* ch, float v) {
    v = Clamp01(v);
    float e = v * kd_qnx_master_volume;
    int key = (int)(e * 100.0f);
    if (key > 0) key = key / 2 + 50;
    ch->Lock();
    ch->volume = v;
    if (key == ch->volume_key || !ch->mixer) {
        ch->Unlock();
        return;
    }
    ch->volume_key = key;
    snd_mixer_read(ch->mixer, nullptr);
    if (snd_mixer_group_read(ch->mixer, &ch->group) >= 0) {
        int value = ch->group.min;
        if (key > 0) {
            float level = Clamp01(e * 0.5f + 0.5f);
            value = (int)(ch->group.min + (ch->group.max - ch->group.min) * (double)level);
        }
        ch->group.volume.values[0] = value;
        ch->group.volume.values[1] = value;
        if (snd_mixer_group_write(ch->mixer, &ch->group) >= 0) snd_mixer_read(ch->mixer, nullptr);
    }
    ch->Unlock();
}

// ---------------------------------------------------------------------------
// Sounds and channels

static bool EndsWithNoCase(const char* s, const char* ending) {
    size_t n = strlen(s), e = strlen(ending);
    return n > e && strcasecmp(s + n - e, ending) == 0;
}

bool SoundImpQNX::LoadSound(kd_sound_t* snd, const char* file) {
    if (!snd || !file) return false;
    if (strncmp(file, "music/", 6) == 0 && !EndsWithNoCase(file, ".mp3")) return false;
    // A record loaded again lets go of its old sample first.
    if (snd->imp_data[1]) FreeSound(snd);
    kdSample* s = new kdSample;
    s->owner = snd;
    if (!s->Load(file)) {
        delete s;
        return false;
    }
    snd->imp_data[1] = s;
    return true;
}

void SoundImpQNX::FreeSound(kd_sound_t* snd) {
    if (!snd) return;
    kdSample* s = (kdSample*)snd->imp_data[1];
    if (!s) return;
    // Detached under the channel mutex, which the feeding thread holds
    // whenever it touches a sample: once this returns no channel can
    // reach the sample any more.
    if (channel_mutex) {
        KD_LockMutex(channel_mutex);
        for (int i = 0; i < channels.count; i++)
            if (channels[i]->sample == s) StopLocked(channels[i]);
        KD_UnlockMutex(channel_mutex);
    }
    if (music.current == snd) music.Stop();
    snd->imp_data[1] = nullptr;
    delete s;
}

int SoundImpQNX::GetNumberOfSoundInstancesPlaying(kd_sound_t* snd) {
    if (!snd || !channel_mutex) return 0;
    KD_LockMutex(channel_mutex);
    int n = 0;
    for (int i = 0; i < channels.count; i++)
        if (channels[i]->sample && channels[i]->sample->owner == snd) n++;
    KD_UnlockMutex(channel_mutex);
    return n;
}

long SoundImpQNX::PlaySound(kd_sound_t* snd, float volume, float pan, float frequency) {
    if (volume <= 0.0f || !snd || !channel_mutex) return 0;
    kdSample* s = (kdSample*)snd->imp_data[1];
    if (!s) return 0;
    KD_LockMutex(channel_mutex);
    if (InstancesLocked(s) >= KDQ_MAX_INSTANCES) {
        KD_UnlockMutex(channel_mutex);
        return 0;
    }
    kdSoundChannel* ch = FreeChannelLocked();
    if (!ch) {
        KD_UnlockMutex(channel_mutex);
        return 0;
    }
    int rate_off = s->rate - ch->params.format.rate;
    if (rate_off < 0) rate_off = -rate_off;
    bool match = s->type == KD_SAMPLE_WAV && s->data && s->channels == ch->params.format.voices &&
                 rate_off <= KDQ_RATE_TOLERANCE;
    if (match) StartLocked(ch, s);
    long id = next_channel_id++;
    ch->id = id;
    KD_UnlockMutex(channel_mutex);
    if (match)
        ApplyVolume(ch, volume);
    else
        KD_Printf("Sample format mismatch with '%s': %dHz num_channels=%d", snd->name ? snd->name : "", s->rate,
                  s->channels);
    return id;
}

void SoundImpQNX::StopChannel(long id) {
    if (id == 0 || !channel_mutex) return;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    if (ch && ch->pcm && ch->mixer) StopLocked(ch);
    KD_UnlockMutex(channel_mutex);
}

void SoundImpQNX::SetChannelVolume(long id, float volume) {
    if (!channel_mutex) return;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    bool apply = ch && ch->sample && ch->playing;
    KD_UnlockMutex(channel_mutex);
    if (apply) ApplyVolume(ch, volume);
}

void SoundImpQNX::SetChannelPaused(long id, bool paused) {
    if (!channel_mutex) return;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    if (ch && ch->playing && ch->sample) ch->paused = paused;
    KD_UnlockMutex(channel_mutex);
}

void SoundImpQNX::SetChannelLooping(long id, bool looping) {
    if (!channel_mutex) return;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    if (ch) ch->looping = looping;
    KD_UnlockMutex(channel_mutex);
}

bool SoundImpQNX::IsChannelAlive(long id) {
    if (id == 0 || !channel_mutex) return false;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    bool alive = false;
    if (ch) alive = ch->playing || (ch->last_activity != 0 && clock() - ch->last_activity < KDQ_CHANNEL_REST_MS);
    KD_UnlockMutex(channel_mutex);
    return alive;
}

kd_sound_t* SoundImpQNX::GetChannelSound(long id) {
    if (id == 0 || !channel_mutex) return nullptr;
    KD_LockMutex(channel_mutex);
    kdSoundChannel* ch = FindLocked(id);
    kd_sound_t* owner = ch && ch->sample ? ch->sample->owner : nullptr;
    KD_UnlockMutex(channel_mutex);
    return owner;
}

// Slides are immediate: a negative target stops the channel.
void SoundImpQNX::SlideChannelVolume(long id, float target, float seconds) {
    if (target < 0.0f)
        StopChannel(id);
    else
        SetChannelVolume(id, target);
}

void SoundImpQNX::SetMasterVolume(float volume) {
    kd_qnx_master_volume = Clamp01(volume);
    music.SetVolume(music.volume);
    for (int i = 0; i < channels.count; i++) {
        kdSoundChannel* ch = channels[i];
        ch->Lock();
        bool apply = ch->playing && ch->sample;
        float v = ch->volume;
        ch->Unlock();
        if (apply) ApplyVolume(ch, v);
    }
}

// ---------------------------------------------------------------------------
// Music and activation (the player is in qnx-music.cpp)

bool SoundImpQNX::PlayMusic(kd_sound_t* snd, float volume, float fade_in) { return music.Play(snd, volume); }
void SoundImpQNX::StopMusic(float fade_out) { music.Stop(); }
void SoundImpQNX::SlideMusicVolume(float target, float seconds) { music.SlideVolume(target); }

void SoundImpQNX::ActivateWindow(bool is_active) {
    music.Activate(is_active);
    active = is_active;
}

long SoundImpQNX::GetSoundDataSize(kd_sound_t* snd) {
    kdSample* s = snd ? (kdSample*)snd->imp_data[1] : nullptr;
    return s ? (long)s->size : 0;
}
