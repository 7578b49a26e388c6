// Music renderer: an MP3 made here with sox and lame is played into the
// disk driver's file (CTest sets SDL_AUDIODRIVER=disk), with its events.

#include <bps/bps.h>
#include <bps/mmrenderer.h>
#include <mm/renderer.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "test_util.h"

using namespace host_test;

namespace {

class Music : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new std::string(make_temp_dir());
        std::string wav = *dir + "/tone.wav";
        mp3 = new std::string(*dir + "/tone.mp3");
        run("sox -n -r 22050 -c 2 '" + wav + "' synth 0.5 sine 440 vol 0.5");
        run("lame --quiet '" + wav + "' '" + *mp3 + "'");
    }
    static void TearDownTestSuite() {
        run("rm -rf '" + *dir + "'");
        delete dir;
        delete mp3;
    }
    void SetUp() override {
        ASSERT_EQ(0, access(mp3->c_str(), R_OK)) << "sox/lame could not make the test track";
        raw = *dir + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        ASSERT_EQ(BPS_SUCCESS, bps_initialize());
        conn = mmr_connect(nullptr);
        ASSERT_NE(nullptr, conn);
        ctx = mmr_context_create(conn, "kd_mp_test", 0, 0500);
        ASSERT_NE(nullptr, ctx);
        output = mmr_output_attach(ctx, "audio:default", "audio");
        ASSERT_GE(output, 0);
        request = mmrenderer_request_events("kd_mp_test", 0, 0);
        ASSERT_GT(request, 0);
    }
    void TearDown() override {
        finish();
        bps_shutdown();
    }
    // Shuts the renderer down as the engine does; the device closes with
    // its last user, which completes the output file.
    void finish() {
        if (request > 0) mmrenderer_stop_events(request);
        if (ctx) {
            mmr_stop(ctx);
            mmr_input_detach(ctx);
            mmr_context_destroy(ctx);
        }
        if (conn) mmr_disconnect(conn);
        request = 0;
        ctx = nullptr;
        conn = nullptr;
    }
    static std::vector<Ev> music_events(int ms, size_t want = 1000) {
        std::vector<Ev> out;
        for (const Ev &e : collect(ms, want))
            if (e.domain == mmrenderer_get_domain()) out.push_back(e);
        return out;
    }
    void set_volume(const char *percent) {
        strm_dict_t *d = strm_dict_set(strm_dict_new(), "volume", percent);
        ASSERT_NE(nullptr, d);
        ASSERT_EQ(0, mmr_output_parameters(ctx, static_cast<unsigned>(output), d));
    }

    static std::string *dir, *mp3;
    std::string raw;
    mmr_connection_t *conn = nullptr;
    mmr_context_t *ctx = nullptr;
    int output = -1, request = 0;
};

std::string *Music::dir = nullptr;
std::string *Music::mp3 = nullptr;

TEST_F(Music, TrackPlaysToItsEndWithPlayingAndStoppedEvents) {
    ASSERT_EQ(0, mmr_input_attach(ctx, ("file://" + *mp3).c_str(), "track"));
    ASSERT_EQ(0, mmr_play(ctx));
    auto evs = music_events(5000, 2);
    ASSERT_EQ(2u, evs.size());
    EXPECT_EQ(MMR_STATE_PLAYING, evs[0].mmr_state);
    EXPECT_EQ(MMR_STATE_STOPPED, evs[1].mmr_state);
    EXPECT_EQ(2, evs[1].mmr_state);
    EXPECT_EQ(0, evs[1].mmr_error);
    // Playing again after the end starts over, as the engine's looping does.
    ASSERT_EQ(0, mmr_play(ctx));
    evs = music_events(5000, 2);
    ASSERT_EQ(2u, evs.size());
    EXPECT_EQ(MMR_STATE_PLAYING, evs[0].mmr_state);
    EXPECT_EQ(MMR_STATE_STOPPED, evs[1].mmr_state);
    finish();
    EXPECT_NEAR(0.5, sox_stat(raw, "Maximum amplitude"), 0.1);
    EXPECT_NEAR(440, sox_stat(raw, "Rough frequency"), 40);
}

TEST_F(Music, ExplicitStopGivesNoEventAndVolumeScales) {
    set_volume("50");
    ASSERT_EQ(0, mmr_input_attach(ctx, (*mp3).c_str(), "track"));  // a plain path works too
    ASSERT_EQ(0, mmr_play(ctx));
    ASSERT_EQ(0, mmr_play(ctx));  // already playing: no second event
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_EQ(0, mmr_stop(ctx));
    auto evs = music_events(1500);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(MMR_STATE_PLAYING, evs[0].mmr_state);
    finish();
    EXPECT_NEAR(0.25, sox_stat(raw, "Maximum amplitude"), 0.06);
}

TEST_F(Music, FailuresSetErrno) {
    errno = 0;
    EXPECT_EQ(-1, mmr_input_attach(ctx, ("file://" + *dir + "/missing.mp3").c_str(), "track"));
    EXPECT_EQ(ENOENT, errno);
    errno = 0;
    EXPECT_EQ(-1, mmr_play(ctx));  // nothing attached
    EXPECT_NE(0, errno);
    EXPECT_EQ(-1, mmr_input_attach(ctx, (*mp3).c_str(), "playlist"));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ(nullptr, mmr_context_create(conn, "kd_mp_test", 0, 0500));  // name taken
    EXPECT_EQ(EEXIST, errno);
    strm_dict_t *d = strm_dict_set(strm_dict_new(), "volume", "loud");
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(-1, mmr_output_parameters(ctx, static_cast<unsigned>(output), d));
    EXPECT_EQ(EINVAL, errno);
    d = strm_dict_set(strm_dict_new(), "volume", "101");
    EXPECT_EQ(-1, mmr_output_parameters(ctx, static_cast<unsigned>(output), d));
    EXPECT_EQ(nullptr, strm_dict_set(strm_dict_new(), nullptr, "x"));
    // A file that is not MP3 at all.
    std::string junk = *dir + "/junk.mp3";
    {
        std::ofstream f(junk);
        f << "this is not audio";
    }
    EXPECT_EQ(-1, mmr_input_attach(ctx, junk.c_str(), "track"));
    EXPECT_TRUE(music_events(100).empty());
}

}  // namespace
