// PCM streams and mixer groups. CTest runs this with SDL_AUDIODRIVER=disk:
// the mix is written to a raw file that sox measures.

#include <sys/asoundlib.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "test_util.h"

using namespace host_test;

namespace {

struct Stream {
    snd_pcm_t *pcm = nullptr;
    snd_mixer_t *mixer = nullptr;
    snd_mixer_group_t group{};
    int frag = 0;
};

// Opens a stream the way the engine's sound channels do.
void open_stream(Stream &s, const char *name, int voices = 1) {
    int card = -1, dev = -1;
    ASSERT_EQ(0, snd_pcm_open_preferred(&s.pcm, &card, &dev, SND_PCM_OPEN_PLAYBACK));
    ASSERT_EQ(0, snd_pcm_plugin_set_disable(s.pcm, PLUGIN_DISABLE_MMAP));
    ASSERT_EQ(0, snd_pcm_nonblock_mode(s.pcm, 1));
    snd_pcm_channel_info_t info{};
    info.channel = SND_PCM_CHANNEL_PLAYBACK;
    ASSERT_EQ(0, snd_pcm_plugin_info(s.pcm, &info));
    ASSERT_GT(info.max_fragment_size, 0);
    ASSERT_LE(info.max_fragment_size, 8820);
    snd_pcm_channel_params_t p{};
    p.channel = SND_PCM_CHANNEL_PLAYBACK;
    p.mode = SND_PCM_MODE_BLOCK;
    p.format.interleave = 1;
    p.format.format = SND_PCM_SFMT_S16_LE;
    p.format.rate = 22050;
    p.format.voices = voices;
    p.start_mode = SND_PCM_START_FULL;
    p.stop_mode = SND_PCM_STOP_STOP;
    p.buf.block.frag_size = info.max_fragment_size;
    p.buf.block.frags_min = 1;
    p.buf.block.frags_max = -1;
    snprintf(p.sw_mixer_subchn_name, sizeof p.sw_mixer_subchn_name, "%s", name);
    ASSERT_EQ(0, snd_pcm_plugin_params(s.pcm, &p));
    ASSERT_EQ(0, snd_pcm_plugin_prepare(s.pcm, SND_PCM_CHANNEL_PLAYBACK));
    snd_pcm_channel_setup_t setup{};
    setup.channel = SND_PCM_CHANNEL_PLAYBACK;
    setup.mixer_gid = &s.group.gid;
    ASSERT_EQ(0, snd_pcm_plugin_setup(s.pcm, &setup));
    ASSERT_STREQ(name, s.group.gid.name);
    ASSERT_EQ(0, snd_mixer_open(&s.mixer, card, setup.mixer_device));
    s.frag = setup.buf.block.frag_size;
}

void close_stream(Stream &s) {
    if (s.mixer) snd_mixer_close(s.mixer);
    if (s.pcm) snd_pcm_close(s.pcm);
    s = Stream{};
}

std::vector<short> tone(double seconds, double hz, int amplitude) {
    std::vector<short> v(static_cast<size_t>(seconds * 22050));
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<short>(amplitude * std::sin(2 * M_PI * hz * i / 22050.0));
    return v;
}

int status_of(snd_pcm_t *pcm, int *count = nullptr) {
    snd_pcm_channel_status_t st{};
    st.channel = SND_PCM_CHANNEL_PLAYBACK;
    EXPECT_EQ(0, snd_pcm_plugin_status(pcm, &st));
    if (count) *count = st.count;
    return st.status;
}

// Feeds the whole buffer as the engine's feeding thread does: chunks,
// short writes, re-prepare after an underrun; then waits until played.
void play_all(snd_pcm_t *pcm, const std::vector<short> &pcm_data, int frag) {
    const unsigned char *data = reinterpret_cast<const unsigned char *>(pcm_data.data());
    size_t size = pcm_data.size() * 2, pos = 0;
    size_t chunk = static_cast<size_t>((8820 / frag) * frag);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pos < size && std::chrono::steady_clock::now() < end) {
        size_t n = std::min(chunk, size - pos);
        ssize_t w = snd_pcm_plugin_write(pcm, data + pos, n);
        pos += w > 0 ? static_cast<size_t>(w) : 0;
        if (static_cast<size_t>(w > 0 ? w : 0) < n) {
            int st = status_of(pcm);
            if (st == SND_PCM_STATUS_READY || st == SND_PCM_STATUS_UNDERRUN) {
                ASSERT_EQ(0, snd_pcm_plugin_prepare(pcm, SND_PCM_CHANNEL_PLAYBACK));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ASSERT_EQ(size, pos);
    int count = 1;
    while (std::chrono::steady_clock::now() < end) {
        int st = status_of(pcm, &count);
        if (count == 0 || st == SND_PCM_STATUS_UNDERRUN) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(0, count);
}

class Pcm : public ::testing::Test {
protected:
    void SetUp() override {
        dir = make_temp_dir();
        raw = dir + "/out.raw";
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    }
    void TearDown() override {
        close_stream(a);
        close_stream(b);
        run("rm -rf '" + dir + "'");
    }
    std::string dir, raw;
    Stream a, b;
};

TEST_F(Pcm, ToneIsHeardAndMixerVolumeScalesIt) {
    open_stream(a, "kdChannel01");
    open_stream(b, "kdChannel02");
    // Full volume on one stream, half on the other, one after the other.
    snd_mixer_group_t g = b.group;
    ASSERT_EQ(0, snd_mixer_group_read(b.mixer, &g));
    EXPECT_EQ(0, g.min);
    EXPECT_EQ(100, g.max);
    g.volume.values[0] = g.volume.values[1] = 50;
    ASSERT_EQ(0, snd_mixer_group_write(b.mixer, &g));

    auto t = tone(0.6, 440, 16000);
    play_all(a.pcm, t, a.frag);
    close_stream(a);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a gap to split the file at
    std::string loud = dir + "/loud.raw";
    // The first half of the file is the loud tone; measure each part apart.
    play_all(b.pcm, t, b.frag);
    close_stream(b);  // last user: the device closes and the file is complete

    std::string all = read_file(raw);
    ASSERT_GT(all.size(), 22050u * 4);
    // Split at the silence between the two tones.
    const short *s = reinterpret_cast<const short *>(all.data());
    size_t frames = all.size() / 4, first_end = 0, second_start = 0;
    size_t i = 0;
    while (i < frames && std::abs(s[2 * i]) < 100) ++i;  // leading silence
    size_t first_start = i, quiet = 0;
    for (; i < frames; ++i) {
        quiet = std::abs(s[2 * i]) < 100 ? quiet + 1 : 0;
        if (quiet > 200) {
            first_end = i;
            break;
        }
    }
    ASSERT_GT(first_end, 0u);
    for (i = first_end; i < frames && std::abs(s[2 * i]) < 100; ++i) {}
    second_start = i;
    ASSERT_LT(second_start, frames);
    {
        std::ofstream f1(loud, std::ios::binary), f2(dir + "/soft.raw", std::ios::binary);
        f1.write(all.data() + first_start * 4, static_cast<std::streamsize>((first_end - 200 - first_start) * 4));
        f2.write(all.data() + second_start * 4, static_cast<std::streamsize>((frames - second_start) * 4));
    }
    double loud_max = sox_stat(loud, "Maximum amplitude");
    double soft_max = sox_stat(dir + "/soft.raw", "Maximum amplitude");
    double freq = sox_stat(loud, "Rough frequency");
    EXPECT_NEAR(16000.0 / 32768, loud_max, 0.02);
    EXPECT_NEAR(8000.0 / 32768, soft_max, 0.02);
    EXPECT_NEAR(440, freq, 25);
    EXPECT_GT(sox_stat(loud, "RMS amplitude"), 0.2);
}

TEST_F(Pcm, QueueCountStartAndUnderrun) {
    open_stream(a, "kdChannel01");
    std::vector<unsigned char> buf(static_cast<size_t>(a.frag) * 2, 0x11);
    int count = -1;
    EXPECT_EQ(SND_PCM_STATUS_PREPARED, status_of(a.pcm, &count));
    EXPECT_EQ(0, count);
    // Less than a fragment: queued, not started, so the count is exact.
    ASSERT_EQ(1000, snd_pcm_plugin_write(a.pcm, buf.data(), 1000));
    EXPECT_EQ(SND_PCM_STATUS_PREPARED, status_of(a.pcm, &count));
    EXPECT_EQ(1000, count);
    // An odd byte count is cut to whole frames.
    EXPECT_EQ(a.frag, snd_pcm_plugin_write(a.pcm, buf.data(), static_cast<size_t>(a.frag) + 1));
    EXPECT_EQ(SND_PCM_STATUS_RUNNING, status_of(a.pcm));
    // Played out: the empty stream reports underrun until prepared.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (status_of(a.pcm) != SND_PCM_STATUS_UNDERRUN && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(SND_PCM_STATUS_UNDERRUN, status_of(a.pcm, &count));
    EXPECT_EQ(0, count);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(SND_PCM_STATUS_UNDERRUN, status_of(a.pcm));
    errno = 0;
    EXPECT_LT(snd_pcm_plugin_write(a.pcm, buf.data(), 64), 0);
    EXPECT_EQ(EPIPE, errno);
    ASSERT_EQ(0, snd_pcm_plugin_prepare(a.pcm, SND_PCM_CHANNEL_PLAYBACK));
    EXPECT_EQ(64, snd_pcm_plugin_write(a.pcm, buf.data(), 64));
}

TEST_F(Pcm, WritesNeverBlockAndMayBeShort) {
    open_stream(a, "kdChannel01");
    std::vector<unsigned char> big(1 << 20, 0);
    auto t0 = std::chrono::steady_clock::now();
    ssize_t n = snd_pcm_plugin_write(a.pcm, big.data(), big.size());
    ssize_t m = snd_pcm_plugin_write(a.pcm, big.data(), big.size());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<ssize_t>(big.size()));
    EXPECT_EQ(0, n % a.frag);
    EXPECT_GE(m, 0);
    EXPECT_LT(m, n);  // the ring was full; at most what has played since
    // Drain stops at once and discards: READY, nothing queued; writing
    // then needs a prepare, as after an underrun.
    ASSERT_EQ(0, snd_pcm_plugin_playback_drain(a.pcm));
    int count = -1;
    EXPECT_EQ(SND_PCM_STATUS_READY, status_of(a.pcm, &count));
    EXPECT_EQ(0, count);
    EXPECT_LT(snd_pcm_plugin_write(a.pcm, big.data(), 64), 0);
    ASSERT_EQ(0, snd_pcm_plugin_prepare(a.pcm, SND_PCM_CHANNEL_PLAYBACK));
    EXPECT_EQ(64, snd_pcm_plugin_write(a.pcm, big.data(), 64));
}

TEST_F(Pcm, ParametersAndGroupsAreChecked) {
    snd_pcm_t *pcm = nullptr;
    ASSERT_EQ(0, snd_pcm_open_preferred(&pcm, nullptr, nullptr, SND_PCM_OPEN_PLAYBACK));
    snd_pcm_channel_params_t p{};
    p.channel = SND_PCM_CHANNEL_PLAYBACK;
    p.mode = SND_PCM_MODE_BLOCK;
    p.format.format = SND_PCM_SFMT_S16_LE;
    p.format.rate = 44100;
    p.format.voices = 1;
    p.start_mode = SND_PCM_START_FULL;
    p.stop_mode = SND_PCM_STOP_STOP;
    p.buf.block.frag_size = 2048;
    p.buf.block.frags_min = 1;
    p.buf.block.frags_max = -1;
    errno = 0;
    EXPECT_LT(snd_pcm_plugin_params(pcm, &p), 0);
    EXPECT_EQ(EINVAL, errno);
    p.format.rate = 22050;
    p.buf.block.frag_size = 0;
    EXPECT_LT(snd_pcm_plugin_params(pcm, &p), 0);
    p.buf.block.frag_size = 2048;
    // Not prepared before params: nothing to write to.
    unsigned char bytes[4] = {0};
    EXPECT_LT(snd_pcm_plugin_write(pcm, bytes, 4), 0);
    // A name that fills the whole field without a terminator is still
    // read safely and the group stays addressable.
    memset(p.sw_mixer_subchn_name, 'x', sizeof p.sw_mixer_subchn_name);
    ASSERT_EQ(0, snd_pcm_plugin_params(pcm, &p));
    snd_mixer_group_t g{};
    snd_pcm_channel_setup_t setup{};
    setup.channel = SND_PCM_CHANNEL_PLAYBACK;
    setup.mixer_group = &g;
    ASSERT_EQ(0, snd_pcm_plugin_setup(pcm, &setup));
    EXPECT_GT(strlen(g.gid.name), 0u);
    EXPECT_LT(strlen(g.gid.name), sizeof g.gid.name);
    snd_mixer_t *mixer = nullptr;
    ASSERT_EQ(0, snd_mixer_open(&mixer, 0, setup.mixer_device));
    g.volume.values[0] = 500;
    g.volume.values[1] = -3;
    ASSERT_EQ(0, snd_mixer_group_write(mixer, &g));
    ASSERT_EQ(0, snd_mixer_group_read(mixer, &g));
    EXPECT_EQ(100, g.volume.values[0]);
    EXPECT_EQ(0, g.volume.values[1]);
    snd_mixer_group_t missing{};
    snprintf(missing.gid.name, sizeof missing.gid.name, "no such group");
    EXPECT_LT(snd_mixer_group_read(mixer, &missing), 0);
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(0, snd_mixer_read(mixer, nullptr));
    snd_mixer_close(mixer);
    snd_pcm_close(pcm);
    EXPECT_LT(snd_pcm_open_preferred(&pcm, nullptr, nullptr, 0), 0);  // capture only
}

TEST(PcmFallback, OpensWithoutASoundCard) {
    // With no driver named, the default open fails on a machine without
    // sound hardware and the host falls back to the dummy driver.
    std::string saved = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    unsetenv("SDL_AUDIODRIVER");
    snd_pcm_t *pcm = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, snd_pcm_open_preferred(&pcm, nullptr, nullptr, SND_PCM_OPEN_PLAYBACK));
    testing::internal::GetCapturedStderr();
    if (pcm) snd_pcm_close(pcm);
    if (!saved.empty()) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
}

}  // namespace
