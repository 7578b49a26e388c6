// PCM streams, mixer groups and the music renderer, all mixed into one
// SDL audio device at 22050 Hz, stereo, signed 16-bit.

#include "host_internal.h"

#include <bps/mmrenderer.h>
#include <mm/renderer.h>
#include <sys/asoundlib.h>

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace {

constexpr int kRate = 22050;
constexpr int kMinFragment = 64;
constexpr int kMaxFragment = 2048;
constexpr int kDefaultFrags = 5;
constexpr int kMaxFrags = 64;
constexpr int kMaxStreams = 32;

}  // namespace

struct snd_pcm {
    int index = 0;
    int state = SND_PCM_STATUS_NOTREADY;
    bool nonblock = false;
    bool configured = false;
    int voices = 1;
    int frag_size = 0;
    int frags = 0;
    int start_mode = SND_PCM_START_FULL;
    int stop_mode = SND_PCM_STOP_STOP;
    std::vector<unsigned char> ring;
    size_t head = 0;   // read position
    size_t count = 0;  // bytes queued
    unsigned int underruns = 0;
    long long played = 0;
    int volume[2] = {100, 100};
    std::string group;
};

struct snd_mixer {
    int card = 0;
};

struct strm_dict {
    std::map<std::string, std::string> values;
};

struct mmr_connection {
    int contexts = 0;
};

struct mmr_context {
    mmr_connection *connection = nullptr;
    std::string name;
    bool output = false;
    int volume = 100;
    mpg123_handle *decoder = nullptr;
    mmr_state_t state = MMR_STATE_IDLE;
    bool at_end = false;  // the next play starts from the beginning
    long long frames = 0; // frames played since the start of the track
};

namespace {

using namespace kodo_host;

// g_mix guards the streams and contexts and is taken by the audio
// callback; g_device guards opening and closing the device, which waits
// for the callback and so must never happen under g_mix.
std::mutex g_mix;
std::mutex g_device;
SDL_AudioDeviceID g_dev = 0;
int g_users = 0;
bool g_parked = false;  // open and paused with no user (audio_release)
std::vector<snd_pcm *> g_streams;
std::vector<mmr_context *> g_contexts;
std::vector<int> g_accum;
std::vector<short> g_decode;
int g_next_index = 1;

struct EventRequest {
    int id;
    std::string name;
};
std::vector<EventRequest> g_requests;
int g_next_request = 1;

void post_mmr(const mmr_context *ctx, mmr_state_t state, unsigned int error) {
    bool wanted = false;
    for (const EventRequest &r : g_requests)
        if (r.name == ctx->name) wanted = true;
    if (!wanted) return;
    bps_event_t ev;
    ev.domain = DOMAIN_MMRENDERER;
    ev.code = MMRENDERER_STATE_CHANGE;
    ev.mmr_state = state;
    ev.mmr_error.error_code = error;
    ev.mmr_error.position_ms = ctx->frames * 1000 / kRate;
    post_event(ev);
}

void mix_stream(snd_pcm *s, int *acc, int frames) {
    if (s->state != SND_PCM_STATUS_RUNNING) return;
    size_t frame_bytes = static_cast<size_t>(s->voices) * 2;
    size_t ring_size = s->ring.size();
    int n = 0;
    for (; n < frames && s->count >= frame_bytes; ++n) {
        int sample[2] = {0, 0};
        for (int v = 0; v < s->voices; ++v) {
            size_t at = (s->head + static_cast<size_t>(v) * 2) % ring_size;
            size_t at1 = (at + 1) % ring_size;
            sample[v] = static_cast<short>(s->ring[at] | (s->ring[at1] << 8));
        }
        if (s->voices == 1) sample[1] = sample[0];
        acc[2 * n] += sample[0] * s->volume[0] / 100;
        acc[2 * n + 1] += sample[1] * s->volume[1] / 100;
        s->head = (s->head + frame_bytes) % ring_size;
        s->count -= frame_bytes;
        s->played += static_cast<long long>(frame_bytes);
    }
    if (n < frames && s->stop_mode == SND_PCM_STOP_STOP) {
        // The device needed data the stream did not have.
        s->state = SND_PCM_STATUS_UNDERRUN;
        ++s->underruns;
        s->count = 0;
        s->head = 0;
    }
}

void mix_music(mmr_context *c, int *acc, int frames) {
    if (c->state != MMR_STATE_PLAYING || !c->decoder) return;
    g_decode.resize(static_cast<size_t>(frames) * 2);
    int filled = 0;
    while (filled < frames) {
        size_t done = 0;
        int rc = mpg123_read(c->decoder, reinterpret_cast<unsigned char *>(g_decode.data() + filled * 2),
                             static_cast<size_t>(frames - filled) * 4, &done);
        filled += static_cast<int>(done / 4);
        if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
            if (done == 0 && rc == MPG123_OK) break;
            continue;
        }
        // End of the track, or a broken stream: either way it stops here;
        // only the latter carries an error.
        c->state = MMR_STATE_STOPPED;
        c->at_end = true;
        post_mmr(c, MMR_STATE_STOPPED, rc == MPG123_DONE ? 0 : 1);
        break;
    }
    for (int i = 0; i < filled * 2; ++i) acc[i] += g_decode[static_cast<size_t>(i)] * c->volume / 100;
    c->frames += filled;
}

void SDLCALL audio_callback(void *, Uint8 *out, int len) {
    int frames = len / 4;
    std::lock_guard<std::mutex> lock(g_mix);
    g_accum.assign(static_cast<size_t>(frames) * 2, 0);
    for (snd_pcm *s : g_streams) mix_stream(s, g_accum.data(), frames);
    for (mmr_context *c : g_contexts) mix_music(c, g_accum.data(), frames);
    short *o = reinterpret_cast<short *>(out);
    for (int i = 0; i < frames * 2; ++i) o[i] = static_cast<short>(std::clamp(g_accum[static_cast<size_t>(i)], -32768, 32767));
}

void quiet_alsa(const char *, int, const char *, int, const char *, ...) {}

// SDL's ALSA backend lets ALSA print its own errors on stderr: nine
// "ALSA lib ..." lines on a machine without a sound card, before the
// notice below says the same in one. The library is looked up rather than
// linked, since its names clash with this layer's own sound interface, and
// stays loaded so that the handler outlives every use SDL makes of it.
// Without the library there is nothing to silence.
void silence_alsa_errors() {
    static bool done = false;
    if (done) return;
    done = true;
    void *lib = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return;
    using handler_t = void (*)(const char *, int, const char *, int, const char *, ...);
    auto set = reinterpret_cast<int (*)(handler_t)>(dlsym(lib, "snd_lib_error_set_handler"));
    if (set) set(quiet_alsa);
}

SDL_AudioDeviceID open_device() {
    SDL_AudioSpec want, have;
    SDL_zero(want);
    want.freq = kRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;
    want.callback = audio_callback;
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

// Whether anything could play: a sound server's socket or a sound card.
// Without either SDL's default driver fails only after it has started and
// must be shut down again, which waits up to 100 ms for its device-watching
// thread: most of a start on such a machine. An explicit SDL_AUDIODRIVER
// is always tried.
bool any_output_possible() {
    if (getenv("SDL_AUDIODRIVER") || getenv("PULSE_SERVER")) return true;
    const char *run = getenv("XDG_RUNTIME_DIR");
    std::string runtime = run && *run ? run : "/run/user/" + std::to_string(getuid());
    for (const char *server : {"/pulse/native", "/pipewire-0"})
        if (access((runtime + server).c_str(), F_OK) == 0) return true;
    FILE *cards = fopen("/proc/asound/cards", "r");
    if (!cards) return access("/dev/snd", F_OK) == 0;
    char line[128] = "";
    bool none = !fgets(line, sizeof line, cards) || strstr(line, "no soundcards");
    fclose(cards);
    return !none;
}

// Opens the shared device for one more user. Without a sound card the
// default open fails; the dummy driver then keeps time without output.
bool audio_acquire() {
    std::lock_guard<std::mutex> lock(g_device);
    if (g_users > 0 || g_parked) {
        if (g_users++ == 0) SDL_PauseAudioDevice(g_dev, 0);
        g_parked = false;
        return true;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    silence_alsa_errors();
    SDL_AudioDeviceID dev = 0;
    if (!any_output_possible()) {
        SDL_SetError("no sound card or sound server");
    } else if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        dev = open_device();
        if (!dev) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (!dev) {
        report("no audio output (%s); using the silent dummy driver", SDL_GetError());
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            dev = open_device();
            if (!dev) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    if (!dev) {
        report("cannot open any audio device: %s", SDL_GetError());
        errno = ENODEV;
        return false;
    }
    g_dev = dev;
    g_users = 1;
    SDL_PauseAudioDevice(g_dev, 0);
    return true;
}

// The last user gone, the device is paused at once. Closing it waits for
// SDL's audio thread, which first sleeps two periods "draining" output
// that nobody hears any more; a program with a window is either quitting
// (the process takes the device with it) or will play again, so its
// device is parked, paused, and the next user takes it back.
void audio_release() {
    std::lock_guard<std::mutex> lock(g_device);
    if (g_users <= 0) return;
    if (--g_users > 0) return;
    SDL_PauseAudioDevice(g_dev, 1);
    if (video_running()) {
        g_parked = true;
        return;
    }
    SDL_CloseAudioDevice(g_dev);  // waits for the callback to finish
    g_dev = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int fail(int err) {
    errno = err;
    return -err;
}

bool valid_stream(snd_pcm *h) { return h && std::find(g_streams.begin(), g_streams.end(), h) != g_streams.end(); }

snd_pcm *find_group(const char *name) {
    std::string n(name, strnlen(name, sizeof(snd_mixer_gid_t::name)));
    for (snd_pcm *s : g_streams)
        if (s->group == n) return s;
    return nullptr;
}

void copy_gid(snd_mixer_gid_t *gid, const snd_pcm *s) {
    memset(gid, 0, sizeof *gid);
    snprintf(gid->name, sizeof gid->name, "%s", s->group.c_str());
    gid->index = 0;
}

void fill_group(snd_mixer_group_t *g, const snd_pcm *s) {
    copy_gid(&g->gid, s);
    g->channels = 3;
    g->min = 0;
    g->max = 100;
    g->volume.values[0] = s->volume[0];
    g->volume.values[1] = s->volume[1];
    g->mute = 0;
}

bool valid_context(mmr_context *c) { return c && std::find(g_contexts.begin(), g_contexts.end(), c) != g_contexts.end(); }

void close_decoder(mmr_context *c) {
    if (c->decoder) {
        mpg123_close(c->decoder);
        mpg123_delete(c->decoder);
        c->decoder = nullptr;
    }
}

}  // namespace

extern "C" {

// ---- PCM -----------------------------------------------------------------

int snd_pcm_open_preferred(snd_pcm_t **handle, int *rcard, int *rdevice, int mode) {
    if (!handle) return fail(EINVAL);
    *handle = nullptr;
    if (!(mode & SND_PCM_OPEN_PLAYBACK)) return fail(ENOTSUP);  // no capture here
    {
        std::lock_guard<std::mutex> lock(g_mix);
        if (static_cast<int>(g_streams.size()) >= kMaxStreams) return fail(EBUSY);
    }
    if (!audio_acquire()) return fail(ENODEV);
    snd_pcm *s = new snd_pcm;
    std::lock_guard<std::mutex> lock(g_mix);
    s->index = g_next_index++;
    s->group = "PCM Playback " + std::to_string(s->index);
    g_streams.push_back(s);
    if (rcard) *rcard = 0;
    if (rdevice) *rdevice = 0;
    *handle = s;
    return 0;
}

int snd_pcm_close(snd_pcm_t *handle) {
    {
        std::lock_guard<std::mutex> lock(g_mix);
        if (!valid_stream(handle)) return fail(EINVAL);
        g_streams.erase(std::find(g_streams.begin(), g_streams.end(), handle));
        delete handle;
    }
    audio_release();
    return 0;
}

int snd_pcm_plugin_set_disable(snd_pcm_t *handle, unsigned int) {
    std::lock_guard<std::mutex> lock(g_mix);
    return valid_stream(handle) ? 0 : fail(EINVAL);  // there is no memory-mapped path to disable
}

int snd_pcm_nonblock_mode(snd_pcm_t *handle, int nonblock) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle)) return fail(EINVAL);
    handle->nonblock = nonblock != 0;  // writes never block in either mode
    return 0;
}

int snd_pcm_plugin_info(snd_pcm_t *handle, snd_pcm_channel_info_t *info) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || !info) return fail(EINVAL);
    if (info->channel != SND_PCM_CHANNEL_PLAYBACK) return fail(EINVAL);
    memset(info, 0, sizeof *info);
    info->channel = SND_PCM_CHANNEL_PLAYBACK;
    info->min_rate = info->max_rate = kRate;
    info->min_voices = 1;
    info->max_voices = 2;
    info->min_fragment_size = kMinFragment;
    info->max_fragment_size = kMaxFragment;
    info->fragment_align = 4;
    info->max_buffer_size = kMaxFragment * kMaxFrags;
    return 0;
}

int snd_pcm_plugin_params(snd_pcm_t *handle, snd_pcm_channel_params_t *p) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || !p) return fail(EINVAL);
    if (p->channel != SND_PCM_CHANNEL_PLAYBACK || p->mode != SND_PCM_MODE_BLOCK) return fail(EINVAL);
    if (p->format.format != SND_PCM_SFMT_S16_LE || p->format.rate != kRate) return fail(EINVAL);
    if (p->format.voices < 1 || p->format.voices > 2) return fail(EINVAL);
    int frame = p->format.voices * 2;
    int frag = p->buf.block.frag_size;
    if (frag < kMinFragment || frag > kMaxFragment || frag % frame) return fail(EINVAL);
    int fmin = p->buf.block.frags_min, fmax = p->buf.block.frags_max;
    if (fmin < 1 || fmin > kMaxFrags || (fmax != -1 && fmax < fmin)) return fail(EINVAL);
    if (p->start_mode != SND_PCM_START_FULL && p->start_mode != SND_PCM_START_DATA) return fail(EINVAL);
    int frags = std::max(fmin, kDefaultFrags);
    if (fmax > 0) frags = std::min(frags, fmax);
    handle->voices = p->format.voices;
    handle->frag_size = frag;
    handle->frags = frags;
    handle->start_mode = p->start_mode;
    handle->stop_mode = p->stop_mode;
    handle->ring.assign(static_cast<size_t>(frag) * static_cast<size_t>(frags), 0);
    handle->head = handle->count = 0;
    handle->configured = true;
    handle->state = SND_PCM_STATUS_READY;
    // The group takes the sub-channel name when one is given and free; the
    // field is a fixed array and need not be terminated.
    std::string name(p->sw_mixer_subchn_name, strnlen(p->sw_mixer_subchn_name, sizeof p->sw_mixer_subchn_name));
    if (!name.empty()) {
        snd_pcm *other = find_group(name.c_str());
        handle->group = (other && other != handle) ? name + "#" + std::to_string(handle->index) : name;
        if (handle->group.size() >= sizeof(snd_mixer_gid_t::name)) handle->group = "PCM Playback " + std::to_string(handle->index);
    }
    return 0;
}

int snd_pcm_plugin_prepare(snd_pcm_t *handle, int channel) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || channel != SND_PCM_CHANNEL_PLAYBACK) return fail(EINVAL);
    if (!handle->configured) return fail(EBADFD);
    handle->head = handle->count = 0;
    handle->state = SND_PCM_STATUS_PREPARED;
    return 0;
}

int snd_pcm_plugin_setup(snd_pcm_t *handle, snd_pcm_channel_setup_t *setup) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || !setup || setup->channel != SND_PCM_CHANNEL_PLAYBACK) return fail(EINVAL);
    if (!handle->configured) return fail(EBADFD);
    setup->mode = SND_PCM_MODE_BLOCK;
    setup->format.interleave = 1;
    setup->format.format = SND_PCM_SFMT_S16_LE;
    setup->format.rate = kRate;
    setup->format.voices = handle->voices;
    setup->buf.block.frag_size = handle->frag_size;
    setup->buf.block.frags = handle->frags;
    setup->mixer_device = 0;
    if (setup->mixer_gid) copy_gid(setup->mixer_gid, handle);
    if (setup->mixer_group) fill_group(setup->mixer_group, handle);
    return 0;
}

ssize_t snd_pcm_plugin_write(snd_pcm_t *handle, const void *buffer, size_t size) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || (!buffer && size)) return fail(EINVAL);
    if (handle->state == SND_PCM_STATUS_UNDERRUN) return fail(EPIPE);
    if (handle->state != SND_PCM_STATUS_PREPARED && handle->state != SND_PCM_STATUS_RUNNING) return fail(EBADFD);
    size_t frame = static_cast<size_t>(handle->voices) * 2;
    size_t room = handle->ring.size() - handle->count;
    size_t n = std::min(size, room);
    n -= n % frame;
    const unsigned char *src = static_cast<const unsigned char *>(buffer);
    size_t tail = (handle->head + handle->count) % handle->ring.size();
    size_t first = std::min(n, handle->ring.size() - tail);
    memcpy(&handle->ring[tail], src, first);
    memcpy(&handle->ring[0], src + first, n - first);
    handle->count += n;
    if (handle->state == SND_PCM_STATUS_PREPARED) {
        // Start once a whole fragment is there, so that a sound shorter
        // than the ring still plays.
        size_t need = handle->start_mode == SND_PCM_START_DATA ? 1 : static_cast<size_t>(handle->frag_size);
        if (handle->count >= need) handle->state = SND_PCM_STATUS_RUNNING;
    }
    return static_cast<ssize_t>(n);
}

int snd_pcm_plugin_status(snd_pcm_t *handle, snd_pcm_channel_status_t *status) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle) || !status) return fail(EINVAL);
    status->channel = SND_PCM_CHANNEL_PLAYBACK;
    status->status = handle->state;
    status->count = static_cast<int>(handle->count);
    status->free = static_cast<int>(handle->ring.size() - handle->count);
    status->underrun = handle->underruns;
    status->scount = handle->played;
    return 0;
}

int snd_pcm_plugin_playback_drain(snd_pcm_t *handle) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_stream(handle)) return fail(EINVAL);
    handle->head = handle->count = 0;
    if (handle->configured) handle->state = SND_PCM_STATUS_READY;
    return 0;
}

// ---- mixer ---------------------------------------------------------------

int snd_mixer_open(snd_mixer_t **handle, int card, int device) {
    if (!handle) return fail(EINVAL);
    *handle = nullptr;
    if (card != 0 || device != 0) return fail(ENODEV);
    *handle = new snd_mixer;
    return 0;
}

int snd_mixer_close(snd_mixer_t *handle) {
    if (!handle) return fail(EINVAL);
    delete handle;
    return 0;
}

int snd_mixer_read(snd_mixer_t *handle, snd_mixer_callbacks_t *) { return handle ? 0 : fail(EINVAL); }

int snd_mixer_group_read(snd_mixer_t *handle, snd_mixer_group_t *group) {
    if (!handle || !group) return fail(EINVAL);
    std::lock_guard<std::mutex> lock(g_mix);
    snd_pcm *s = find_group(group->gid.name);
    if (!s) return fail(ENOENT);
    fill_group(group, s);
    return 0;
}

int snd_mixer_group_write(snd_mixer_t *handle, snd_mixer_group_t *group) {
    if (!handle || !group) return fail(EINVAL);
    std::lock_guard<std::mutex> lock(g_mix);
    snd_pcm *s = find_group(group->gid.name);
    if (!s) return fail(ENOENT);
    s->volume[0] = std::clamp(group->volume.values[0], 0, 100);
    s->volume[1] = std::clamp(group->volume.values[1], 0, 100);
    return 0;
}

const char *snd_strerror(int errnum) { return strerror(errnum < 0 ? -errnum : errnum); }

// ---- dictionaries --------------------------------------------------------

strm_dict_t *strm_dict_new(void) { return new strm_dict; }

strm_dict_t *strm_dict_set(strm_dict_t *dict, const char *key, const char *value) {
    if (!dict) {
        errno = EINVAL;
        return nullptr;
    }
    if (!key || !*key || !value) {
        delete dict;
        errno = EINVAL;
        return nullptr;
    }
    dict->values[key] = value;
    return dict;
}

const char *strm_dict_find_value(const strm_dict_t *dict, const char *key) {
    if (!dict || !key) return nullptr;
    auto it = dict->values.find(key);
    return it == dict->values.end() ? nullptr : it->second.c_str();
}

int strm_dict_destroy(strm_dict_t *dict) {
    delete dict;
    return 0;
}

// ---- music renderer ------------------------------------------------------

mmr_connection_t *mmr_connect(const char *) {
    if (!audio_acquire()) {
        errno = ENODEV;
        return nullptr;
    }
    return new mmr_connection;
}

void mmr_disconnect(mmr_connection_t *connection) {
    if (!connection) return;
    std::vector<mmr_context *> mine;
    {
        std::lock_guard<std::mutex> lock(g_mix);
        for (mmr_context *c : g_contexts)
            if (c->connection == connection) mine.push_back(c);
    }
    for (mmr_context *c : mine) mmr_context_destroy(c);
    delete connection;
    audio_release();
}

mmr_context_t *mmr_context_create(mmr_connection_t *connection, const char *name, unsigned int, mode_t) {
    if (!connection || !name || !*name) {
        errno = EINVAL;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mix);
    for (mmr_context *c : g_contexts)
        if (c->name == name) {
            errno = EEXIST;
            return nullptr;
        }
    mmr_context *c = new mmr_context;
    c->connection = connection;
    c->name = name;
    g_contexts.push_back(c);
    ++connection->contexts;
    return c;
}

int mmr_context_destroy(mmr_context_t *context) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context)) {
        errno = EINVAL;
        return -1;
    }
    g_contexts.erase(std::find(g_contexts.begin(), g_contexts.end(), context));
    close_decoder(context);
    --context->connection->contexts;
    delete context;
    return 0;
}

int mmr_output_attach(mmr_context_t *context, const char *url, const char *type) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context) || !url || !type) {
        errno = EINVAL;
        return -1;
    }
    if (strncmp(url, "audio:", 6) != 0 || strcmp(type, "audio") != 0) {
        errno = ENOTSUP;
        return -1;
    }
    context->output = true;
    return 0;
}

int mmr_output_parameters(mmr_context_t *context, unsigned int output_id, strm_dict_t *parms) {
    std::lock_guard<std::mutex> lock(g_mix);
    int rc = 0;
    if (!valid_context(context) || !parms || !context->output || output_id != 0) {
        errno = EINVAL;
        rc = -1;
    } else if (const char *v = strm_dict_find_value(parms, "volume")) {
        char *end = nullptr;
        long vol = strtol(v, &end, 10);
        if (end == v || *end || vol < 0 || vol > 100) {
            errno = EINVAL;
            rc = -1;
        } else {
            context->volume = static_cast<int>(vol);
        }
    }
    delete parms;
    return rc;
}

int mmr_input_attach(mmr_context_t *context, const char *url, const char *type) {
    if (!url || !type || strcmp(type, "track") != 0) {
        errno = EINVAL;
        return -1;
    }
    const char *path = strncmp(url, "file://", 7) == 0 ? url + 7 : url;
    // Open and check the file before taking the mixing lock.
    static std::once_flag init_once;
    std::call_once(init_once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle *mh = mpg123_new(nullptr, &err);
    if (!mh) {
        errno = ENOMEM;
        return -1;
    }
    mpg123_param(mh, MPG123_FORCE_RATE, kRate, 0);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    long rate = 0;
    int channels = 0, enc = 0;
    if (mpg123_open(mh, path) != MPG123_OK || mpg123_getformat(mh, &rate, &channels, &enc) != MPG123_OK) {
        report("mmr_input_attach: cannot decode %s: %s", path, mpg123_strerror(mh));
        mpg123_delete(mh);
        errno = access(path, R_OK) == 0 ? EINVAL : ENOENT;
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context)) {
        mpg123_close(mh);
        mpg123_delete(mh);
        errno = EINVAL;
        return -1;
    }
    close_decoder(context);
    context->decoder = mh;
    context->state = MMR_STATE_STOPPED;
    context->at_end = false;
    context->frames = 0;
    return 0;
}

int mmr_input_detach(mmr_context_t *context) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context)) {
        errno = EINVAL;
        return -1;
    }
    close_decoder(context);
    context->state = MMR_STATE_IDLE;
    return 0;
}

int mmr_play(mmr_context_t *context) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context)) {
        errno = EINVAL;
        return -1;
    }
    if (!context->decoder || !context->output) {
        errno = ENODATA;  // nothing attached to play, or nowhere to play it
        return -1;
    }
    if (context->state == MMR_STATE_PLAYING) return 0;
    if (context->at_end) {
        mpg123_seek(context->decoder, 0, SEEK_SET);
        context->at_end = false;
        context->frames = 0;
    }
    context->state = MMR_STATE_PLAYING;
    post_mmr(context, MMR_STATE_PLAYING, 0);
    return 0;
}

int mmr_stop(mmr_context_t *context) {
    std::lock_guard<std::mutex> lock(g_mix);
    if (!valid_context(context)) {
        errno = EINVAL;
        return -1;
    }
    // No event: a stop the program asked for is not the end of the track.
    if (context->state == MMR_STATE_PLAYING) context->state = MMR_STATE_STOPPED;
    return 0;
}

// ---- renderer events -----------------------------------------------------

int mmrenderer_get_domain(void) { return DOMAIN_MMRENDERER; }

int mmrenderer_request_events(const char *context_name, int, int) {
    if (!context_name || !*context_name || !bps_running()) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    std::lock_guard<std::mutex> lock(g_mix);
    g_requests.push_back({g_next_request, context_name});
    return g_next_request++;
}

int mmrenderer_stop_events(int request) {
    std::lock_guard<std::mutex> lock(g_mix);
    for (auto it = g_requests.begin(); it != g_requests.end(); ++it)
        if (it->id == request) {
            g_requests.erase(it);
            return BPS_SUCCESS;
        }
    errno = EINVAL;
    return BPS_FAILURE;
}

mmr_state_t mmrenderer_event_get_state(bps_event_t *event) {
    if (!event || event->domain != DOMAIN_MMRENDERER) return MMR_STATE_DESTROYED;
    return event->mmr_state;
}

const mmr_error_info_t *mmrenderer_event_get_error(bps_event_t *event) {
    if (!event || event->domain != DOMAIN_MMRENDERER) return nullptr;
    return &event->mmr_error;
}

}  // extern "C"
