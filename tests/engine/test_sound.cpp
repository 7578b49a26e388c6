// The sound table (reference counts, cache modes, release at shutdown) and
// the effect channels of the platform's sound implementation, run on SDL's
// dummy audio driver.
#include <gtest/gtest.h>

#include <bps/bps.h>
#include <bps/mmrenderer.h>

#include <string>
#include <vector>

#include "kd-console.h"
#include "qnx-kodo.h"
#include "sound-fixture.h"
#include "soundimp-qnx.h"

int KDQ_SaneFragmentSize(int reported, int requested);
int KDQ_ChunkSize(int fragment);

namespace {

// Records what the table asks of an implementation.
class RecordingImp : public SoundImpNull {
public:
    std::vector<std::string> loads;
    std::vector<std::string> calls;
    bool accept = false;
    bool init_result = true;
    kd_sound_t* music = nullptr;
    float music_volume = -1;
    bool Initialize(kd_state_t*, kd_parms_t*) override { return init_result; }
    bool LoadSound(kd_sound_t*, const char* file) override {
        loads.push_back(file);
        return accept;
    }
    bool PlayMusic(kd_sound_t* snd, float volume, float) override {
        calls.push_back("PlayMusic");
        music = snd;
        music_volume = volume;
        return true;
    }
    void StopMusic(float) override {
        calls.push_back("StopMusic");
        music = nullptr;
    }
    void SetMusicLooping(bool on) override { calls.push_back(on ? "Loop" : "NoLoop"); }
    void SlideMusicVolume(float target, float seconds) override {
        calls.push_back("Slide " + std::to_string(target) + " " + std::to_string(seconds));
    }
    kd_sound_t* GetMusicPlaying() override { return music; }
};
RecordingImp recording;
SoundImp* RecordingFactory(const char*) { return &recording; }

class SoundTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    LogCapture log;

    void Start() {
        ResetTestProg();
        ASSERT_TRUE(StartEngine());
        kd_state.verbose_level = 0;
        kd_state.developer_mode = true;
        KDI_ResetPopups();
    }
    void TearDown() override {
        if (kd_state.initialised) StopEngine();
        KDID_SetSoundImpFactory(nullptr);
        kd_state.initialised = false;
    }
};

// ---------------------------------------------------------------------------
// The table

class SoundTable : public SoundTest {
protected:
    void SetUp() override {
        recording = RecordingImp();
        KDID_SetSoundImpFactory(RecordingFactory);
        Start();
    }
};

TEST_F(SoundTable, GetCountsOnceLoadCountsEveryCallAndCaps) {
    kd_sound_t* g = nullptr;
    for (int i = 0; i < 10; i++) g = kd->GetSound("sfx/a");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->ref_count, 1);
    EXPECT_EQ(g->flags & KD_SOUND_COUNTED_BY_GET, KD_SOUND_COUNTED_BY_GET);
    EXPECT_EQ(g->max_instances, -1);
    EXPECT_FLOAT_EQ(g->volume, 1.0f);
    EXPECT_FLOAT_EQ(g->frequency, 1.0f);

    kd_sound_t* l = nullptr;
    for (int i = 0; i < 10; i++) l = kd->LoadSound("sfx/b");
    EXPECT_EQ(l->ref_count, 10);
    EXPECT_EQ(l->flags & KD_SOUND_COUNTED_BY_GET, 0);
    EXPECT_EQ(kd->LoadSound("sfx/a"), g);
    EXPECT_EQ(g->ref_count, 2);

    l->ref_count = 4096;
    kd->LoadSound("sfx/b");
    EXPECT_EQ(l->ref_count, 4096);
    EXPECT_TRUE(log.Contains("Sound 'sfx/b' reference count suspiciously high: capping at 4096."));
}

TEST_F(SoundTable, LookupModeNeverCreatesOrCounts) {
    EXPECT_EQ(kd->GetSoundEx("sfx/x", KD_SOUND_CACHE_LOOKUP), nullptr);
    EXPECT_EQ(kd_state.num_sounds, 0);
    kd_sound_t* s = kd->LoadSound("sfx/x");
    EXPECT_EQ(kd->GetSoundEx("sfx/x", KD_SOUND_CACHE_LOOKUP), s);
    EXPECT_EQ(s->ref_count, 1);
    EXPECT_EQ(s->flags & KD_SOUND_COUNTED_BY_GET, 0);
}

TEST_F(SoundTable, NamesAreTriedWithEachEndingUnlessTheyHaveOne) {
    kd->LoadSound("sfx/a.b/click");
    kd->LoadSound("sfx/tick.");
    kd->LoadSound(".hidden");
    std::vector<std::string> want = {"sfx/a.b/click.wav", "sfx/a.b/click.ogg", "sfx/a.b/click.mp3", "sfx/tick.",
                                     ".hidden.wav", ".hidden.ogg", ".hidden.mp3"};
    EXPECT_EQ(recording.loads, want);
    EXPECT_TRUE(log.Contains("Sound resource 'sfx/a.b/click' not found."));
}

TEST_F(SoundTable, NoneRecordLoadsNothingAndNeverPlaysOrCounts) {
    kd_sound_t* n = kd->GetSound("!NONE");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->cache_mode, KD_SOUND_CACHE_LOAD);
    EXPECT_TRUE(recording.loads.empty());
    EXPECT_EQ(kd->PlaySound(n, 1, 0, 1), 0);
    kd->LoadSound("!NONE");
    EXPECT_EQ(n->ref_count, 1);
    EXPECT_EQ(kd_state.num_sounds, 1);
    // Names compare exactly; "!none" is a record of its own that is also
    // recognised as loading nothing.
    kd_sound_t* lower = kd->GetSound("!none");
    EXPECT_NE(lower, n);
    EXPECT_EQ(lower->cache_mode, KD_SOUND_CACHE_LOAD);
    EXPECT_TRUE(recording.loads.empty());
}

TEST_F(SoundTable, ReleaseHibernatesLoadRevivesAndCountsNeverGoNegative) {
    recording.accept = true;
    kd_sound_t* s = kd->LoadSound("sfx/pop");
    EXPECT_EQ(s->cache_mode, KD_SOUND_CACHE_LOAD);
    s->imp_data[1] = (void*)1;  // stands for the implementation's sample
    kd->ReleaseSound(s);
    EXPECT_EQ(s->ref_count, 0);
    EXPECT_EQ(s->cache_mode, KD_SOUND_CACHE_NONE);
    EXPECT_EQ(s->imp_data[1], nullptr);
    EXPECT_STREQ(s->name, "sfx/pop");
    EXPECT_TRUE(log.Contains("Hibernating sound 'sfx/pop'.."));

    kd->ReleaseSound(s);
    EXPECT_EQ(s->ref_count, 0);
    EXPECT_TRUE(log.Contains("Sound 'sfx/pop' reference count less than zero."));

    recording.loads.clear();
    EXPECT_EQ(kd->LoadSound("sfx/pop"), s);
    EXPECT_EQ(s->ref_count, 1);
    EXPECT_EQ(s->cache_mode, KD_SOUND_CACHE_LOAD);
    EXPECT_EQ(recording.loads.size(), 1u);

    kd_sound_t* g = kd->GetSound("sfx/got");
    kd->ReleaseSound(g);
    EXPECT_TRUE(log.Contains("Releasing sound 'sfx/got' too many times"));
}

TEST_F(SoundTable, WithoutReferenceCountingReleaseFreesTheRecordForReuse) {
    kd_state.reference_counting = false;
    kd_sound_t* a = kd->LoadSound("sfx/a");
    kd->LoadSound("sfx/b");
    kd->ReleaseSound(a);
    EXPECT_EQ(a->name, nullptr);
    kd->ReleaseSound(a);  // a free record: nothing happens
    EXPECT_EQ(kd->LoadSound("sfx/c"), a);
    EXPECT_EQ(kd_state.num_sounds, 2);
    kd_state.reference_counting = true;
}

TEST_F(SoundTable, FullTableGivesNull) {
    char name[32];
    for (int i = 0; i < KD_MAX_SOUNDS; i++) {
        snprintf(name, sizeof name, "s%d", i);
        ASSERT_NE(kd->GetSoundEx(name, 0), nullptr) << i;
    }
    EXPECT_EQ(kd->GetSoundEx("one-more", 0), nullptr);
    EXPECT_EQ(kd->LoadSound("one-more"), nullptr);
    EXPECT_TRUE(log.Contains(" ! Kodo out of free sounds."));
    EXPECT_EQ(kd_state.num_sounds, KD_MAX_SOUNDS);
}

TEST_F(SoundTable, NullNamesArePoppedUpAndGetAnEmptyName) {
    kd_sound_t* s = kd->GetSoundEx(nullptr, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, "");
    EXPECT_TRUE(log.Contains("KD_GetSoundEx called with null parameter (forbidden)."));
    EXPECT_EQ(kd->LoadSound(nullptr), s);
    EXPECT_TRUE(log.Contains("kd->LoadSound called with null parameter (forbidden)."));
}

TEST_F(SoundTable, LeftoverSoundsAreReleasedAtShutdown) {
    kd->LoadSound("sfx/twice");
    kd->LoadSound("sfx/twice");
    kd_sound_t* h = kd->LoadSound("sfx/hibernated");
    kd->ReleaseSound(h);
    kd->GetSound("sfx/got");
    StopEngine();
    EXPECT_TRUE(log.Contains("Sound 'sfx/twice' Reference count 2 at exit, releasing..."));
    EXPECT_TRUE(log.Contains("Sound 'sfx/got' Reference count 1 at exit, releasing..."));
    EXPECT_FALSE(log.Contains("Sound 'sfx/hibernated' Reference count"));
    EXPECT_FALSE(log.Contains("too many times"));
    int released = log.IndexOf("Releasing sounds.");
    int leftover = log.IndexOf("Sound 'sfx/twice' Reference count 2");
    EXPECT_LT(released, leftover);
    EXPECT_EQ(kd_state.num_sounds, 0);
    EXPECT_EQ(kd_state.sound_imp, GetSoundImpNull());
}

TEST_F(SoundTable, PlayMusicOnTheCurrentTrackOnlySlidesAndClamps) {
    kd_sound_t* a = kd->LoadSound("music/a");
    kd_sound_t* b = kd->LoadSound("music/b");
    kd->PlayMusic(a, 1.5f, 0);
    EXPECT_FLOAT_EQ(recording.music_volume, 1.0f);
    EXPECT_TRUE(log.Contains("KD_PlayMusic: Volume parameter out of range 0..1 (1.5)"));
    recording.calls.clear();
    kd->PlayMusic(a, 0.5f, 20);
    std::vector<std::string> want = {"Loop", "Slide " + std::to_string(0.5f) + " " + std::to_string(1.0f)};
    EXPECT_EQ(recording.calls, want);
    EXPECT_TRUE(log.Contains("KD_PlayMusic: Fade in time is suspiciously high (20)"));
    recording.calls.clear();
    kd->PlayMusic(b, 0.5f, 0);
    want = {"StopMusic", "PlayMusic"};
    EXPECT_EQ(recording.calls, want);
    recording.calls.clear();
    kd->SlideMusicVolume(-2, 11);
    EXPECT_EQ(recording.calls.back(), "Slide " + std::to_string(0.0f) + " " + std::to_string(11.0f));
    EXPECT_TRUE(log.Contains("KD_SlideMusicVolume: slide_time is suspiciously high (11)"));
    kd->PlayMusic(nullptr, 1, 0);
}

TEST_F(SoundTable, ReplayWithin50msIsRefused) {
    recording.accept = true;
    kd_sound_t* s = kd->LoadSound("sfx/a");
    kd->PlaySound(s, 1, 0, 1);  // the null player gives no channel
    unsigned int first = s->last_play_time;
    EXPECT_NE(first, 0u);
    s->last_play_time = KD_GetTime() - 10;
    unsigned int guarded = s->last_play_time;
    kd->PlaySound(s, 1, 0, 1);
    EXPECT_EQ(s->last_play_time, guarded);
    s->last_play_time = KD_GetTime() - 60;
    kd->PlaySound(s, 1, 0, 1);
    EXPECT_NE(s->last_play_time, guarded);
}

TEST(SoundImpChoice, FailingImplementationLeavesTheNullOne) {
    TempWorkDir dir;
    LogCapture log;
    ResetTestProg();
    recording = RecordingImp();
    recording.init_result = false;
    KDID_SetSoundImpFactory(RecordingFactory);
    ASSERT_TRUE(StartEngine());
    EXPECT_EQ(kd_state.sound_imp, GetSoundImpNull());
    EXPECT_TRUE(log.Contains("No Sound Implementation available."));
    EXPECT_EQ(kd->PlaySound(kd->GetSound("!x"), 1, 0, 1), 0);
    StopEngine();
    KDID_SetSoundImpFactory(nullptr);
}

// ---------------------------------------------------------------------------
// Channels of the platform implementation

unsigned int fake_now = 0;
unsigned int FakeClock() { return fake_now; }

class Channels : public SoundTest {
protected:
    SoundImpQNX* si = nullptr;
    void SetUp() override {
        WriteToneWav("app/native/sfx/tone.wav", 22050, 1, 0.2, 440);
        WriteToneWav("app/native/sfx/long.wav", 22050, 1, 3.0, 440);
        WriteToneWav("app/native/sfx/t2.wav", 22050, 1, 0.2, 660);
        WriteToneWav("app/native/sfx/t3.wav", 22050, 1, 0.2, 550);
        WriteToneWav("app/native/sfx/t4.wav", 22050, 1, 0.2, 770);
        WriteToneWav("app/native/sfx/hifi.wav", 44100, 1, 0.2, 440);
        WriteToneWav("app/native/sfx/stereo.wav", 22050, 2, 0.2, 440);
        WriteToneWav("app/native/sfx/near.wav", 21000, 1, 0.2, 440);
        Start();
        si = si_qnx;
        ASSERT_EQ(kd_state.sound_imp, (SoundImp*)si);
        fake_now = 100000;
        si->clock = FakeClock;
    }
    // The fake clock stays until shutdown has stopped the feeder thread,
    // which reads it: swapping it back first would race with that thread.
    kd_sound_t* Load(const char* name) {
        kd_sound_t* s = kd->LoadSound(name);
        EXPECT_NE(s->imp_data[1], nullptr) << name;
        s->last_play_time = 0;
        return s;
    }
    long Play(kd_sound_t* s, float v = 1) {
        s->last_play_time = 0;  // the 50 ms guard is the table's, tested above
        return kd->PlaySound(s, v, 0, 1);
    }
    kdSoundChannel* ChannelOf(long id) {
        for (int i = 0; i < si->channels.count; i++)
            if (si->channels[i]->id == id) return si->channels[i];
        return nullptr;
    }
    // Real time passes until the feeding thread has finished the channel.
    bool WaitFinished(kdSoundChannel* ch) {
        for (int i = 0; i < 3000; i++) {
            ch->Lock();
            bool playing = ch->playing;
            ch->Unlock();
            if (!playing) return true;
            KDT_Sleep(1);
        }
        return false;
    }
    int MixerValue(kdSoundChannel* ch) {
        snd_mixer_group_t g = ch->group;
        EXPECT_EQ(snd_mixer_group_read(ch->mixer, &g), 0);
        return g.volume.values[0];
    }
};

TEST_F(Channels, TwelveStreamsOpenAndTheLastPlaysSilenceForever) {
    EXPECT_EQ(si->channels.count, KDQ_NUM_CHANNELS);
    ASSERT_NE(si->SilenceChannel(), nullptr);
    EXPECT_EQ(si->SilenceChannel(), si->channels[KDQ_NUM_CHANNELS - 1]);
    EXPECT_TRUE(si->SilenceChannel()->playing);
    EXPECT_TRUE(si->SilenceChannel()->looping);
    EXPECT_EQ(si->SilenceChannel()->id, 0);
    EXPECT_EQ(si->SilenceChannel()->fragment_size, 2048);
    EXPECT_EQ(si->SilenceChannel()->chunk_size, 8192);
    EXPECT_TRUE(si->FeederRunning());
    EXPECT_STREQ(si->GetName(), "QNX SoundImp");
}

TEST_F(Channels, IdsRiseAndASoundPlaysOnAtMostThreeChannels) {
    kd_sound_t* s = Load("sfx/long");
    long a = Play(s), b = Play(s), c = Play(s);
    EXPECT_GT(a, 0);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(c, a + 2);
    EXPECT_EQ(Play(s), 0);
    EXPECT_EQ(si->GetNumberOfSoundInstancesPlaying(s), 3);
    EXPECT_EQ(kd->GetChannelSound(b), s);
    EXPECT_EQ(kd->GetChannelSound(0), nullptr);
    kd->StopChannel(b);
    EXPECT_EQ(si->GetNumberOfSoundInstancesPlaying(s), 2);
}

TEST_F(Channels, ElevenEffectsAtOnceThenChannelsRestBeforeReuse) {
    kd_sound_t* sounds[4] = {Load("sfx/long"), Load("sfx/t2"), Load("sfx/t3"), Load("sfx/t4")};
    // t2..t4 are short: stretch them by looping.
    std::vector<long> ids;
    for (int i = 0; i < 11; i++) {
        long id = Play(sounds[i / 3]);
        ASSERT_GT(id, 0) << i;
        kd->SetChannelLooping(id, true);
        ids.push_back(id);
    }
    kd_sound_t* extra = Load("sfx/tone");
    EXPECT_EQ(Play(extra), 0);
    kdSoundChannel* first = ChannelOf(ids[0]);
    ASSERT_NE(first, nullptr);
    kd->StopChannel(ids[0]);
    ASSERT_TRUE(WaitFinished(first));
    EXPECT_EQ(Play(extra), 0);  // finished, but resting
    fake_now += 500;
    long id = Play(extra);
    EXPECT_GT(id, ids.back());
    for (long i : ids) kd->StopChannel(i);
}

TEST_F(Channels, AFinishedChannelAnswersFor500ms) {
    kd_sound_t* s = Load("sfx/tone");
    long id = Play(s);
    kdSoundChannel* ch = ChannelOf(id);
    ASSERT_NE(ch, nullptr);
    EXPECT_TRUE(kd->IsChannelAlive(id));
    ASSERT_TRUE(WaitFinished(ch));
    EXPECT_EQ(ch->last_activity, fake_now);
    fake_now += 400;
    EXPECT_TRUE(kd->IsChannelAlive(id));
    EXPECT_EQ(kd->GetChannelSound(id), nullptr);
    fake_now += 200;
    EXPECT_FALSE(kd->IsChannelAlive(id));
    kd->StopChannel(id);  // no channel answers: nothing happens
    EXPECT_EQ(ch->id, id);
}

TEST_F(Channels, SlideBelowZeroStopsAtOnceOtherSlidesApplyAtOnce) {
    kd_sound_t* s = Load("sfx/long");
    long id = Play(s, 1.0f);
    kdSoundChannel* ch = ChannelOf(id);
    ASSERT_NE(ch, nullptr);
    EXPECT_EQ(MixerValue(ch), 100);
    kd->SlideChannelVolume(id, 0.5f, 3.0f);
    EXPECT_EQ(MixerValue(ch), 75);
    kd->SetChannelVolume(id, 0.0f);
    EXPECT_EQ(MixerValue(ch), 0);  // volume 0 is silence
    kd->SetMasterVolume(0.5f);
    kd->SetChannelVolume(id, 1.0f);
    EXPECT_EQ(MixerValue(ch), 75);
    kd->SetMasterVolume(1.0f);
    EXPECT_EQ(MixerValue(ch), 100);
    kd->StopChannelWithFade(id, 3.0f);
    EXPECT_FALSE(kd->IsChannelAlive(id));
    EXPECT_EQ(ch->sample, nullptr);
    EXPECT_EQ(Play(s, 0.0f), 0);  // silent requests start nothing
}

TEST_F(Channels, SampleFormatMustMatchTheChannel) {
    kd_sound_t* hifi = Load("sfx/hifi");
    long id = Play(hifi);
    EXPECT_GT(id, 0);  // an id, but nothing plays
    EXPECT_EQ(kd->GetChannelSound(id), nullptr);
    EXPECT_TRUE(log.Contains("Sample format mismatch with 'sfx/hifi': 44100Hz num_channels=1"));
    Play(Load("sfx/stereo"));
    EXPECT_TRUE(log.Contains("Sample format mismatch with 'sfx/stereo': 22050Hz num_channels=2"));
    kd_sound_t* near = Load("sfx/near");
    long n = Play(near);
    EXPECT_EQ(kd->GetChannelSound(n), near);
}

TEST_F(Channels, LoopingRestartsUntilStoppedPausingHolds) {
    kd_sound_t* s = Load("sfx/tone");  // 0.2 s plus padding
    long id = Play(s);
    kd->SetChannelLooping(id, true);
    kdSoundChannel* ch = ChannelOf(id);
    KDT_Sleep(700);
    EXPECT_TRUE(kd->IsChannelAlive(id));
    EXPECT_TRUE(ch->playing);
    kd->SetChannelPaused(id, true);
    ch->Lock();
    int at = ch->position;
    ch->Unlock();
    KDT_Sleep(50);
    EXPECT_EQ(ch->position, at);
    kd->SetChannelPaused(id, false);
    kd->StopChannel(id);
    EXPECT_TRUE(WaitFinished(ch));
}

TEST_F(Channels, FreeingASoundWhileItPlaysDetachesItFirst) {
    // Loaded, played and released over and over while the feeding thread
    // writes: the sample is never freed under it (address sanitizer builds
    // catch any slip).
    for (int round = 0; round < 40; round++) {
        kd_sound_t* s = Load("sfx/long");
        long a = Play(s), b = Play(s);
        kd->SetChannelLooping(a, true);
        if (round % 2) KDT_Sleep(1);
        kd->ReleaseSound(s);
        EXPECT_EQ(s->imp_data[1], nullptr);
        EXPECT_EQ(kd->GetChannelSound(a), nullptr);
        EXPECT_EQ(kd->GetChannelSound(b), nullptr);
        EXPECT_EQ(si->GetNumberOfSoundInstancesPlaying(s), 0);
    }
}

// The feeding thread watches the engine's quit flag: once it is set,
// nothing more is written, though the streams stay open until shutdown.
TEST_F(Channels, TheFeederStopsOnceTheEngineQuits) {
    auto position = [](kdSoundChannel* ch) {
        ch->Lock();
        int at = ch->position;
        ch->Unlock();
        return at;
    };
    kdSoundChannel* before = ChannelOf(Play(Load("sfx/long")));
    ASSERT_NE(before, nullptr);
    for (int i = 0; i < 2000 && position(before) == 0; i++) KDT_Sleep(1);
    ASSERT_GT(position(before), 0);  // a fresh stream takes its first chunk at once

    KD_SignalShutdown();
    KDT_Sleep(20);  // a pass already under way ends
    kdSoundChannel* after = ChannelOf(Play(Load("sfx/t2")));
    ASSERT_NE(after, nullptr);
    KDT_Sleep(300);
    EXPECT_EQ(position(after), 0);
}

TEST_F(Channels, RestartingKeepsOneFeederAndReopensEveryStream) {
    kd_sound_t* s = Load("sfx/long");
    Play(s);
    for (int i = 0; i < 3; i++) {
        kd_state.reinit_pending = false;
        KDI_ReInitSounds();
        EXPECT_EQ(si->channels.count, KDQ_NUM_CHANNELS) << "streams left open by the last run";
        EXPECT_TRUE(si->FeederRunning());
    }
    si->clock = FakeClock;
    EXPECT_NE(s->imp_data[1], nullptr);  // reloaded
    EXPECT_GT(Play(s), 0);
}

TEST(ChannelSizes, FragmentSizeOfZeroFallsBack) {
    EXPECT_EQ(KDQ_SaneFragmentSize(1024, 2048), 1024);
    EXPECT_EQ(KDQ_SaneFragmentSize(0, 2048), 2048);
    EXPECT_EQ(KDQ_SaneFragmentSize(-5, 0), KDQ_FALLBACK_FRAGMENT);
    EXPECT_EQ(KDQ_ChunkSize(2048), 8192);
    EXPECT_EQ(KDQ_ChunkSize(1000), 8000);
    EXPECT_EQ(KDQ_ChunkSize(0), 8192);
    EXPECT_EQ(KDQ_ChunkSize(10000), 10000);  // one fragment when larger than 200 ms
}

// ---------------------------------------------------------------------------
// Music

class Music : public Channels {};

TEST_F(Music, VolumeMapsOntoTheUpperHalfAndZeroIsSilence) {
    std::filesystem::create_directories("app/native/music");
    std::filesystem::copy_file(std::string(getenv("KODO_TEST_DATA")) + "/music/loop.mp3",
                               "app/native/music/loop.mp3");
    kd_sound_t* m = kd->LoadSound("music/loop");
    ASSERT_NE(m->imp_data[1], nullptr);
    EXPECT_EQ(kd->LoadSound("music/loop.wav")->imp_data[1], nullptr);  // refused under music/
    kd->SetMasterVolume(0.5f);
    kd->PlayMusic(m, 1.0f, 0);
    EXPECT_EQ(kd->GetMusicPlaying(), m);
    EXPECT_EQ(si->music.volume_percent, 75);
    kd->SlideMusicVolume(0.0f, 2.0f);
    EXPECT_EQ(si->music.volume_percent, 0);
    kd->SetMasterVolume(1.0f);
    kd->SlideMusicVolume(1.0f, 0);
    EXPECT_EQ(si->music.volume_percent, 100);
    kd->SetMusicLooping(false);  // music always loops
    kd->StopMusic(0);
    EXPECT_EQ(kd->GetMusicPlaying(), nullptr);
}

TEST_F(Music, AMissingTrackIsNotLoaded) {
    kd_sound_t* m = kd->LoadSound("music/none");
    EXPECT_EQ(m->imp_data[1], nullptr);
    EXPECT_TRUE(log.Contains("Sound resource 'music/none' not found."));
    kd->PlayMusic(m, 1, 0);
    EXPECT_EQ(kd->GetMusicPlaying(), nullptr);
}

// The track is played again each time it reaches its end; after a stop
// the end event restarts nothing.
TEST_F(Music, TrackEndRestartsTheTrackUntilStopped) {
    int made = system(
        "sox -V1 -n -r 22050 -c 2 t.wav synth 0.3 sine 300 && mkdir -p app/native/music && "
        "lame --quiet t.wav app/native/music/short.mp3");
    ASSERT_EQ(made, 0);
    StopEngine();
    ASSERT_EQ(bps_initialize(), BPS_SUCCESS);  // the renderer's events come through it
    Start();
    si = si_qnx;
    ASSERT_GT(si->music.event_request, 0);
    kd_sound_t* m = kd->LoadSound("music/short");
    kd->PlayMusic(m, 1, 0);
    int playing = 0, stopped = 0;
    for (int i = 0; i < 4000 && stopped < 2; i++) {
        bps_event_t* ev = nullptr;
        bps_get_event(&ev, 1);
        if (!ev || bps_event_get_domain(ev) != mmrenderer_get_domain()) continue;
        mmr_state_t st = mmrenderer_event_get_state(ev);
        if (st == MMR_STATE_PLAYING) playing++;
        if (st == MMR_STATE_STOPPED) stopped++;
        KDQ_HandleMusicEvent(ev);
    }
    EXPECT_EQ(stopped, 2);
    EXPECT_GE(playing, 2);  // the first play and a restart after the first end
    EXPECT_EQ(kd->GetMusicPlaying(), m);
    kd->StopMusic(0);
    // Events already queued before the stop are handled; afterwards the
    // track, shorter than the wait, must give none.
    for (;;) {
        bps_event_t* ev = nullptr;
        bps_get_event(&ev, 0);
        if (!ev) break;
        KDQ_HandleMusicEvent(ev);
    }
    int after = 0;
    for (int i = 0; i < 500; i++) {
        bps_event_t* ev = nullptr;
        bps_get_event(&ev, 1);
        if (ev && bps_event_get_domain(ev) == mmrenderer_get_domain()) {
            after++;
            KDQ_HandleMusicEvent(ev);
        }
    }
    EXPECT_EQ(after, 0);
    StopEngine();
    bps_shutdown();
}

}  // namespace
