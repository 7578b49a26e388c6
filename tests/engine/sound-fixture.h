// Sound tests: WAV files written into the working folder's data tree and
// an engine started with the platform's sound implementation.
#ifndef SOUND_FIXTURE_H
#define SOUND_FIXTURE_H

#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
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
    // The 44-byte header is built in an array of its own, then the samples
    // follow it.
    unsigned char head[44] = {0};
    auto put16 = [](unsigned char* at, unsigned v) {
        at[0] = (unsigned char)(v & 0xff);
        at[1] = (unsigned char)(v >> 8);
    };
    auto put32 = [](unsigned char* at, unsigned v) {
        for (int i = 0; i < 4; i++) at[i] = (unsigned char)(v >> (8 * i));
    };
    std::copy_n("RIFF", 4, head);
    put32(head + 4, 36 + data);
    std::copy_n("WAVEfmt ", 8, head + 8);
    put32(head + 16, 16);
    put16(head + 20, 1);
    put16(head + 22, (unsigned)channels);
    put32(head + 24, (unsigned)rate);
    put32(head + 28, (unsigned)(rate * channels * 2));
    put16(head + 32, (unsigned)(channels * 2));
    put16(head + 34, 16);
    std::copy_n("data", 4, head + 36);
    put32(head + 40, data);
    std::vector<unsigned char> b(head, head + sizeof head);
    b.resize(sizeof head + data);
    for (int i = 0; i < frames; i++) {
        int16_t v = (int16_t)(16383 * sin(2 * M_PI * hz * i / rate));
        for (int c = 0; c < channels; c++) put16(&b[sizeof head + (size_t)(i * channels + c) * 2], (uint16_t)v);
    }
    std::ofstream(path, std::ios::binary).write((const char*)b.data(), (std::streamsize)b.size());
}

#endif
