// Sound tests: WAV files written into the working folder's data tree and
// an engine started with the platform's sound implementation.
#ifndef SOUND_FIXTURE_H
#define SOUND_FIXTURE_H

#include <gtest/gtest.h>
#include <math.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test-support.h"

// Writes a canonical 16-bit WAV of a sine tone (amplitude 0.5).
inline void WriteToneWav(const std::string& path, int rate, int channels, double seconds, double hz) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int frames = (int)(rate * seconds);
    unsigned data = (unsigned)(frames * channels * 2);
    std::vector<unsigned char> b(44 + data);
    auto put16 = [&](size_t at, unsigned v) {
        b[at] = (unsigned char)(v & 0xff);
        b[at + 1] = (unsigned char)(v >> 8);
    };
    auto put32 = [&](size_t at, unsigned v) {
        for (int i = 0; i < 4; i++) b[at + (size_t)i] = (unsigned char)(v >> (8 * i));
    };
    memcpy(&b[0], "RIFF", 4);
    put32(4, 36 + data);
    memcpy(&b[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, (unsigned)channels);
    put32(24, (unsigned)rate);
    put32(28, (unsigned)(rate * channels * 2));
    put16(32, (unsigned)(channels * 2));
    put16(34, 16);
    memcpy(&b[36], "data", 4);
    put32(40, data);
    for (int i = 0; i < frames; i++) {
        int16_t v = (int16_t)(16383 * sin(2 * M_PI * hz * i / rate));
        for (int c = 0; c < channels; c++) put16(44 + (size_t)(i * channels + c) * 2, (uint16_t)v);
    }
    std::ofstream(path, std::ios::binary).write((const char*)b.data(), (std::streamsize)b.size());
}

#endif
