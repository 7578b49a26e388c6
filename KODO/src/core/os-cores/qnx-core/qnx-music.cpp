// Music: one track at a time, streamed by the platform's multimedia
// renderer. The engine decodes nothing; it attaches the file, plays it,
// sets the output volume and plays the track again when it ends.
#include <bps/mmrenderer.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kd-file.h"
#include "qnx-kodo.h"
#include "soundimp-qnx.h"

// The renderer state of the last event seen.
static int kd_mmr_old_state = MMR_STATE_STOPPED;

static float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void QNX_MusicPlayer::Connect() {
    int n = snprintf(context_name, sizeof context_name, "kd_mp_%x_", (unsigned int)(uintptr_t)this);
    if (kd_prog && n > 0 && n < (int)sizeof context_name)
        snprintf(context_name + n, sizeof context_name - (size_t)n, "%s", kd_prog->id);
    connection = mmr_connect(nullptr);
    if (!connection) {
        fprintf(stderr, "mmr_connect: %s\n", strerror(errno));
        return;
    }
    context = mmr_context_create(connection, context_name, 0, 0500);
    if (!context) {
        fprintf(stderr, "mmr_context_create %s: %s\n", context_name, strerror(errno));
        return;
    }
    output_id = mmr_output_attach(context, "audio:default", "audio");
    if (output_id < 0) fprintf(stderr, "mmr_output_attach %s error.\n", context_name);
    event_request = mmrenderer_request_events(context_name, 0, 0);
}

void QNX_MusicPlayer::Close() {
    if (context) {
        if (event_request > 0) mmrenderer_stop_events(event_request);
        current = nullptr;
        mmr_stop(context);
        mmr_input_detach(context);
        mmr_context_destroy(context);
        context = nullptr;
    }
    if (connection) mmr_disconnect(connection);
    connection = nullptr;
    current = nullptr;
    event_request = 0;
    output_id = -1;
    volume_percent = -1;
}

// The track lives in the music package when one is searched (the last one
// in search order wins); otherwise wherever the search paths find it.
bool QNX_MusicPlayer::BuildUrl(const char* file, char* url, int size) {
    if (!file || !url || size <= 0) return false;
    char path[512];
    bool found = false;
    for (int i = 0; i < KD_GetNumberOfSearchPaths(); i++) {
        const char* sp = KD_GetSearchPath(i);
        if (!sp || !strstr(sp, "res://data-music-")) continue;
        char candidate[512];
        int n = snprintf(candidate, sizeof candidate, "%s%s", sp, file);
        if (n < 0 || n >= (int)sizeof candidate) continue;
        kd_file_t* f = KD_OpenFile(candidate, "rb");
        if (!f) continue;
        KD_CloseFile(f);
        memcpy(path, candidate, (size_t)n + 1);
        found = true;
    }
    if (!found) {
        const char* full = KDI_GetFileFullPath(file, true);
        if (!full || strlen(full) >= sizeof path) return false;
        memcpy(path, full, strlen(full) + 1);
    }
    char* native = KD_ConvertStaticPathToNativeOSPath(path);
    if (!native) return false;
    const char* rel = native;
    if (rel[0] == '.' && rel[1] == '/') rel += 2;
    int n;
    if (rel[0] == '/') {
        n = snprintf(url, (size_t)size, "file://%s", rel);
    } else {
        char cwd[1024];
        if (!getcwd(cwd, sizeof cwd)) {
            free(native);
            return false;
        }
        n = snprintf(url, (size_t)size, "file://%s/%s", cwd, rel);
    }
    free(native);
    return n > 0 && n < size;
}

bool QNX_MusicPlayer::Play(kd_sound_t* snd, float v) {
    if (current) Stop();
    kdSample* s = snd ? (kdSample*)snd->imp_data[1] : nullptr;
    if (!s) return false;
    current = snd;
    char url[1024];
    if (!BuildUrl(s->file_name, url, sizeof url)) return false;
    if (context) {
        if (mmr_input_attach(context, url, "track") >= 0)
            mmr_play(context);
        else
            fprintf(stderr, "mmr_input_attach %s: %s\n", url, strerror(errno));
    }
    SetVolume(v);
    return true;
}

void QNX_MusicPlayer::Stop() {
    current = nullptr;
    if (context) {
        mmr_stop(context);
        mmr_input_detach(context);
    }
}

void QNX_MusicPlayer::SlideVolume(float target) {
    if (current) SetVolume(target);
}

// A non-zero volume maps onto 50..100 percent, volume 0 onto silence.
void QNX_MusicPlayer::SetVolume(float v) {
    v = Clamp01(v);
    if (current) volume = v;
    float e = v * kd_qnx_master_volume;
    int percent = e < 0.0f ? 0 : (e > 1.0f ? 100 : (int)(e * 100.0f));
    if (percent > 0) percent = percent / 2 + 50;
    if (percent == volume_percent) return;
    volume_percent = percent;
    if (!context) return;
    char text[16];
    snprintf(text, sizeof text, "%d", percent);
    strm_dict_t* d = strm_dict_new();
    if (d) d = strm_dict_set(d, "volume", text);
    if (d) mmr_output_parameters(context, (unsigned int)output_id, d);
}

void QNX_MusicPlayer::Activate(bool active) {
    if (!current || !context) return;
    if (active) {
        mmr_play(context);
        volume_percent = -1;
        SetVolume(volume);
    } else {
        mmr_stop(context);
    }
}

// A track that stops without an error has reached its end: music loops.
void QNX_MusicPlayer::HandleMMREvent(bps_event_t* event) {
    int state = (int)mmrenderer_event_get_state(event);
    if (state != kd_mmr_old_state && state == MMR_STATE_STOPPED) {
        const mmr_error_info_t* err = mmrenderer_event_get_error(event);
        if (err && err->error_code == 0) KD_QNX_MusicTrackEnded();
    }
    kd_mmr_old_state = state;
}

void QNX_MusicPlayer::TrackEnded() {
    if (!current || !context) return;
    mmr_play(context);
    volume_percent = -1;
    SetVolume(volume);
}

void KD_QNX_MusicTrackEnded() {
    if (si_qnx) si_qnx->music.TrackEnded();
}

// Called by the main loop for events of every other domain.
void KDQ_HandleMusicEvent(bps_event_t* event) {
    if (!event || bps_event_get_domain(event) != mmrenderer_get_domain()) return;
    if (si_qnx) si_qnx->music.HandleMMREvent(event);
}
