// The audio manager: volumes applied to sounds and music, clamping, music
// switching, the master-volume fade on window activation, and its link to
// the profiles and the script functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audioman.h"
#include "luaman.h"
#include "profiles.h"
#include "ui/screen-manager.h"

namespace {

// An interface table whose sound slots record their calls.
struct SoundCalls {
    std::vector<float> master;
    std::vector<std::string> calls;
    kd_sound_t* playing = nullptr;
};
SoundCalls* calls = nullptr;

std::string F(float v) {
    char t[32];
    snprintf(t, sizeof t, "%.3f", v);
    return t;
}

void Quiet(int, const char*, ...) {}
void QuietPrint(const char*, ...) {}

struct AudioEnv {
    kodo_t table = kd_null_table;
    kodo_t* saved = kd;
    SoundCalls record;
    alignas(8) char sa[8] = {}, sb[8] = {};  // stand-ins: only their addresses count
    kd_sound_t* a = (kd_sound_t*)sa;
    kd_sound_t* b = (kd_sound_t*)sb;
    AudioEnv() {
        calls = &record;
        table.PrintDebugf = Quiet;
        table.Popupf = Quiet;
        table.Printf = QuietPrint;
        table.SetMasterVolume = [](float v) { calls->master.push_back(v); };
        table.PlaySound = [](kd_sound_t*, float v, float pan, float f) -> long {
            calls->calls.push_back("PlaySound " + F(v) + " " + F(pan) + " " + F(f));
            return 7;
        };
        table.PlayMusic = [](kd_sound_t* s, float v, float fade) {
            calls->playing = s;
            calls->calls.push_back("PlayMusic " + F(v) + " " + F(fade));
        };
        table.StopMusic = [](float fade) {
            calls->playing = nullptr;
            calls->calls.push_back("StopMusic " + F(fade));
        };
        table.SlideMusicVolume = [](float v, float t) { calls->calls.push_back("Slide " + F(v) + " " + F(t)); };
        table.GetMusicPlaying = []() { return calls->playing; };
        kd = &table;
        aman = AudioManager();
        sman.application_active = true;
        sman.zero_next_time_step = false;
    }
    ~AudioEnv() {
        kd = saved;
        calls = nullptr;
        aman = AudioManager();
        profile_man.SetAudioHooks(ProfileManager::AudioHooks());
        sman.application_active = true;
        sman.zero_next_time_step = false;
    }
};

kd_event_t Activation(bool active) {
    kd_event_t e{};
    e.type = KD_EVENT_ACTIVATION;
    e.id = active ? 0 : 1;
    return e;
}

}  // namespace

TEST(AudioManager, VolumesScaleAndClampEveryRequest) {
    AudioEnv env;
    aman.Initialize();
    EXPECT_FLOAT_EQ(aman.GetSoundVolume(), 0.75f);
    EXPECT_FLOAT_EQ(aman.GetMusicVolume(), 0.75f);
    EXPECT_EQ(aman.PlaySound(env.a, 1.7f, 0.5f, 1.2f), 7);
    aman.PlaySound(env.a, -1, 0, 1);
    aman.PlaySound(env.a, 0.5f, 0, 1);
    EXPECT_EQ(aman.PlaySound(nullptr, 1, 0, 1), 0);
    aman.PlayMusic(env.b, 2.0f, 5.0f);  // no fade-in whatever the third argument
    ASSERT_EQ(env.record.calls.size(), 4u);
    EXPECT_EQ(env.record.calls[0], "PlaySound 0.750 0.500 1.200");
    EXPECT_EQ(env.record.calls[1], "PlaySound 0.000 0.000 1.000");
    EXPECT_EQ(env.record.calls[2], "PlaySound 0.375 0.000 1.000");
    EXPECT_EQ(env.record.calls[3], "PlayMusic 0.750 0.000");

    aman.SlideMusicVolume(1.5f, 2);
    EXPECT_FLOAT_EQ(aman.GetMusicVolume(), 1.0f);
    aman.SlideMusicVolume(-3, 0);
    EXPECT_FLOAT_EQ(aman.GetMusicVolume(), 0.0f);
    EXPECT_EQ(env.record.calls[4], "Slide 1.000 2.000");
    EXPECT_EQ(env.record.calls[5], "Slide 0.000 0.000");
    aman.SetSoundVolume(4);
    EXPECT_FLOAT_EQ(aman.GetSoundVolume(), 1.0f);
}

TEST(AudioManager, MasterVolumeFadesWithWindowActivation) {
    AudioEnv env;
    // Through the screen manager, as in a frame: the activation event
    // clears the active flag, each update moves the fade by the step.
    kd_event_t off = Activation(false), on = Activation(true);
    sman.ProcessEvent(off);
    EXPECT_FALSE(sman.application_active);
    sman.Update(0.25f);
    ASSERT_EQ(env.record.master.size(), 1u);
    EXPECT_FLOAT_EQ(env.record.master.back(), 0.75f);
    sman.Update(0.5f);
    EXPECT_FLOAT_EQ(env.record.master.back(), 0.25f);
    sman.Update(0.5f);
    EXPECT_FLOAT_EQ(env.record.master.back(), 0.0f);  // never below 0
    sman.Update(3.0f);
    EXPECT_FLOAT_EQ(env.record.master.back(), 0.0f);

    sman.ProcessEvent(on);
    EXPECT_TRUE(sman.application_active);
    sman.Update(0.4f);
    EXPECT_NEAR(env.record.master.back(), 0.4f, 1e-6);
    // A zero time step (after a music switch) reaches the screens alone:
    // the fade keeps real time.
    sman.zero_next_time_step = true;
    sman.Update(0.5f);
    EXPECT_NEAR(env.record.master.back(), 0.9f, 1e-6);
    sman.Update(5.0f);
    EXPECT_FLOAT_EQ(env.record.master.back(), 1.0f);  // never above 1
    EXPECT_EQ(env.record.master.size(), 7u);  // set every frame
}

TEST(AudioManager, SwitchingMusicRestartsOnlyAnotherTrack) {
    AudioEnv env;
    aman.SetMusicVolume(0.6f);
    aman.SwitchMusic(env.a, 1.5f, 0.5f);
    EXPECT_TRUE(sman.zero_next_time_step);
    ASSERT_EQ(env.record.calls.size(), 2u);
    EXPECT_EQ(env.record.calls[0], "StopMusic 0.500");
    EXPECT_EQ(env.record.calls[1], "PlayMusic 0.600 1.500");
    EXPECT_EQ(env.record.playing, env.a);

    // The track already playing (perhaps slid down) comes back to the
    // music volume without a restart.
    env.record.calls.clear();
    aman.SwitchMusic(env.a, 2.0f, 0.5f);
    ASSERT_EQ(env.record.calls.size(), 1u);
    EXPECT_EQ(env.record.calls[0], "Slide 0.600 2.000");

    env.record.calls.clear();
    aman.SwitchMusic(env.b, 0, 1);
    ASSERT_EQ(env.record.calls.size(), 2u);
    EXPECT_EQ(env.record.calls[0], "StopMusic 1.000");
    EXPECT_EQ(env.record.calls[1], "PlayMusic 0.600 0.000");

    // Switching to silence stops the music and starts nothing.
    env.record.calls.clear();
    aman.SwitchMusic(nullptr, 0, 2);
    ASSERT_EQ(env.record.calls.size(), 1u);
    EXPECT_EQ(env.record.calls[0], "StopMusic 2.000");
    aman.StopMusic(0.25f);
    EXPECT_EQ(env.record.calls.back(), "StopMusic 0.250");
}

TEST(AudioManager, ProfilesAndScriptsReachTheVolumes) {
    AudioEnv env;
    aman.Initialize();
    // The profile manager reads and writes through the manager's volumes.
    aman.SetSoundVolume(0.2f);
    EXPECT_FLOAT_EQ(profile_man.GetSoundVolume(), 0.2f);
    aman.SetMusicVolume(0.3f);
    EXPECT_FLOAT_EQ(profile_man.GetMusicVolume(), 0.3f);

    aman.SetSoundVolume(0.9f);
    aman.SlideMusicVolume(0.4f, 1);
    EXPECT_FLOAT_EQ(aman.GetMusicVolume(), 0.4f);
    EXPECT_EQ(aman.PlaySound(env.a, 1, 0, 1), 7);
    EXPECT_EQ(env.record.calls.back(), "PlaySound 0.900 0.000 1.000");

    lua_State* L = lua_man.OpenLuaState(0);
    ASSERT_TRUE(L);
    ASSERT_TRUE(lua_man.ExecLuaString(L, "SetSoundVolume(0.5) s = GetSoundVolume() m = GetMusicVolume()"));
    lua_getglobal(L, "s");
    EXPECT_NEAR(lua_tonumber(L, -1), 0.5, 1e-6);
    lua_getglobal(L, "m");
    EXPECT_NEAR(lua_tonumber(L, -1), 0.4, 1e-6);
    lua_pop(L, 2);
    lua_man.CloseLuaState(L);
}
