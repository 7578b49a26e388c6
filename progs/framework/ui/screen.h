// Screens and UI sets.
//
// A `Screen` is one full page of the program (a menu, the game view, a
// dialog, the loading page). Every screen registers itself at
// construction in a ring of all screens and is found by name; the screen
// manager (screen-manager.h) stacks, updates and draws them. A screen owns
// one `UISet`: the components built by running a UI layout file in a Lua
// state that belongs to that set alone.
//
// The virtual screen record (`UIScreenValues`) lives here too: the screen
// manager owns the one copy and components read it as `ui_screen`.
#ifndef FRAMEWORK_UI_SCREEN_H
#define FRAMEWORK_UI_SCREEN_H

#include <lua.hpp>

#include <atomic>
#include <mutex>

#include "kodo.h"
#include "luaman.h"
#include "nstring.h"

class UIComp;
class UISet;
class UICompButton;
class UICompEditbox;
class UICompTextbox;
class UICompImage;

class Screen {
public:
    // Registers the screen; its name is "Scr%X" of its address until set.
    Screen();
    explicit Screen(const char* name);
    // Screens of the program live for the whole run; a screen that goes
    // earlier (tests, tools) leaves the registry and the stack, so neither
    // keeps a dangling pointer.
    virtual ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    virtual bool PreLoad() { return true; }
    virtual void Unload() {}
    // A subclass draws its world and calls DrawUI.
    virtual void Draw(float dt) {}
    // Components whose custom_draw is set.
    virtual void DrawUIComp(UIComp* comp) {}
    // Advances anim_key (wrapping at 1) and timer.
    virtual void Update(float dt);
    virtual void Enter() {}
    virtual void Leave() {}
    virtual int ProcessUICompClick(UIComp* comp, int value) { return 0; }
    virtual int ProcessEvent(kd_event_t* event) { return 1; }
    virtual int ProcessScreenMessage(Screen* sender, const char* message, const char* value) { return 1; }

    void SetName(const char* text);
    const char* GetName() const { return name.c_str(); }
    // Builds the screen's UI set from a layout file (replacing any old
    // one); true when a set was made.
    bool LoadUI(const char* file);
    void DrawUI();
    UIComp* GetComp(const char* comp_name);
    // The component only when it is of the expected kind; another kind is
    // reported, a missing component is not.
    UICompButton* GetCompButton(const char* comp_name);
    UICompEditbox* GetCompEditbox(const char* comp_name);
    UIComp* GetCompMarker(const char* comp_name);
    UICompTextbox* GetCompTextbox(const char* comp_name);
    UICompImage* GetCompImage(const char* comp_name);

    void SlideTimeDeltaMultiplierValue(float target, float duration);
    void UpdateTimeDeltaMultiplierChange(float dt);

    // Registry. The ring holds the root (the first screen constructed),
    // then the others from the newest to the oldest.
    static Screen* GetScreen(const char* screen_name);   // popup when unknown
    static Screen* PeekScreen(const char* screen_name);  // silent
    static int GetScreenIndexByName(const char* screen_name);
    static Screen* GetScreenByIndex(int index);
    // Preloads the screens not yet preloaded, in ring order; with
    // `one_only`, just the next one. True once no screen is left to
    // preload.
    static bool PreLoadAllScreens(bool one_only);
    static void UnloadAllScreens();
    // Preloads one screen (PreLoad, the set's OnLoad and its components'
    // load scripts) and counts it. Nothing when it is preloaded already.
    static void PreLoadScreen(Screen* screen, bool with_scripts);

    // Held by a worker thread around each screen it preloads (inside
    // KD_SynchronizeWithMainThreadBegin/End, which keeps it out of the
    // frames) and by the program's event procedure around each event,
    // since events reach the program outside frames too. Recursive:
    // handling an event may send the program another (the virtual
    // screen's resize).
    static std::recursive_mutex& PreloadLock();

    static Screen* root_screen;
    static int total_num_screens;
    // Written by the loading thread, read by the frame.
    static std::atomic<int> total_num_screens_preloaded;

    Screen* next = nullptr;  // registry ring
    nString name;
    UISet* uiset = nullptr;
    UIComp* default_comp = nullptr;
    bool re_push = false;
    float time_delta_multiplier = 1.0f;
    bool entered = false;
    bool left = false;
    float tdm_target = 1.0f, tdm_start = 1.0f, tdm_phase = 1.0f, tdm_rate = 1.0f;
    bool in_stack = false;
    float trans = 0.0f;
    float enter_speed = 3.0f, leave_speed = 3.0f;
    bool leaving = true;
    float anim_key = 0.0f;
    double timer = 0.0;
    std::atomic<bool> preloaded{false};
    bool covers_screen = false;
    bool blocks_input = true;
    Screen* push_after_pop = nullptr;
    bool shown = false;

private:
    void Register();
    void Unregister();
    UIComp* GetCompOfType(const char* comp_name, int type, const char* op, const char* message);
};

// The screen values that the layout of components reads: the reference
// size layouts are written for, the virtual area of the display that the
// UI uses and its four scales. Defaults describe an 800 x 600 virtual
// screen on an 800 x 600 display.
struct UIScreenValues {
    int reference_width = 800, reference_height = 600;
    int virtual_width = 800, virtual_height = 600;  // VW, VH
    float virtual_x = 0, virtual_y = 0;             // VX, VY in actual pixels
    float scale_cover = 1;                          // the larger scale, plus 2 pixels
    float scale_width = 1, scale_height = 1;        // SW, SH
    float scale_ref = 1;                            // SR, the smaller scale
    int actual_width = 800, actual_height = 600;    // AW, AH

    // What a game's view covers: the virtual screen, or the reference
    // screen while there is none yet (before the screens start).
    void ViewSize(float* w, float* h) const {
        *w = (float)(virtual_width > 0 ? virtual_width : reference_width);
        *h = (float)(virtual_height > 0 ? virtual_height : reference_height);
    }
    // The two bitmap cache-flag words: for bitmaps asked for with the flag
    // set, and for the rest (4 = keep as a texture).
    int cache_flags[2] = {4, 4};
};

// The screen manager's values (its one copy).
extern UIScreenValues& ui_screen;

// The set of component templates ("ui/templates.lua"); null until built.
extern UISet* ui_template_set;

// The Lua handlers a set's events file may define; the manager calls
// each only when the file defines it.
enum UISetHandler {
    UI_ON_MOUSE_DOWN,
    UI_ON_MOUSE_UP,
    UI_ON_KEY_DOWN,
    UI_ON_KEY_UP,
    UI_ON_CURSOR_ENTER,
    UI_ON_DRAW_COMP,
    UI_ON_ENTER,
    UI_ON_LEAVE,
    UI_ON_UPDATE,
    UI_ON_DRAW,
    UI_NUM_SET_HANDLERS
};

class UISet {
public:
    // Opens the set's own Lua state and anchors the set in it, so that the
    // script functions find "their" set.
    UISet(const char* file_name, Screen* owner_screen);
    // A set does not destroy its components (their owner does).
    ~UISet();
    UISet(const UISet&) = delete;
    UISet& operator=(const UISet&) = delete;

    int GetNumberOfComps() const { return comps.count; }
    // The components of one set and the length of a name: some 35 and 7
    // times the largest of the bundled layouts (29 components, 17
    // characters). A script that makes them without end would otherwise
    // take the machine's memory, and every frame's work and the written
    // layout grow with them; a layout saved past them loses components
    // when it is read again.
    static constexpr int kMaxComps = 1024;
    static constexpr size_t kMaxCompName = 128;
    // Why a component of a name that long may not join the set (`adding`)
    // or be renamed in it: 0 it may, 1 the name is too long, 2 the set is
    // full. Scripts' CreateComp and the UI editor ask the same.
    int CompRefusal(size_t name_length, bool adding) const {
        return name_length > kMaxCompName ? 1 : adding && comps.count >= kMaxComps ? 2 : 0;
    }
    UIComp* GetCompByIndex(int i) const { return i >= 0 && i < comps.count ? comps.data[i] : nullptr; }
    UIComp* GetComp(const char* comp_name) const;  // ui-comps.cpp
    void Add(UIComp* c) { comps.InsertLast(c); }
    // Takes a component out of the set without destroying it: code that
    // found it before (a handler still running, a screen's own code)
    // may use it until the set itself goes, with its components.
    void Remove(UIComp* c) {
        if (comps.Remove(c)) removed.InsertLast(c);
    }
    static UISet* FromState(lua_State* state) { return (UISet*)LuaManager::GetLuaStateOwner(state); }

    // Takes the bitmaps of the components loaded on enter (once for those
    // kept after leaving) and re-measures every component.
    void ApplyCacheModeOnEnter();
    // Releases the bitmaps of the components released on leave.
    void ApplyCacheModeOnLeave();
    // Writes the set as a layout file under its name (ui-layout.cpp).
    bool ExportLua(const char* file_name);
    // Reads which handlers the events file defined.
    void ReadHandlerFlags();
    bool Has(UISetHandler h) const { return handlers[h]; }

    nString file;
    nArray<UIComp*> comps;
    nArray<UIComp*> removed;
    UIComp* current = nullptr;
    Screen* owner = nullptr;
    nString events_file;
    lua_State* L = nullptr;
    // Set while the set's bitmaps are held (between the enter and leave
    // cache passes).
    bool cache_applied = false;
    int memory_estimate = 0;
    bool handlers[UI_NUM_SET_HANDLERS] = {};
    // The kinds of CreateComp refusal said (1 a long name, 2 too many).
    int comp_refusals = 0;
};

extern const char* const ui_set_handler_names[UI_NUM_SET_HANDLERS];

#endif
