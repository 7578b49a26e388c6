#include <gtest/gtest.h>

#include <set>

#include <bps/navigator.h>
#include <host/host.h>

#include "qnx-kodo.h"
#include "test-support.h"

// A fake clock: each sleep advances it by the slept time, each read by
// `read_cost` (to model the spin).
static unsigned int fake_now = 0;
static unsigned int read_cost = 0;
static std::vector<int> sleeps;
static unsigned int FakeClock() {
    unsigned int t = fake_now;
    fake_now += read_cost;
    return t;
}
static void FakeSleep(int ms) {
    sleeps.push_back(ms);
    fake_now += (unsigned)ms;
}

TEST(FramePacing, ShortFrameSleepsUntil2msBeforeTheTargetThenSpins) {
    fake_now = 1003;  // the frame itself took 3 ms
    read_cost = 0;
    sleeps.clear();
    // The spin needs the clock to move: let reads advance once sleeping is over.
    auto clock = []() -> unsigned int {
        unsigned int t = fake_now;
        if (fake_now >= 1006) fake_now += 1;
        return t;
    };
    unsigned int end = KDI_WaitForFrame(1000, 8, clock, FakeSleep);
    EXPECT_EQ(sleeps.size(), 3u);  // 3 -> 6 ms in 1 ms sleeps
    for (int s : sleeps) EXPECT_EQ(s, 1);
    EXPECT_EQ(end, 1008u);
}

TEST(FramePacing, SixtyFramesPerSecondAimsAt16ms) {
    // With a clock that moves during the spin the target is met exactly.
    fake_now = 5000;
    read_cost = 1;
    sleeps.clear();
    unsigned int end = KDI_WaitForFrame(5000, 16, FakeClock, FakeSleep);
    for (int s : sleeps) EXPECT_EQ(s, 1);
    EXPECT_GE(end - 5000, 16u);
    EXPECT_LE(end - 5000, 17u);
}

TEST(FramePacing, LateFrameDoesNotWait) {
    fake_now = 2020;
    read_cost = 0;
    sleeps.clear();
    EXPECT_EQ(KDI_WaitForFrame(2000, 8, FakeClock, FakeSleep), 2020u);
    EXPECT_TRUE(sleeps.empty());
}

TEST(FrameStep, ElapsedTimeIsClamped) {
    EXPECT_EQ(KDI_ClampElapsed(201), 30);
    EXPECT_EQ(KDI_ClampElapsed(200), 200);
    EXPECT_EQ(KDI_ClampElapsed(-5), 1);
    EXPECT_EQ(KDI_ClampElapsed(16), 16);
}

class Frames : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        ResetTestProg();
        ASSERT_TRUE(StartEngine());
        kd_state.active = true;
    }
    void TearDown() override { StopEngine(); }
};

static float last_dt = -1;
static void RecordDt(float dt) { last_dt = dt; }

TEST_F(Frames, UpdateGetsTheClampedStepInSeconds) {
    test_prog.on_update = RecordDt;
    KDI_Frame(201);
    EXPECT_FLOAT_EQ(last_dt, 0.030f);
    KDI_Frame(-5);
    EXPECT_FLOAT_EQ(last_dt, 0.001f);
    KDI_Frame(16);
    EXPECT_FLOAT_EQ(last_dt, 0.016f);
}

TEST_F(Frames, StereoDrawsEachEyeOnceUpdateOnce) {
    kd_state.render_stereo = true;
    KDI_Frame(8);
    EXPECT_EQ(test_prog.update_calls, 1);
    ASSERT_EQ(test_prog.draw_eyes.size(), 2u);
    EXPECT_EQ(test_prog.draw_eyes[0], 1);
    EXPECT_EQ(test_prog.draw_eyes[1], 2);
    kd_state.render_stereo = false;
}

TEST_F(Frames, InactiveWindowRunsNoFramesAndSleeps15ms) {
    bps_initialize();
    KDI_ActivateApp(false);
    unsigned int before = KDT_GetTime();
    unsigned int last = before;
    for (int i = 0; i < 5; i++) last = KDQ_LoopTurn(last);
    unsigned int spent = KDT_GetTime() - before;
    EXPECT_EQ(test_prog.update_calls, 0);
    EXPECT_EQ(test_prog.draw_calls, 0);
    EXPECT_GE(spent, 5u * 15u);
    KDI_ActivateApp(true);
    last = KDQ_LoopTurn(last);
    bps_shutdown();
    EXPECT_EQ(test_prog.update_calls, 1);
}

TEST_F(Frames, ActivationSendsEventsAndClearsKeyStates) {
    KD_SetKeyStatei(65, 3);
    KD_SetKeyStatei(254, 3);
    KD_SetKeyStatei(255, 3);
    test_prog.events.clear();
    KDI_ActivateApp(false);
    KDI_ActivateApp(false);  // unchanged: nothing sent
    KDI_ActivateApp(true);
    std::vector<kd_event_t> activation;
    for (auto& e : test_prog.events)
        if (e.type == KD_EVENT_ACTIVATION) activation.push_back(e);
    ASSERT_EQ(activation.size(), 2u);
    EXPECT_EQ(activation[0].id, 1);
    EXPECT_EQ(activation[1].id, 0);
    EXPECT_EQ(KD_GetKeyStatei(65), 0);
    EXPECT_EQ(KD_GetKeyStatei(254), 0);
    EXPECT_EQ(KD_GetKeyStatei(255), 3);  // 255 ids, not 256
}

// "Render targets lost" reaches the program after one "restore" for each
// render-target bitmap, and for no other bitmap.
TEST_F(Frames, RenderTargetsLostNamesEachTargetFirst) {
    kd_bitmap_t* a = kd->CreateBitmap("target-a", 16, 16, 1);
    kd_bitmap_t* plain = kd->CreateBitmap("plain", 16, 16, 0);
    kd_bitmap_t* b = kd->CreateBitmap("target-b", 8, 8, 1);
    ASSERT_TRUE(a && plain && b);
    test_prog.events.clear();
    kd_event_t lost;
    memset(&lost, 0, sizeof lost);
    lost.type = KD_EVENT_RENDER_TARGETS_LOST;
    KDI_SendEvent(&lost);
    ASSERT_EQ(test_prog.events.size(), 3u);
    EXPECT_EQ(test_prog.events[0].type, KD_EVENT_RENDER_TARGET_RESTORE);
    EXPECT_EQ(test_prog.events[1].type, KD_EVENT_RENDER_TARGET_RESTORE);
    std::set<intptr_t> restored = {test_prog.events[0].id, test_prog.events[1].id};
    EXPECT_EQ(restored, (std::set<intptr_t>{(intptr_t)a, (intptr_t)b}));
    EXPECT_EQ(test_prog.events[2].type, KD_EVENT_RENDER_TARGETS_LOST);
    kd->ReleaseBitmap(a);
    kd->ReleaseBitmap(b);
    kd->ReleaseBitmap(plain);
}

TEST_F(Frames, SwipeDownAndExitFromTheNavigator) {
    // Driven through the real navigator handler by the host's script.
    ASSERT_GE(host_script_load_text("0 swipe\n0 exit\n", "test"), 2);
    bps_initialize();
    navigator_request_events(0);
    test_prog.events.clear();
    KDQ_DrainEvents();
    bps_shutdown();
    std::vector<int> keys;
    for (auto& e : test_prog.events)
        if (e.type == KD_EVENT_KEY_DOWN || e.type == KD_EVENT_KEY_UP) keys.push_back(e.type * 1000 + (int)e.id);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], 8300);
    EXPECT_EQ(keys[1], 9300);
    EXPECT_TRUE(kd_state.quit);
}

TEST_F(Frames, LeftoverTransformsAreReportedAtFrameEnd) {
    kd_state.developer_mode = true;
    LogCapture log;
    kd_state.transform_index = 1;
    KDI_Frame(8);
    kd_state.transform_index = -1;
    KDI_FlushPopups();
    EXPECT_TRUE(log.Contains("there are 2 more kd->PushTransform calls"));
}

TEST_F(Frames, ReInitRequestIsAppliedAtTheEndOfTheNextFrame) {
    LogCapture log;
    kd_prog->parms.width = 800;
    kd_prog->parms.height = 400;
    kd_prog->parms.windowed = false;
    kd_state.allow_all_resolutions = true;
    EXPECT_TRUE(KD_ReInit());
    EXPECT_TRUE(kd_state.reinit_pending);
    test_prog.events.clear();
    KDI_Frame(8);
    EXPECT_FALSE(kd_state.reinit_pending);
    // Full screen below 640 x 480 is turned into a window.
    EXPECT_TRUE(kd_prog->parms.windowed);
    EXPECT_EQ(kd_parms.width, 800);
    EXPECT_TRUE(log.Contains("Applying ReInit:"));
    int reinit_events = 0;
    for (auto& e : test_prog.events)
        if (e.type == KD_EVENT_RENDERER_REINIT) reinit_events++;
    EXPECT_EQ(reinit_events, 2);
}
