// Sound samples: WAV effects read into memory, MP3 music named only.
#include "kd-wav.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "kd-file.h"
#include "kd-internal.h"

// Every effect is padded with this much silence so that the last real
// bytes leave the stream before it runs dry.
static const double kTailSeconds = 0.15;
// Leading silence in bytes.
static const int kLeadBytes = 8;
// The smallest file head: RIFF, WAVE, a 16-byte format chunk and the data
// chunk's own header.
static const unsigned int kHeaderBytes = 44;
// At least 16 sample values after the header.
static const unsigned int kMinFileBytes = 76;
// Effects are short; anything larger than this is not an effect and would
// overflow the sample's int sizes long before.
static const unsigned int kMaxFileBytes = 32u * 1024u * 1024u;
// Highest sample rate a file may claim.
static const unsigned int kMaxRate = 192000;

static uint16_t Read16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
static uint32_t Read32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static bool EndsWithNoCase(const char* s, const char* ending) {
    size_t n = strlen(s), e = strlen(ending);
    return n > e && strcasecmp(s + n - e, ending) == 0;
}

bool kdSample::Load(const char* file) {
    Free();
    type = KD_SAMPLE_NONE;
    if (!file) return false;
    if (EndsWithNoCase(file, "mp3")) {
        // Music is streamed by the music player; only its name is kept, but
        // a missing file is reported now rather than as silence later.
        kd_file_t* f = KD_OpenFile(file, "rb");
        if (!f) return false;
        KD_CloseFile(f);
        type = KD_SAMPLE_MP3;
        file_name = nStringDuplicate(file);
        return true;
    }
    if (EndsWithNoCase(file, "wav")) {
        type = KD_SAMPLE_WAV;
        file_name = nStringDuplicate(file);
        return LoadWavFromFile(file);
    }
    return false;
}

bool kdSample::LoadWavFromFile(const char* path) {
    kd_file_t* f = KD_OpenFile(path, "rb");
    if (!f) return false;
    if (f->size < 0 || (unsigned int)f->size > kMaxFileBytes) {
        KD_PrintDebugf(KD_LOG_WARNING, "Sample file '%s' is too large (%d bytes).", path, (int)f->size);
        KD_CloseFile(f);
        return false;
    }
    unsigned int length = (unsigned int)f->size;
    unsigned char* bytes = (unsigned char*)malloc(length ? length : 1);
    bool ok = false;
    if (bytes) {
        unsigned int got = KD_ReadFile(bytes, length, f);
        // A short read leaves the tail unknown: check only what arrived.
        ok = LoadWavFromMemory(bytes, got);
        free(bytes);
    }
    KD_CloseFile(f);
    return ok;
}

bool kdSample::LoadWavHeader(kdWaveHeader* h, const unsigned char* bytes, unsigned int length) {
    if (!bytes || length < kHeaderBytes) return false;
    memset(h, 0, sizeof *h);
    memcpy(h->riff_tag, bytes, 4);
    h->riff_size = Read32(bytes + 4);
    memcpy(h->wave_tag, bytes + 8, 4);
    // Chunks follow one another, each padded to an even length. Common
    // files hold others ("LIST" with the author's notes, "fact", "cue ")
    // before the data: they are skipped. The format must come first.
    bool have_format = false, have_data = false;
    unsigned int at = 12;
    while (!have_data && length - at >= 8) {
        const unsigned char* chunk = bytes + at;
        uint32_t chunk_size = Read32(chunk + 4);
        unsigned int body = at + 8;
        if (memcmp(chunk, "fmt ", 4) == 0 && !have_format) {
            if (chunk_size < 16 || chunk_size > length - body) break;
            memcpy(h->format_tag, chunk, 4);
            h->format_size = chunk_size;
            h->audio_format = Read16(chunk + 8);
            h->channels = Read16(chunk + 10);
            h->sample_rate = Read32(chunk + 12);
            h->byte_rate = Read32(chunk + 16);
            h->block_align = Read16(chunk + 20);
            h->bits_per_sample = Read16(chunk + 22);
            have_format = true;
        } else if (memcmp(chunk, "data", 4) == 0 && have_format) {
            memcpy(h->data_tag, chunk, 4);
            h->data_size = chunk_size;
            h->data_offset = body;
            have_data = true;
            break;
        }
        if (chunk_size > length - body) break;  // runs past the end
        unsigned int next = body + chunk_size + (chunk_size & 1u);
        if (next <= at || next > length) break;
        at = next;
    }
    if (memcmp(h->riff_tag, "RIFF", 4) != 0 || memcmp(h->wave_tag, "WAVE", 4) != 0 || !have_format || !have_data) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unsupported or BAD sample format");
        return false;
    }
    if (h->channels != 1 && h->channels != 2) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unsupported or BAD sample format (%d channels).", (int)h->channels);
        return false;
    }
    // Plain integer PCM of 8 or 16 bits is all the channels can play.
    if (h->audio_format != 1 || (h->bits_per_sample != 8 && h->bits_per_sample != 16)) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unsupported or BAD sample format (format %d, %d bits).",
                       (int)h->audio_format, (int)h->bits_per_sample);
        return false;
    }
    unsigned int room = length - h->data_offset;
    if (h->data_size > room) {
        KD_PrintDebugf(KD_LOG_WARNING, "Sample file size doesn't match header (%u bytes vs %u bytes).", room,
                       h->data_size);
        return false;
    }
    if (length < kMinFileBytes) {
        KD_PrintDebugf(KD_LOG_WARNING, "Sample file size too small. Must be at least 16 samples.");
        return false;
    }
    // The rate is derived from the byte rate; it must be a real one.
    unsigned int frame = (unsigned int)(h->bits_per_sample / 8) * h->channels;
    if (h->byte_rate < frame || h->byte_rate / frame > kMaxRate) {
        KD_PrintDebugf(KD_LOG_WARNING, "Unsupported or BAD sample format (byte rate %u).", h->byte_rate);
        return false;
    }
    return true;
}

bool kdSample::LoadWavFromMemory(const unsigned char* bytes, unsigned int length) {
    free(data);
    data = nullptr;
    size = 0;
    sample_count = 0;
    kdWaveHeader h;
    if (length > kMaxFileBytes) return false;
    if (!LoadWavHeader(&h, bytes, length)) return false;

    int in_bytes = h.bits_per_sample / 8;
    channels = h.channels;
    rate = (int)(h.byte_rate / (unsigned int)in_bytes / (unsigned int)channels);
    // 8-bit files are unsigned bytes; the channels play signed 16-bit, so
    // they are widened here. A trailing partial frame is dropped.
    int frame_in = in_bytes * channels;
    unsigned int frames = h.data_size / (unsigned int)frame_in;
    unsigned int pcm_bytes = frames * (unsigned int)channels * 2u;
    bits = 16;

    int pad = (int)(2 * rate * kTailSeconds);
    size_t total = (size_t)kLeadBytes + pcm_bytes + (size_t)pad;
    if (total > (size_t)INT_MAX) return false;
    data = (unsigned char*)calloc(total, 1);
    if (!data) return false;
    const unsigned char* src = bytes + h.data_offset;
    unsigned char* dst = data + kLeadBytes;
    if (in_bytes == 2) {
        memcpy(dst, src, pcm_bytes);
    } else {
        for (unsigned int i = 0; i < frames * (unsigned int)channels; i++) {
            int16_t v = (int16_t)(((int)src[i] - 128) * 256);
            dst[2 * i] = (unsigned char)(v & 0xff);
            dst[2 * i + 1] = (unsigned char)((v >> 8) & 0xff);
        }
    }
    size = (int)total;
    sample_count = size / 2;
    return true;
}

void kdSample::GenerateSilence(int silence_size, int silence_rate) {
    Free();
    if (silence_size < 0) silence_size = 0;
    channels = 1;
    bits = 16;
    rate = silence_rate;
    int pad = (int)(silence_rate * 2 * kTailSeconds);
    data = (unsigned char*)calloc((size_t)silence_size + (size_t)pad + 1, 1);
    size = data ? (pad > silence_size ? silence_size + pad : silence_size) : 0;
    sample_count = size / 2;
}

void kdSample::RescaleVolume(float factor) {
    if (!data || bits != 16) return;
    for (int i = 0; i + 1 < size; i += 2) {
        int16_t v = (int16_t)(data[i] | (data[i + 1] << 8));
        int scaled = (int)(v * factor);
        if (scaled > 32767) scaled = 32767;
        if (scaled < -32768) scaled = -32768;
        data[i] = (unsigned char)(scaled & 0xff);
        data[i + 1] = (unsigned char)((scaled >> 8) & 0xff);
    }
}

void kdSample::Free() {
    free(data);
    data = nullptr;
    free(file_name);
    file_name = nullptr;
    size = 0;
    sample_count = 0;
}
