// End to end: the engine's sound implementation plays into SDL's disk
// driver, and the written mix is measured with sox window by window: the
// effect and the music are heard, and a stop silences them.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "sound-fixture.h"
#include "soundimp-qnx.h"

namespace {

const int kBytesPerSecond = 22050 * 2 * 2;  // stereo, 16-bit

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (long)st.st_size : -1;
}

struct Stat {
    double rms = -1;
    double freq = -1;
};

// RMS amplitude and rough frequency of [from, to) bytes of the mix, on the
// left channel (sox estimates the frequency of interleaved stereo wrongly).
Stat Measure(const std::string& raw, long from, long to) {
    char cmd[1024];
    snprintf(cmd, sizeof cmd,
             "sox -t raw -r 22050 -e signed -b 16 -c 2 '%s' -n trim %lds %lds remix 1 stat 2>&1", raw.c_str(), from / 4,
             (to - from) / 4);
    Stat st;
    FILE* p = popen(cmd, "r");
    if (!p) return st;
    char line[256];
    while (fgets(line, sizeof line, p)) {
        double v;
        if (sscanf(line, "RMS amplitude: %lf", &v) == 1) st.rms = v;
        if (sscanf(line, "Rough frequency: %lf", &v) == 1) st.freq = v;
        // sox aligns its columns with runs of spaces.
        if (strncmp(line, "RMS     amplitude:", 18) == 0) st.rms = atof(line + 18);
        if (strncmp(line, "Rough   frequency:", 18) == 0) st.freq = atof(line + 18);
    }
    pclose(p);
    return st;
}

class SoundOutput : public ::testing::Test {
protected:
    TempWorkDir dir;
    std::string raw;
    void SetUp() override {
        // Before the engine opens the audio device.
        raw = dir.path + "/mix.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        ResetTestProg();
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    // The mix written so far (the disk driver writes in real time).
    long Mark() { return FileSize(raw); }
    void Wait(int ms) { KDT_Sleep(ms); }
};

TEST_F(SoundOutput, EffectAndMusicAreHeardAndStopsSilenceThem) {
    WriteToneWav("app/native/sfx/tone.wav", 22050, 1, 2.0, 1000);
    std::filesystem::create_directories("app/native/music");
    std::filesystem::copy_file(std::string(getenv("KODO_TEST_DATA")) + "/music/loop.mp3",
                               "app/native/music/loop.mp3");
    ASSERT_TRUE(StartEngine());
    ASSERT_EQ(kd_state.sound_imp, (SoundImp*)si_qnx);
    kd_sound_t* tone = kd->LoadSound("sfx/tone");
    kd_sound_t* music = kd->LoadSound("music/loop");
    ASSERT_NE(tone->imp_data[1], nullptr);
    ASSERT_NE(music->imp_data[1], nullptr);

    Wait(400);
    long quiet0 = Mark();
    Wait(400);
    long effect0 = Mark();
    long ch = kd->PlaySound(tone, 1.0f, 0, 1);
    ASSERT_GT(ch, 0);
    Wait(1000);  // stopped well before its end: the stop must silence it
    long effect1 = Mark();
    kd->StopChannel(ch);
    Wait(500);
    long music0 = Mark();
    kd->PlayMusic(music, 1.0f, 0);
    Wait(1500);
    long music1 = Mark();
    kd->StopMusic(0);
    Wait(500);
    long quiet1 = Mark();
    Wait(400);
    long end = Mark();
    StopEngine();

    ASSERT_GT(end, 0) << "the disk driver wrote nothing";
    // Margins of 200 ms absorb the stream's start-up and the file's
    // buffering around each mark.
    const long margin = kBytesPerSecond / 5;
    Stat silence = Measure(raw, quiet0, effect0);
    Stat effect = Measure(raw, effect0 + margin, effect1);
    Stat after_effect = Measure(raw, effect1 + margin, music0);
    Stat song = Measure(raw, music0 + margin, music1);
    Stat after_music = Measure(raw, quiet1, end);
    printf("silence rms %.4f | effect rms %.4f freq %.0f | after %.4f | music rms %.4f freq %.0f | after %.4f\n",
           silence.rms, effect.rms, effect.freq, after_effect.rms, song.rms, song.freq, after_music.rms);

    EXPECT_LT(silence.rms, 0.005);
    EXPECT_GT(effect.rms, 0.1);
    EXPECT_GT(effect.freq, 850);
    EXPECT_LT(effect.freq, 1150);
    EXPECT_LT(after_effect.rms, 0.005);
    EXPECT_GT(song.rms, 0.05);
    EXPECT_GT(song.freq, 150);
    EXPECT_LT(song.freq, 700);
    EXPECT_LT(after_music.rms, 0.005);
}

}  // namespace
