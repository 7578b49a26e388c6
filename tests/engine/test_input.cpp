// Events and input state: touches, pointer buttons, keys, the
// swipe-down gesture and window activation reach the program's EventProc
// as kodo.h's event records (kd_event_t, KD_EVENT_*), driven through the platform's real
// conversion (HandleScreenEvent, HandleNavigatorEvent) by the host's input
// script; the key-state table; pointer bookkeeping; touch ids outside the
// tracked range.
//
// The scripted tests need a window (CTest runs this file under Xvfb); the
// direct tests of the engine functions run without one.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <SDL.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <host/host.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "qnx-kodo.h"
#include "kd-console.h"
#include "kd-settings.h"
#include "test-support.h"

namespace {

// Key states seen by the program at the moment each event arrives.
struct Seen {
    kd_event_t e;
    int key_state;  // KD_GetKeyStatei of the event's key (types 8, 9), else -1
    int button_state;
    int held_16 = 0, held_17 = 0;  // SHIFT and CONTROL
    // Service results: copies of their texts (valid only while delivered).
    std::string item, fifth;
};
std::vector<Seen> seen;
int (*original_proc)(kd_event_t) = nullptr;

int RecordingProc(kd_event_t e) {
    Seen s{e, -1, kd_state.key_states[KD_KEY_MOUSE_BUTTON_0], kd_state.key_states[16], kd_state.key_states[17], "", ""};
    if ((e.type == KD_EVENT_KEY_DOWN || e.type == KD_EVENT_KEY_UP) && e.id >= 0 && e.id < KD_NUM_KEY_STATES)
        s.key_state = kd_state.key_states[e.id];
    // The item id of a store result, the achievement id of a game-centre one.
    const char* item = e.type == 33 || e.type == 34 ? (const char*)e.x : e.type == 20 ? (const char*)e.id : nullptr;
    if (item) s.item = item;
    if (e.type == 33 && e.data) s.fifth = (const char*)e.data;
    seen.push_back(s);
    return original_proc ? original_proc(e) : 0;
}

std::vector<Seen> OfTypes(std::initializer_list<int> types) {
    std::vector<Seen> r;
    for (auto& s : seen)
        for (int t : types)
            if (s.e.type == t) r.push_back(s);
    return r;
}

bool HaveDisplay() {
    const char* d = getenv("DISPLAY");
    return d && *d;
}

class Input : public ::testing::Test {
protected:
    TempWorkDir dir;
    bool windowed = false;

    void Start(bool with_window) {
        ResetTestProg();
        seen.clear();
        host_script_clear();
        if (with_window) {
            ASSERT_TRUE(KDQ_CreateWindow());
            windowed = true;
        }
        ASSERT_TRUE(StartEngine());
        original_proc = kd_prog->EventProc;
        kd_prog->EventProc = RecordingProc;
        if (with_window) {
            ASSERT_EQ(bps_initialize(), BPS_SUCCESS);
            ASSERT_EQ(screen_request_events(KDQ_GetScreenContext()), BPS_SUCCESS);
            ASSERT_EQ(navigator_request_events(0), BPS_SUCCESS);
            Drain();  // whatever the new window reported about itself
        }
        seen.clear();
        KDQ_ResetScreenEventState();
        for (int i = 0; i < KD_NUM_KEY_STATES; i++) {
            kd_state.key_states[i] = 0;
            kd_state.key_states_f[i] = 0;
        }
    }
    void TearDown() override {
        if (windowed) {
            screen_stop_events(KDQ_GetScreenContext());
            navigator_stop_events(0);
            bps_shutdown();
        }
        host_script_clear();
        if (kd_prog) kd_prog->EventProc = original_proc;
        StopEngine();
        if (windowed) KDQ_DestroyWindow();
        windowed = false;
    }

    // Runs the script lines due now through the platform's handlers.
    void Run(const char* script) {
        ASSERT_GT(host_script_load_text(script, "input"), 0);
        Drain();
        EXPECT_EQ(host_script_pending(), 0);
    }
    static void Drain() {
        for (int i = 0; i < 5; i++) KDQ_DrainEvents();
    }
};

class ScriptedInput : public Input {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs a display (CTest runs this under Xvfb)";
        Start(true);
    }
};

class DirectInput : public Input {
protected:
    void SetUp() override { Start(false); }
};

}  // namespace

// ------------------------------------------------------------- scripted

TEST_F(ScriptedInput, TouchDownMoveUpArriveAsButtonAndMoveEvents) {
    Run("0 touch_down 100 50\n"
        "0 touch_move 110 60\n"
        "0 touch_move 120 75\n"
        "0 touch_up 121 76\n");
    auto ev = OfTypes({KD_EVENT_POINTER_MOVE, KD_EVENT_BUTTON_DOWN, KD_EVENT_BUTTON_UP});
    ASSERT_EQ(ev.size(), 4u);
    const kd_event_t& down = ev[0].e;
    EXPECT_EQ(down.type, KD_EVENT_BUTTON_DOWN);
    EXPECT_EQ(down.id, 0);
    EXPECT_EQ(down.button, KD_KEY_TOUCH);
    EXPECT_EQ(down.x, 100);
    EXPECT_EQ(down.y, 50);
    EXPECT_EQ(down.wheel, 0);
    EXPECT_EQ(down.data, 0);
    EXPECT_EQ(ev[0].button_state, 2);  // key 510 is set before delivery
    const kd_event_t& move1 = ev[1].e;
    EXPECT_EQ(move1.type, KD_EVENT_POINTER_MOVE);
    EXPECT_EQ(move1.button, 0);
    EXPECT_EQ(move1.x, 110);
    EXPECT_EQ(move1.y, 60);
    EXPECT_EQ(move1.prev_x, 100);
    EXPECT_EQ(move1.prev_y, 50);
    EXPECT_EQ(ev[2].e.prev_x, 110);
    EXPECT_EQ(ev[2].e.prev_y, 60);
    const kd_event_t& up = ev[3].e;
    EXPECT_EQ(up.type, KD_EVENT_BUTTON_UP);
    EXPECT_EQ(up.button, KD_KEY_TOUCH);
    EXPECT_EQ(up.x, 121);
    EXPECT_EQ(up.prev_x, 120);
    EXPECT_EQ(ev[3].button_state, 0);
    EXPECT_EQ(KD_GetKeyStatei(KD_KEY_POINTER_X), 121);
    EXPECT_EQ(KD_GetKeyStatei(KD_KEY_POINTER_Y), 76);
    EXPECT_FLOAT_EQ(KD_GetKeyStatef(KD_KEY_POINTER_X), 121);
    EXPECT_FLOAT_EQ(KD_GetKeyStatef(524), 121);
    EXPECT_FLOAT_EQ(KD_GetKeyStatef(525), 76);
}

TEST_F(ScriptedInput, SecondFingerKeepsItsOwnPreviousPosition) {
    Run("0 touch_down 10 10 0\n"
        "0 touch_down 500 300 3\n"
        "0 touch_move 510 310 3\n"
        "0 touch_move 20 20 0\n"
        "0 touch_move 520 330 3\n");
    auto moves = OfTypes({KD_EVENT_POINTER_MOVE});
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].e.id, 3);
    EXPECT_EQ(moves[0].e.prev_x, 500);
    EXPECT_EQ(moves[1].e.id, 0);
    EXPECT_EQ(moves[1].e.prev_x, 10);
    EXPECT_EQ(moves[2].e.id, 3);
    EXPECT_EQ(moves[2].e.prev_x, 510);
    EXPECT_EQ(moves[2].e.prev_y, 310);
    EXPECT_FLOAT_EQ(KD_GetKeyStatef(524 + 60), 520);  // pointer 3's slot
    // Only pointer 0 moves the pointer keys.
    EXPECT_EQ(KD_GetKeyStatei(KD_KEY_POINTER_X), 20);
}

TEST_F(ScriptedInput, TouchWithAutoscalingArrivesInProgramCoordinates) {
    kd_state.autoscale = true;
    kd_state.offset_x = 10;
    kd_state.offset_y = 0;
    kd_state.inv_scale_x = kd_state.inv_scale_y = 0.5f;
    Run("0 touch_down 100 50\n");
    kd_state.autoscale = false;
    auto ev = OfTypes({KD_EVENT_BUTTON_DOWN});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].e.x, 45);
    EXPECT_EQ(ev[0].e.y, 25);
}

TEST_F(ScriptedInput, KeyPressSendsKeyDownCharacterKeyUpWithKeyStates) {
    Run("0 key a\n0 key Z\n0 key 7\n0 key RETURN\n0 key BACKSPACE\n0 key SPACE\n0 key F6\n");
    auto ev = OfTypes({KD_EVENT_KEY_DOWN, KD_EVENT_CHAR, KD_EVENT_KEY_UP});
    // A letter's key is its capital's code; the character is what it types.
    const int keys[] = {'A', 'Z', '7', 13, 8, 32, 0};
    const int chars[] = {'a', 'Z', '7', 13, 8, 32, 0};
    ASSERT_EQ(ev.size(), 3u * 7u);
    for (int k = 0; k < 7; k++) {
        const Seen* s = &ev[3 * k];
        EXPECT_EQ(s[0].e.type, KD_EVENT_KEY_DOWN) << k;
        EXPECT_EQ(s[1].e.type, KD_EVENT_CHAR) << k;
        EXPECT_EQ(s[2].e.type, KD_EVENT_KEY_UP) << k;
        EXPECT_EQ(s[0].e.id, keys[k]) << k;
        EXPECT_EQ(s[1].e.id, chars[k]) << k;
        EXPECT_EQ(s[2].e.id, keys[k]) << k;
        if (keys[k]) {
            EXPECT_EQ(s[0].key_state, 3) << k;  // down while the program sees key down
            EXPECT_EQ(s[2].key_state, 0) << k;
        }
        EXPECT_EQ(s[0].e.x, 0);
        EXPECT_EQ(s[0].e.button, 0);
    }
    EXPECT_EQ(KD_GetKeyStatei('A'), 0);
    EXPECT_EQ(KD_GetKeyStatei(0), 0);  // an unknown key changes no state

    // A key held down stays down until its release.
    Run("0 keydown TAB\n");
    EXPECT_NE(KD_GetKeyStatei(9), 0);
    EXPECT_NE(KD_GetKeyStatei(9), 0);
    Run("0 keyup TAB\n");
    EXPECT_EQ(KD_GetKeyStatei(9), 0);
}

// A console line needs its brackets and quotes, which have no key id; the
// editors' keys (page up and down, delete) type nothing.
TEST_F(ScriptedInput, PunctuationTypesItsCharacterAndEditingKeysHaveIdsButTypeNothing) {
    Run("0 key (\n0 key \"\n0 key PGUP\n0 key PGDOWN\n0 key DELETE\n0 key LEFT\n");
    auto chars = OfTypes({KD_EVENT_CHAR});
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].e.id, '(');
    EXPECT_EQ(chars[1].e.id, '"');
    auto downs = OfTypes({KD_EVENT_KEY_DOWN});
    ASSERT_EQ(downs.size(), 6u);
    const int keys[] = {0, 0, 33, 34, 46, 37};
    for (int k = 0; k < 6; k++) EXPECT_EQ(downs[k].e.id, keys[k]) << k;
}

// Modifiers come with the key: SHIFT and CONTROL are held while its
// events are handled, and let go after. The right button has an id of its own.
TEST_F(ScriptedInput, ModifiersAreHeldForTheirKeyAndTheRightButtonIsButtonOne) {
    Run("0 key ctrl+E\n0 key shift+TAB\n0 right_click 40 50\n");
    auto downs = OfTypes({KD_EVENT_KEY_DOWN});
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].e.id, 'E');
    EXPECT_NE(downs[0].held_17, 0);
    EXPECT_EQ(downs[0].held_16, 0);
    EXPECT_EQ(downs[1].e.id, 9);
    EXPECT_NE(downs[1].held_16, 0);
    EXPECT_EQ(downs[1].held_17, 0);
    EXPECT_EQ(KD_GetKeyStatei(16), 0);
    EXPECT_EQ(KD_GetKeyStatei(17), 0);
    auto buttons = OfTypes({KD_EVENT_BUTTON_DOWN, KD_EVENT_BUTTON_UP});
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].e.type, KD_EVENT_BUTTON_DOWN);
    EXPECT_EQ(buttons[0].e.button, KD_KEY_MOUSE_BUTTON_1);
    EXPECT_EQ(buttons[1].e.type, KD_EVENT_BUTTON_UP);
    EXPECT_EQ(buttons[0].e.x, 40);
}

// Keys as a real keyboard sends them through X (the window's own key path):
// lower-case symbols with the modifiers' own key events around them, the
// numeric pad by its keys. The program gets the key ids kodo.h names: the
// letter's capital whatever Shift says, the pad's own codes, and a Shift
// held through the wheel turned while it is down.
TEST_F(ScriptedInput, XKeysArriveAsTheEngineKeyIdsWithModifiersHeld) {
    Run("0 xkey ctrl+e\n0 xkey k\n0 xkey KP_1\n0 xkey KP_Add\n0 xkey KP_Subtract\n0 xkey shift+a\n"
        "0 xkeydown Shift_L\n0 wheel 300 200 1\n0 xkeyup Shift_L\n0 xkey Alt_L\n0 xkey Alt_R\n0 xkey F1\n0 xkey F4\n"
        "0 xkey F5\n");
    auto downs = OfTypes({KD_EVENT_KEY_DOWN});
    // Alt and the function keys, which the editor and the developer's
    // overlays poll, type nothing.
    const int keys[] = {KD_KEY_CONTROL,   'E',          'K',       KD_KEY_PAD_0 + 1, KD_KEY_PAD_PLUS,
                        KD_KEY_PAD_MINUS, KD_KEY_SHIFT, 'A',       KD_KEY_SHIFT,     KD_KEY_MENU,
                        KD_KEY_MENU,      KD_KEY_F1,    KD_KEY_F4, KD_KEY_F5};
    ASSERT_EQ(downs.size(), 14u);
    for (int k = 0; k < 14; k++) EXPECT_EQ(downs[k].e.id, keys[k]) << k;
    // Held while the program sees them.
    for (int k = 9; k < 14; k++) EXPECT_EQ(downs[k].key_state, 3) << k;
    EXPECT_NE(downs[1].held_17, 0);  // Ctrl+E: CONTROL is down for the E
    EXPECT_EQ(downs[2].held_17, 0);  // and let go after
    EXPECT_NE(downs[7].held_16, 0);
    auto chars = OfTypes({KD_EVENT_CHAR});
    const int typed[] = {'e', 'k', '1', '+', '-', 'A'};
    ASSERT_EQ(chars.size(), 6u);
    for (int k = 0; k < 6; k++) EXPECT_EQ(chars[k].e.id, typed[k]) << k;
    auto wheel = OfTypes({KD_EVENT_WHEEL});
    ASSERT_EQ(wheel.size(), 1u);
    EXPECT_NE(wheel[0].held_16, 0);
    EXPECT_EQ(KD_GetKeyStatei(16), 0);
    EXPECT_EQ(KD_GetKeyStatei(17), 0);
}

// What a real keyboard types is the layout's character: Shift with 9 is
// '(', with the quote key '"'. Those characters are no command's key, and
// a 9 let go after its Shift still ends the '(' it typed, not a 9.
TEST_F(ScriptedInput, XKeysTypeTheLayoutsCharactersAndTheirReleasesEndThem) {
    Run("0 xkey p\n0 xkey r\n0 xkey i\n0 xkey n\n0 xkey t\n0 xkey shift+9\n0 xkey 2\n0 xkey shift+equal\n0 xkey 3\n"
        "0 xkey shift+8\n0 xkey 4\n0 xkey shift+0\n0 xkey semicolon\n0 xkey space\n0 xkey x\n0 xkey space\n"
        "0 xkey equal\n0 xkey space\n0 xkey shift+apostrophe\n0 xkey shift+a\n0 xkey shift+semicolon\n0 xkey b\n"
        "0 xkey shift+apostrophe\n0 xkeydown shift+9\n0 xkeyup 9\n");
    std::string typed;
    for (const Seen& s : OfTypes({KD_EVENT_CHAR})) typed += (char)s.e.id;
    EXPECT_EQ(typed, "print(2+3*4); x = \"A:b\"(");
    for (const Seen& s : OfTypes({KD_EVENT_KEY_DOWN, KD_EVENT_KEY_UP}))
        EXPECT_TRUE(s.e.id != '9' && s.e.id != '8' && s.e.id != '0' && s.e.id != '=') << s.e.type << " " << s.e.id;
    EXPECT_EQ(KD_GetKeyStatei('9'), 0);
}

// The wheel turned at a point: the pointer moves there, then one wheel
// event of 120 per notch.
TEST_F(ScriptedInput, WheelNotchesArriveAsOneWheelEventAtThePoint) {
    Run("0 wheel 300 200 -2\n");
    auto ev = OfTypes({KD_EVENT_WHEEL});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].e.wheel, -240);
    EXPECT_EQ(ev[0].e.x, 300);
    EXPECT_EQ(ev[0].e.y, 200);
}

TEST_F(ScriptedInput, SwipeDownIsKey300DownThenUpInOneTurn) {
    Run("0 swipe\n");
    auto ev = OfTypes({KD_EVENT_KEY_DOWN, KD_EVENT_KEY_UP});
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].e.type, KD_EVENT_KEY_DOWN);
    EXPECT_EQ(ev[0].e.id, KD_KEY_SWIPE_DOWN);
    EXPECT_EQ(ev[0].key_state, 3);
    EXPECT_EQ(ev[1].e.type, KD_EVENT_KEY_UP);
    EXPECT_EQ(ev[1].e.id, KD_KEY_SWIPE_DOWN);
    EXPECT_EQ(KD_GetKeyStatei(KD_KEY_SWIPE_DOWN), 0);
}

TEST_F(ScriptedInput, WindowStateChangesArriveAsActivationEvents) {
    kd_state.active = true;
    KD_SetKeyStatei('q', 3);
    Run("0 state thumbnail\n0 state fullscreen\n");
    auto ev = OfTypes({KD_EVENT_ACTIVATION});
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].e.type, 10);
    EXPECT_EQ(ev[0].e.id, 1);  // deactivated
    EXPECT_EQ(ev[1].e.id, 0);  // activated
    EXPECT_TRUE(kd_state.active);
    EXPECT_EQ(KD_GetKeyStatei('q'), 0);
}

// Every touch reaches the program, whatever its id; ids whose float slots
// lie beyond the key-state table (77 and up, below -26) only keep no
// previous position.
TEST_F(ScriptedInput, TouchesOfEveryIdArriveAndOnlyTrackedOnesKeepAPreviousPosition) {
    for (int i = 0; i < KD_NUM_KEY_STATES; i++) kd_state.key_states_f[i] = -7;
    int transform_index = kd_state.transform_index;
    Run("0 touch_down 10 10 8\n"
        "0 touch_move 20 21 8\n"
        "0 touch_move 11 11 77\n"
        "0 touch_move 30 31 76\n"
        "0 touch_move 10 10 -30\n"
        "0 touch_up 12 12 1000000\n"
        "0 touch_down 5 6 7\n");
    auto ev = OfTypes({KD_EVENT_POINTER_MOVE, KD_EVENT_BUTTON_DOWN, KD_EVENT_BUTTON_UP});
    ASSERT_EQ(ev.size(), 7u);
    const intptr_t ids[] = {8, 8, 77, 76, -30, 1000000, 7};
    for (size_t i = 0; i < 7; i++) EXPECT_EQ(ev[i].e.id, ids[i]) << i;
    EXPECT_EQ(ev[1].e.prev_x, 10);  // id 8 keeps its previous position
    EXPECT_EQ(ev[1].e.prev_y, 10);
    EXPECT_EQ(ev[2].e.prev_x, 11);  // id 77 has no slots: its own position
    EXPECT_EQ(ev[3].e.prev_x, -7);  // id 76 has the last slots
    EXPECT_FLOAT_EQ(kd_state.key_states_f[2044], 30);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[2045], 31);
    EXPECT_EQ(ev[4].e.prev_x, 10);  // -30 has none either
    EXPECT_EQ(kd_state.key_states[KD_KEY_MOUSE_BUTTON_0], 0);  // only pointer 0 sets it
    EXPECT_EQ(kd_state.transform_index, transform_index);
}

// The console key that the bundled settings name is one the platform
// passes on: pressing it opens and closes the console.
TEST_F(ScriptedInput, TheBundledConsoleKeyOpensTheConsole) {
    std::ifstream in(std::string(getenv("KODO_TEST_DATA")) + "/prog.xml");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("console_toggle_key=\"([^\"]*)\"")));
    std::string key = m[1];
    kd_con.enabled = true;
    kd_con.open = false;
    kd_con.toggleKey = KDI_GetKeyByName(key.c_str());
    ASSERT_NE(kd_con.toggleKey, 0) << key;
    Run(("0 key " + key + "\n").c_str());
    EXPECT_TRUE(kd_con.open) << "key " << key;
    Run(("0 key " + key + "\n").c_str());
    EXPECT_FALSE(kd_con.open);
    kd_con.enabled = false;
}

TEST_F(ScriptedInput, PointerMaskOfOneGivesOneButtonDown) {
    // The host's mouse-as-pointer mode sends POINTER events with a mask.
    TearDown();
    setenv("KODO_MOUSE_POINTER", "1", 1);
    Start(true);
    unsetenv("KODO_MOUSE_POINTER");
    auto motion = [](int x, int y, Uint32 state) {
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_MOUSEMOTION;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = state;
        SDL_PushEvent(&e);
    };
    motion(30, 40, SDL_BUTTON_LMASK);
    motion(31, 41, SDL_BUTTON_LMASK);
    motion(32, 42, 0);
    Drain();
    auto ev = OfTypes({KD_EVENT_POINTER_MOVE, KD_EVENT_BUTTON_DOWN, KD_EVENT_BUTTON_UP});
    ASSERT_EQ(ev.size(), 5u);
    EXPECT_EQ(ev[0].e.type, KD_EVENT_POINTER_MOVE);
    EXPECT_EQ(ev[1].e.type, KD_EVENT_BUTTON_DOWN);
    EXPECT_EQ(ev[1].e.button, KD_KEY_MOUSE_BUTTON_0);
    EXPECT_EQ(ev[1].e.x, 30);
    EXPECT_EQ(ev[2].e.type, KD_EVENT_POINTER_MOVE);  // mask 1 again: no second down
    EXPECT_EQ(ev[3].e.type, KD_EVENT_POINTER_MOVE);
    EXPECT_EQ(ev[4].e.type, KD_EVENT_BUTTON_UP);
    EXPECT_EQ(ev[4].e.x, 32);
}

// --------------------------------------------------------------- direct

// The store and the game centre answer through the platform's service
// events; the input script stands in for them.
TEST_F(DirectInput, ScriptedServiceResultsReachTheProgram) {
    ASSERT_EQ(bps_initialize(), BPS_SUCCESS);
    Run("0 service 34 x=\"BIG_BALL\" y=1\n"
        "0 service 34 id=4 x=\"EXTRA_LIFE\"\n"
        "0 service 33 x=\"EXTRA_LIFE\" y=1 fifth=\"$0.99\"\n"
        "0 service 20 id=\"FIRST\" x=1\n");
    bps_shutdown();
    auto ev = OfTypes({20, 33, 34});
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].e.type, 34);
    EXPECT_EQ(ev[0].item, "BIG_BALL");
    EXPECT_EQ(ev[0].e.y, 1);
    EXPECT_EQ(ev[1].e.id, 4);  // cancelled
    EXPECT_EQ(ev[1].e.y, 0);
    EXPECT_EQ(ev[2].e.type, 33);
    EXPECT_EQ(ev[2].fifth, "$0.99");
    EXPECT_EQ(ev[3].e.type, 20);
    EXPECT_EQ(ev[3].item, "FIRST");
    EXPECT_EQ(ev[3].e.x, 1);
}

TEST_F(DirectInput, KeyStateBitZeroIsClearedByReadsBelow1280) {
    KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, 65);
    EXPECT_EQ(KD_GetKeyStatei(65), 3);
    EXPECT_EQ(KD_GetKeyStatei(65), 2);
    KD_SetKeyStatei(1300, 3);
    EXPECT_EQ(KD_GetKeyStatei(1300), 3);
    EXPECT_EQ(KD_GetKeyStatei(1300), 3);
    KDI_SendKeyEvent(KD_EVENT_KEY_UP, 65);
    EXPECT_EQ(KD_GetKeyStatei(65), 0);
}

TEST_F(DirectInput, KeyEventsOutsideTheTableAreDeliveredWithoutStateChange) {
    KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, 0);
    KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, 2048);
    KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, -5);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].e.id, 2048);
    EXPECT_EQ(KD_GetKeyStatei(0), 0);
    EXPECT_EQ(KD_GetKeyStatei(2048), 0);
    EXPECT_EQ(KD_GetKeyStatef(-1), 0);
}

TEST_F(DirectInput, PointerIdsWithoutSlotsKeepNoPreviousPosition) {
    for (int i = 0; i < KD_NUM_KEY_STATES; i++) kd_state.key_states_f[i] = -7;
    // id 76 has the last slots (2044, 2045); 77 would be 2064; -26 has 4/5;
    // -27 would be negative; 300 reads as 44; -1 is 504/505.
    KDI_SendMouseMoveEvent(77, 1, 2);
    KDI_SendMouseMoveEvent(-27, 3, 4);
    KDI_SendMouseMoveEvent(1 << 30, 5, 6);  // low 8 bits 0: pointer 0's slots
    KDI_SendMouseMoveEvent(76, 7, 8);
    KDI_SendMouseMoveEvent(-26, 9, 10);
    KDI_SendMouseMoveEvent(-1, 11, 12);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0].e.prev_x, 1);  // no slot: its own position
    EXPECT_EQ(seen[1].e.prev_y, 4);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[524], 5);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[2044], 7);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[2045], 8);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[4], 9);
    EXPECT_FLOAT_EQ(kd_state.key_states_f[504], 11);
    EXPECT_EQ(seen[5].e.prev_x, -7);
    int changed = 0;
    for (int i = 0; i < KD_NUM_KEY_STATES; i++) changed += kd_state.key_states_f[i] != -7;
    EXPECT_EQ(changed, 8);
    // Huge or undefined coordinates are cut, not undefined.
    KDI_SendMouseMoveEvent(0, 1e30f, -1e30f);
    KDI_SendMouseMoveEvent(0, NAN, 0);
    EXPECT_EQ(seen.back().e.x, 0);
}

TEST_F(DirectInput, WheelAndButtonEventsCarryTheirFields) {
    KDI_SendMouseWheelEvent(KD_EVENT_WHEEL, 0, -120, 3, 4);
    KDI_SendMouseButtonEvent(KD_EVENT_BUTTON_DOWN, 2, 511, 5, 6);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].e.type, KD_EVENT_WHEEL);
    EXPECT_EQ(seen[0].e.wheel, -120);
    EXPECT_EQ(seen[0].e.x, 3);
    EXPECT_EQ(seen[1].e.button, 511);
    EXPECT_EQ(seen[1].e.id, 2);
    EXPECT_EQ(kd_state.key_states[KD_KEY_MOUSE_BUTTON_0], 0);  // pointer 2 does not press 510
}

TEST_F(DirectInput, EventsAreQueuedWhileTheEngineAsksForIt) {
    kd_state.queue_events = true;
    KDI_SendMouseMoveEvent(0, 1, 1);
    KDI_SendCharEvent('x');
    EXPECT_TRUE(seen.empty());
    kd_state.queue_events = false;
    KDI_ProcessEventQueue();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].e.type, KD_EVENT_POINTER_MOVE);
    EXPECT_EQ(seen[1].e.type, KD_EVENT_CHAR);
    EXPECT_EQ(seen[1].e.id, 'x');
}
