// Sound samples: the in-memory form of one sound file for the sound
// implementation. A WAV effect holds its PCM bytes; music holds only the
// name of the MP3 file that the music player streams.
#ifndef KD_WAV_H
#define KD_WAV_H

#include <stdint.h>

struct kd_sound_t;

enum {
    KD_SAMPLE_NONE = 0,
    KD_SAMPLE_WAV = 1,
    KD_SAMPLE_MP3 = 2,
};

// The fields of a WAV file's format and data chunks (little-endian
// integers), wherever the chunks stand; `data_offset` is where the PCM
// bytes begin.
struct kdWaveHeader {
    char riff_tag[4];
    uint32_t riff_size;
    char wave_tag[4];
    char format_tag[4];
    uint32_t format_size;
    uint16_t audio_format;
    uint16_t channels;
    uint32_t sample_rate;
    uint32_t byte_rate;
    uint16_t block_align;
    uint16_t bits_per_sample;
    char data_tag[4];
    uint32_t data_size;
    uint32_t data_offset;
};

class kdSample {
public:
    int type = KD_SAMPLE_NONE;
    kd_sound_t* owner = nullptr;
    char* file_name = nullptr;
    int channels = 0;
    int bits = 0;
    int rate = 0;
    int sample_count = 0;
    unsigned char* data = nullptr;
    int size = 0;

    kdSample() {}
    ~kdSample() { Free(); }
    kdSample(const kdSample&) = delete;
    kdSample& operator=(const kdSample&) = delete;

    // A "wav" file is read and checked; an "mp3" one is only named (and
    // must exist). False for any other ending and for a file that cannot
    // be read or fails its checks.
    bool Load(const char* file);
    bool LoadWavFromFile(const char* path);
    bool LoadWavHeader(kdWaveHeader* header, const unsigned char* bytes, unsigned int length);
    bool LoadWavFromMemory(const unsigned char* bytes, unsigned int length);
    void GenerateSilence(int size, int rate);
    void RescaleVolume(float factor);
    void Free();
};

#endif
