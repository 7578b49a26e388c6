// WAV samples: the header checks, the padding, 8-bit widening, and files
// that are damaged, too short, or missing.
#include <gtest/gtest.h>

#include <vector>

#include "fs-fixture.h"
#include "kd-wav.h"

namespace {

// The bounds checks also keep GCC's -O3 flow analysis from seeing a write
// into a vector it cannot prove large enough.
void Put16(std::vector<unsigned char>& b, size_t at, unsigned v) {
    ASSERT_LE(at + 2, b.size());
    b[at] = (unsigned char)(v & 0xff);
    b[at + 1] = (unsigned char)((v >> 8) & 0xff);
}
void Put32(std::vector<unsigned char>& b, size_t at, unsigned v) {
    ASSERT_LE(at + 4, b.size());
    for (int i = 0; i < 4; i++) b[at + (size_t)i] = (unsigned char)((v >> (8 * i)) & 0xff);
}

// A canonical WAV file with `data_bytes` bytes of data (value i & 0xff).
std::vector<unsigned char> Wav(unsigned channels, unsigned bits, unsigned byte_rate, unsigned data_bytes,
                               unsigned header_rate = 22050) {
    std::vector<unsigned char> b(44 + data_bytes);
    memcpy(&b[0], "RIFF", 4);
    Put32(b, 4, 36 + data_bytes);
    memcpy(&b[8], "WAVEfmt ", 8);
    Put32(b, 16, 16);
    Put16(b, 20, 1);
    Put16(b, 22, channels);
    Put32(b, 24, header_rate);
    Put32(b, 28, byte_rate);
    Put16(b, 32, channels * bits / 8);
    Put16(b, 34, bits);
    memcpy(&b[36], "data", 4);
    Put32(b, 40, data_bytes);
    for (unsigned i = 0; i < data_bytes; i++) b[44 + i] = (unsigned char)(i & 0xff);
    return b;
}

class Wave : public FsTest {
protected:
    LogCapture log;
    kdSample s;
    bool LoadMem(const std::vector<unsigned char>& b) { return s.LoadWavFromMemory(b.data(), (unsigned)b.size()); }
};

TEST_F(Wave, MonoFileIsPaddedWithLeadAndTailSilence) {
    auto b = Wav(1, 16, 44100, 1000);
    ASSERT_TRUE(LoadMem(b));
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.bits, 16);
    EXPECT_EQ(s.size, 8 + 1000 + 6615);
    EXPECT_EQ(s.sample_count, s.size / 2);
    for (int i = 0; i < 8; i++) EXPECT_EQ(s.data[i], 0);
    EXPECT_EQ(0, memcmp(s.data + 8, &b[44], 1000));
    for (int i = 8 + 1000; i < s.size; i++) ASSERT_EQ(s.data[i], 0) << i;
}

TEST_F(Wave, RateComesFromTheByteRate) {
    ASSERT_TRUE(LoadMem(Wav(1, 16, 44100, 64, 8000)));
    EXPECT_EQ(s.rate, 22050);
    ASSERT_TRUE(LoadMem(Wav(2, 16, 88200, 64)));
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.size, 8 + 64 + 6615);
}

TEST_F(Wave, SmallestFileIs76Bytes) {
    EXPECT_TRUE(LoadMem(Wav(1, 16, 44100, 32)));
    EXPECT_FALSE(LoadMem(Wav(1, 16, 44100, 31)));
    EXPECT_TRUE(log.Contains("Sample file size too small. Must be at least 16 samples."));
    std::vector<unsigned char> tiny(43, 0);
    EXPECT_FALSE(LoadMem(tiny));
    EXPECT_FALSE(s.LoadWavFromMemory(nullptr, 100));
}

TEST_F(Wave, DataSizeBeyondTheFileIsRefusedExtraBytesIgnored) {
    auto b = Wav(1, 16, 44100, 100);
    Put32(b, 40, 101);
    EXPECT_FALSE(LoadMem(b));
    EXPECT_TRUE(log.Contains("Sample file size doesn't match header (100 bytes vs 101 bytes)."));
    // A size with the top bit set is not a negative number that passes.
    Put32(b, 40, 0xFFFFFFF0u);
    EXPECT_FALSE(LoadMem(b));
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.size, 0);

    auto extra = Wav(1, 16, 44100, 100);
    Put32(extra, 40, 40);
    ASSERT_TRUE(LoadMem(extra));
    EXPECT_EQ(s.size, 8 + 40 + 6615);
}

TEST_F(Wave, OnlyPlainEightAndSixteenBitPcmIsAccepted) {
    struct Case {
        unsigned channels, bits, byte_rate, format;
    } bad[] = {
        {1, 24, 66150, 1}, {1, 4, 11025, 1}, {1, 0, 44100, 1}, {1, 32, 88200, 3},
        {1, 16, 44100, 3}, {0, 16, 44100, 1}, {3, 16, 132300, 1}, {1, 16, 0, 1}, {1, 16, 1, 1}, {1, 8, 0x80000014u, 1}, {2, 16, 0xFFFFFFFFu, 1},
    };
    for (const Case& c : bad) {
        auto b = Wav(c.channels, c.bits, c.byte_rate, 200);
        Put16(b, 20, c.format);
        EXPECT_FALSE(LoadMem(b)) << c.channels << " ch " << c.bits << " bits format " << c.format;
        EXPECT_EQ(s.size, 0);
    }
    EXPECT_TRUE(log.Contains("Unsupported or BAD sample format (3 channels)."));
}

TEST_F(Wave, DamagedTagsOrFormatChunkAreRefused) {
    const size_t tags[] = {0, 8, 12, 36};
    for (size_t at : tags) {
        auto b = Wav(1, 16, 44100, 200);
        b[at] = 'X';
        EXPECT_FALSE(LoadMem(b)) << at;
    }
    auto b = Wav(1, 16, 44100, 200);
    Put32(b, 16, 18);
    EXPECT_FALSE(LoadMem(b));
    EXPECT_TRUE(log.Contains("Unsupported or BAD sample format"));
}

// Chunks the reader does not know ("LIST" with the author's notes, of odd
// length and so padded, "fact") and a format chunk with the 2-byte
// extension count are passed over: the samples are those of the data chunk.
TEST_F(Wave, OtherChunksBeforeTheDataAreSkipped) {
    auto plain = Wav(1, 16, 44100, 200);
    std::vector<unsigned char> b(plain.begin(), plain.begin() + 36);  // RIFF, WAVE, fmt
    b[16] = 18;                                                       // fmt grows by the count
    b.insert(b.end(), {0, 0});
    const unsigned char list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', '!', 0};
    b.insert(b.end(), list, list + sizeof list);
    const unsigned char fact[] = {'f', 'a', 'c', 't', 4, 0, 0, 0, 100, 0, 0, 0};
    b.insert(b.end(), fact, fact + sizeof fact);
    b.insert(b.end(), plain.begin() + 36, plain.end());  // data
    Put32(b, 4, (unsigned)b.size() - 8);
    ASSERT_TRUE(LoadMem(b));
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.size, 8 + 200 + 6615);
    EXPECT_EQ(0, memcmp(s.data + 8, &plain[44], 200));

    // A chunk that claims more than the file holds ends the search.
    auto cut = b;
    Put32(cut, 42, 1u << 30);  // the LIST chunk's size
    EXPECT_FALSE(LoadMem(cut));
}

TEST_F(Wave, EightBitSamplesAreWidenedToSigned16) {
    auto b = Wav(1, 8, 22050, 40);
    b[44] = 0x80;
    b[45] = 0xFF;
    b[46] = 0x00;
    ASSERT_TRUE(LoadMem(b));
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.bits, 16);
    EXPECT_EQ(s.size, 8 + 80 + 6615);
    auto at = [&](int i) { return (int16_t)(s.data[8 + 2 * i] | (s.data[9 + 2 * i] << 8)); };
    EXPECT_EQ(at(0), 0);
    EXPECT_EQ(at(1), 0x7F00);
    EXPECT_EQ(at(2), -32768);
}

TEST_F(Wave, OddDataSizeDropsThePartialFrame) {
    auto b = Wav(2, 16, 88200, 103);
    ASSERT_TRUE(LoadMem(b));
    EXPECT_EQ(s.size, 8 + 100 + 6615);
}

TEST_F(Wave, LoadChoosesByEndingAndReportsUnreadableFiles) {
    auto good = Wav(1, 16, 44100, 200);
    WriteBytes("app/native/a.wav", good);
    WriteBytes("app/native/B.WAV", good);
    WriteBytes("app/native/t.mp3", {0xff, 0xfb, 0, 0});
    std::vector<unsigned char> broken(good.begin(), good.begin() + 60);
    WriteBytes("app/native/broken.wav", broken);

    EXPECT_TRUE(s.Load("res://a.wav"));
    EXPECT_EQ(s.type, KD_SAMPLE_WAV);
    EXPECT_STREQ(s.file_name, "res://a.wav");
    EXPECT_GT(s.size, 0);
    EXPECT_TRUE(s.Load("res://B.WAV"));

    // Missing or damaged: not loaded, no data.
    EXPECT_FALSE(s.Load("res://missing.wav"));
    EXPECT_EQ(s.data, nullptr);
    EXPECT_FALSE(s.Load("res://broken.wav"));
    EXPECT_EQ(s.size, 0);

    EXPECT_TRUE(s.Load("res://t.mp3"));
    EXPECT_EQ(s.type, KD_SAMPLE_MP3);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_FALSE(s.Load("res://missing.mp3"));

    EXPECT_FALSE(s.Load("res://a.ogg"));
    EXPECT_FALSE(s.Load("wav"));
    EXPECT_FALSE(s.Load(nullptr));
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

TEST_F(Wave, SilenceKeepsItsSizeUnlessThePadIsLarger) {
    s.GenerateSilence(8192, 22050);
    EXPECT_EQ(s.size, 8192);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.rate, 22050);
    s.GenerateSilence(1000, 22050);
    EXPECT_EQ(s.size, 1000 + 6615);
    for (int i = 0; i < s.size; i++) ASSERT_EQ(s.data[i], 0);
}

TEST_F(Wave, RescaleTruncatesTowardZero) {
    auto b = Wav(1, 16, 44100, 40);
    Put16(b, 44, 1001);
    Put16(b, 46, (unsigned)(uint16_t)-1001);
    ASSERT_TRUE(LoadMem(b));
    s.RescaleVolume(0.5f);
    EXPECT_EQ((int16_t)(s.data[8] | (s.data[9] << 8)), 500);
    EXPECT_EQ((int16_t)(s.data[10] | (s.data[11] << 8)), -500);
}

}  // namespace
