// Window input under Xvfb: scripted touches and keys, and SDL's own mouse,
// finger, key and window events as the host translates them.

#include <bps/bps.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <host/host.h>
#include <screen/screen.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include "test_util.h"

using namespace host_test;

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override { close(); }

    void open() {
        ASSERT_EQ(0, screen_create_context(&ctx, SCREEN_APPLICATION_CONTEXT));
        ASSERT_EQ(0, screen_create_window(&win, ctx));
        ASSERT_EQ(BPS_SUCCESS, bps_initialize());
        ASSERT_EQ(BPS_SUCCESS, screen_request_events(ctx));
        ASSERT_EQ(BPS_SUCCESS, navigator_request_events(0));
        collect(100);  // whatever the new window reported about itself
    }
    void close() {
        screen_stop_events(ctx);
        navigator_stop_events(0);
        bps_shutdown();
        if (ctx) screen_destroy_context(ctx);
        ctx = nullptr;
        host_script_clear();
    }

    static void push_mouse_button(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
    static void push_mouse_motion(int x, int y, Uint32 state) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEMOTION;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = state;
        SDL_PushEvent(&e);
    }
    static void push_key(Uint32 type, SDL_Keycode sym, Uint16 mod = 0, SDL_Scancode code = SDL_SCANCODE_UNKNOWN) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = code;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    static void push_window(Uint8 what) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.event = what;
        SDL_PushEvent(&e);
    }

    screen_context_t ctx = nullptr;
    screen_window_t win = nullptr;
};

TEST_F(Input, ScriptedTouchesArriveWithPositionsAndIds) {
    ASSERT_EQ(4, host_script_load_text("0 touch_down 100 50\n"
                                       "0 touch_move 120 60\n"
                                       "0 touch_down 300 200 2\n"
                                       "0 touch_up 130 70\n",
                                       "touch"));
    auto evs = collect(1000, 4);
    ASSERT_EQ(4u, evs.size());
    struct {
        int type, x, y, id;
    } want[] = {{SCREEN_EVENT_MTOUCH_TOUCH, 100, 50, 0},
                {SCREEN_EVENT_MTOUCH_MOVE, 120, 60, 0},
                {SCREEN_EVENT_MTOUCH_TOUCH, 300, 200, 2},
                {SCREEN_EVENT_MTOUCH_RELEASE, 130, 70, 0}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(screen_get_domain(), evs[i].domain);
        EXPECT_EQ(want[i].type, evs[i].type) << i;
        EXPECT_EQ(want[i].x, evs[i].x) << i;
        EXPECT_EQ(want[i].y, evs[i].y) << i;
        EXPECT_EQ(want[i].id, evs[i].id) << i;
    }
}

TEST_F(Input, ScriptedKeysArePressThenRelease) {
    // The last two lines hold Tab down between them.
    ASSERT_EQ(7,
              host_script_load_text(
                  "0 key a\n0 key A\n0 key RETURN\n0 key BACKSPACE\n0 key 53\n0 keydown TAB\n50 keyup TAB\n", "keys"));
    auto evs = collect(1000, 12);
    ASSERT_EQ(12u, evs.size());
    int syms[] = {'a', 'A', KEYCODE_RETURN, KEYCODE_BACKSPACE, '5', KEYCODE_TAB};
    for (int i = 0; i < 6; ++i) {
        const Ev &down = evs[2 * i], &up = evs[2 * i + 1];
        EXPECT_EQ(SCREEN_EVENT_KEYBOARD, down.type);
        EXPECT_EQ(SCREEN_EVENT_KEYBOARD, up.type);
        EXPECT_EQ(syms[i], down.sym) << i;
        EXPECT_EQ(syms[i], up.sym) << i;
        EXPECT_TRUE(down.flags & KEY_DOWN);
        EXPECT_FALSE(up.flags & KEY_DOWN);
    }
}

TEST_F(Input, AKeyUpWaitsForTheFrameAfterItsKeyDown) {
    // Both lines are due at once, as after a slow frame: the release comes
    // only after the program has once found no event waiting.
    ASSERT_EQ(2, host_script_load_text("0 keydown TAB\n0 keyup TAB\n", "held"));
    bps_event_t *e = nullptr;
    ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(host_script_pending(), 1);
    auto evs = collect(300, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(KEYCODE_TAB, evs[0].sym);
    EXPECT_FALSE(evs[0].flags & KEY_DOWN);
}

TEST_F(Input, MouseActsAsFingerZero) {
    push_mouse_motion(5, 5, 0);  // no button: nothing
    push_mouse_button(SDL_MOUSEBUTTONDOWN, 10, 20);
    push_mouse_motion(15, 25, SDL_BUTTON_LMASK);
    push_mouse_button(SDL_MOUSEBUTTONUP, 16, 26);
    push_mouse_motion(30, 30, 0);
    auto evs = collect(300);
    ASSERT_EQ(3u, evs.size());
    EXPECT_EQ(SCREEN_EVENT_MTOUCH_TOUCH, evs[0].type);
    EXPECT_EQ(10, evs[0].x);
    EXPECT_EQ(20, evs[0].y);
    EXPECT_EQ(SCREEN_EVENT_MTOUCH_MOVE, evs[1].type);
    EXPECT_EQ(15, evs[1].x);
    EXPECT_EQ(SCREEN_EVENT_MTOUCH_RELEASE, evs[2].type);
    EXPECT_EQ(26, evs[2].y);
    for (auto &e : evs) EXPECT_EQ(0, e.id);
}

TEST_F(Input, FingersKeepTheirIdsAndMapToPixels) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_FINGERDOWN;
    e.tfinger.fingerId = 7;
    e.tfinger.x = 0.5f;
    e.tfinger.y = 0.25f;
    SDL_PushEvent(&e);
    e.type = SDL_FINGERUP;
    SDL_PushEvent(&e);
    auto evs = collect(300);
    ASSERT_EQ(2u, evs.size());
    EXPECT_EQ(SCREEN_EVENT_MTOUCH_TOUCH, evs[0].type);
    EXPECT_EQ(512, evs[0].x);
    EXPECT_EQ(150, evs[0].y);
    EXPECT_EQ(7, evs[0].id);
    EXPECT_EQ(SCREEN_EVENT_MTOUCH_RELEASE, evs[1].type);
}

// The mouse as a finger still has its right button (the editors' menus),
// and the numeric pad is known by its keys whatever Num Lock makes of them.
TEST_F(Input, RightButtonBesideTheFingerAndThePadsOwnKeys) {
    push_mouse_button(SDL_MOUSEBUTTONDOWN, 30, 40, SDL_BUTTON_RIGHT);
    push_mouse_button(SDL_MOUSEBUTTONUP, 31, 41, SDL_BUTTON_RIGHT);
    push_key(SDL_KEYDOWN, SDLK_KP_1, 0, SDL_SCANCODE_KP_1);  // Num Lock on
    push_key(SDL_KEYDOWN, SDLK_HOME, 0, SDL_SCANCODE_KP_7);  // Num Lock off
    push_key(SDL_KEYDOWN, SDLK_KP_PLUS, 0, SDL_SCANCODE_KP_PLUS);
    auto evs = collect(300);
    ASSERT_EQ(5u, evs.size());
    EXPECT_EQ(SCREEN_EVENT_POINTER, evs[0].type);
    EXPECT_EQ(SCREEN_RIGHT_MOUSE_BUTTON, evs[0].buttons);
    EXPECT_EQ(30, evs[0].x);
    EXPECT_EQ(SCREEN_EVENT_POINTER, evs[1].type);
    EXPECT_EQ(0, evs[1].buttons);
    EXPECT_EQ(KEYCODE_KP_0 + 1, evs[2].sym);
    EXPECT_EQ(KEYCODE_KP_0 + 7, evs[3].sym);
    EXPECT_EQ(KEYCODE_KP_PLUS, evs[4].sym);
}

TEST_F(Input, PointerModeSendsButtonMasks) {
    close();
    setenv("KODO_MOUSE_POINTER", "1", 1);
    open();
    unsetenv("KODO_MOUSE_POINTER");
    push_mouse_motion(40, 41, 0);
    push_mouse_motion(42, 43, SDL_BUTTON_LMASK);
    auto evs = collect(300);
    ASSERT_EQ(2u, evs.size());
    EXPECT_EQ(SCREEN_EVENT_POINTER, evs[0].type);
    EXPECT_EQ(0, evs[0].buttons);
    EXPECT_EQ(40, evs[0].x);
    EXPECT_EQ(SCREEN_EVENT_POINTER, evs[1].type);
    EXPECT_EQ(SCREEN_LEFT_MOUSE_BUTTON, evs[1].buttons);
}

TEST_F(Input, SdlKeysAndHostKeys) {
    push_key(SDL_KEYDOWN, SDLK_q, KMOD_LSHIFT);
    push_key(SDL_KEYUP, SDLK_q, KMOD_LSHIFT);
    push_key(SDL_KEYDOWN, SDLK_BACKSPACE);
    push_key(SDL_KEYDOWN, SDLK_F9);  // thumbnail
    push_key(SDL_KEYUP, SDLK_F9);
    push_key(SDL_KEYDOWN, SDLK_F10); // swipe down
    auto evs = collect(300);
    ASSERT_EQ(5u, evs.size());
    EXPECT_EQ('Q', evs[0].sym);
    EXPECT_TRUE(evs[0].flags & KEY_DOWN);
    EXPECT_EQ('Q', evs[1].sym);
    EXPECT_FALSE(evs[1].flags & KEY_DOWN);
    EXPECT_EQ(KEYCODE_BACKSPACE, evs[2].sym);
    EXPECT_EQ(NAVIGATOR_WINDOW_STATE, evs[3].code);
    EXPECT_EQ(NAVIGATOR_WINDOW_THUMBNAIL, evs[3].window_state);
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, evs[4].code);
}

TEST_F(Input, WindowLifeCycle) {
    push_window(SDL_WINDOWEVENT_MINIMIZED);
    push_window(SDL_WINDOWEVENT_RESTORED);
    push_window(SDL_WINDOWEVENT_HIDDEN);
    push_window(SDL_WINDOWEVENT_SHOWN);
    push_window(SDL_WINDOWEVENT_SHOWN);  // no change: no event
    push_window(SDL_WINDOWEVENT_CLOSE);
    auto evs = collect(300);
    ASSERT_EQ(5u, evs.size());
    int states[] = {NAVIGATOR_WINDOW_THUMBNAIL, NAVIGATOR_WINDOW_FULLSCREEN, NAVIGATOR_WINDOW_INVISIBLE,
                    NAVIGATOR_WINDOW_FULLSCREEN};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(NAVIGATOR_WINDOW_STATE, evs[i].code);
        EXPECT_EQ(states[i], evs[i].window_state);
    }
    EXPECT_EQ(NAVIGATOR_EXIT, evs[4].code);
}

TEST_F(Input, ScreenEventsOnlyWhileRequested) {
    screen_stop_events(ctx);
    push_mouse_button(SDL_MOUSEBUTTONDOWN, 1, 1);
    ASSERT_EQ(1, host_script_load_text("0 key x\n", "k"));
    EXPECT_TRUE(collect(100).empty());
}

}  // namespace
