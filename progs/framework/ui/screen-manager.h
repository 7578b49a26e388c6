// The screen manager `sman`: the stack of visible screens and what all
// screens share.
//
// - Stack, update and draw: screens are pushed with an enter procedure
//   and fade in; an animated pop lets them fade out and leave; a popped
//   screen stays in the array until the next update pass removes it.
// - Input: each engine event reaches the automated player, the top
//   screen's components and the screen, the focused components and then
//   the manager's own handling (cursors, keys to Lua and focus, wheel and
//   characters to the focus). Up to eight cursors (three pointers and a
//   game-pad cursor in use) find the component under them, lock onto it
//   when pressed and turn a release near it into a click. Input, updates
//   and scripts reach only a screen's own set (OwnSet) and the components
//   no input-blocking screen hides (TakesInput): the screen browser's
//   picture of another screen is only drawn.
// - The virtual screen: the area of the display the UI uses and its four
//   scales (the `UIScreenValues` this class carries are the one copy that
//   components read as `ui_screen`), and the loading indicator.
// - UI sets are built here from layout files, components from the
//   "Default<Type>" templates of "ui/templates.lua".
// - The 52 script functions (screen-bindings.cpp).
//
// Files: screen-manager.cpp (stack, update, sets), screen-input.cpp
// (events, cursors, focus, clicks), screen-draw.cpp (drawing, virtual
// screen, loading indicator), screen-bindings.cpp (script functions and
// property paths), screens-builtin.cpp (transition, template and browser
// screens).
#ifndef FRAMEWORK_SCREEN_MANAGER_H
#define FRAMEWORK_SCREEN_MANAGER_H

#include <lua.hpp>

#include <atomic>
#include <string>
#include <vector>

#include "kodo.h"
#include "manager.h"
#include "nstring.h"
#include "ui/screen.h"

class UIComp;

// One of the eight pointer or game-pad cursors.
struct UICursor {
    int drag_mode = 0;  // 0 normally; the editor's move (2), scale (3) and rotate (4)
    vec2_t position = {0, 0};
    UIComp* over = nullptr;
    UIComp* locked = nullptr;
    vec2_t grab_offset = {0, 0};
    vec2_t lock_position = {0, 0};
    // The locked component's position, scale and angle when it was locked
    // (the editor restores them when a drag is cancelled).
    float lock_x = 0, lock_y = 0, lock_scale = 1.0f, lock_angle = 0.0f;
    // Seconds since the cursor last moved or was pressed; above 5 it
    // counts as absent.
    float idle_time = 0;
    UIComp* focus = nullptr;
    bool pressed = false;
    float repeat_delay = 0;
};

enum { UI_MAX_CURSORS = 8, UI_POINTER_CURSORS = 3 };

class ScreenMan : public UIScreenValues {
public:
    ScreenMan();
    ~ScreenMan();
    ScreenMan(const ScreenMan&) = delete;
    ScreenMan& operator=(const ScreenMan&) = delete;
    // False before construction and after destruction (screens that go at
    // exit check it before leaving the stack).
    static bool Alive();

    // Start-up: sizes, script functions, templates, "ui/autoexec.lua".
    void InitScreens(int reference_width, int reference_height);
    // Pops every stacked screen at once, each with its leave procedure.
    void Shutdown();
    // The script functions (screen-bindings.cpp), once per process.
    static void RegisterLuaFunctions();

    // A layout already being loaded (it loads itself, directly or round a
    // cycle) is refused with a popup naming the chain: null, and the
    // screen keeps its set.
    UISet* GetUISetForScreen(const char* file, Screen* screen);
    UIComp* GenerateComponent(const char* type, const char* comp_name);
    UIComp* GetCompTemplate(const char* comp_name);
    // The owner stored in a state's owner block by the UI set that opened
    // it; null for other states.
    UISet* GetStateUISet(lua_State* L);

    // Stack.
    void PushScreen(Screen* screen, int depth = 0);
    void PushScreen(const char* screen_name, int depth = 0);
    Screen* PopScreen(int depth);
    void PopScreen(Screen* screen, bool animated);
    void PopScreen(const char* screen_name);
    void PopAllScreens();
    void SwitchScreen(const char* screen_name);
    void StartScreenTransition(Screen* target);
    void DoScreenEnterProcedure(Screen* screen);
    void DoScreenLeaveProcedure(Screen* screen);
    void PreloadScreen(Screen* screen);
    bool IsScreenInStack(Screen* screen) const;
    bool IsScreenInStack(const char* screen_name) const;
    int GetScreenIndexInStack(Screen* screen) const;
    Screen* GetScreenFromStackWithUISet(UISet* set) const;
    // Depth 0 is the top; past the bottom gives the bottom; null when empty.
    Screen* PeekScreen(int depth) const;
    Screen* TopScreen() const { return stack.count ? stack.data[stack.count - 1] : nullptr; }
    int GetNumberOfScreensInStack() const { return stack.count; }
    // A screen that is going away: out of the stack, cursors unlocked.
    void ForgetScreen(Screen* screen);
    // The set whose code the screen runs: its own. Null while it shows a
    // set another screen owns (the screen browser's picture of a screen),
    // which no input, update or script of the screen reaches.
    static UISet* OwnSet(const Screen* screen);
    // Whether input may reach the component: it is in the own set of a
    // stacked screen that no screen above hides from input, the rule by
    // which the cursors find components. Every route of input to a
    // component (focus, lock, the game-pad cursor, clicks) asks it.
    bool TakesInput(const UIComp* comp) const;
    // The screen browser is up: the automated player neither switches nor
    // plays, whatever the browser shows.
    bool Browsing() const;

    // Frame.
    void Update(float dt);
    void UpdateScreens(float dt);
    void UpdateScreen(Screen* screen, float dt);
    void DrawScreens(float dt);
    bool IsIntervalElapsed(float seconds) const;
    bool IsIntervalElapsedOffset(float seconds, int offset_ms) const;
    void ResetNextFrameTimeDelta() { zero_next_time_step = true; }
    void UpdateLoadingIndicator(float dt);
    void DrawLoadingIndicator();

    // Virtual screen (screen-draw.cpp).
    void SetVirtualScreenDimensions(int w, int h);
    void SetTargetVirtualScreenDimensions(int w, int h);
    vec2_t TransformPointToVirtualScreen(vec2_t p) const;
    void UpdateAllVisibleComponentDimensions();
    // The device name of a virtual size ("" for other sizes).
    static const char* GetResolutionName(int w, int h);

    // Input (screen-input.cpp).
    int ProcessEvent(kd_event_t& event);
    void UpdateCursors(float dt);
    void UpdateCursor(UICursor* cursor, vec2_t position, float dt);
    void UpdateGamePadCursor(UICursor* cursor, float dt);
    void SetCursorOver(UICursor* cursor, UIComp* comp);
    void SetCursorLockedTo(UICursor* cursor, UIComp* comp);
    void SetCursorFocus(UIComp* comp);
    void UnlockCursors();
    bool IsCursorOver(UIComp* comp) const;
    bool IsCursorFocusOver(UIComp* comp) const;
    bool IsCursorLockedTo(UIComp* comp) const;
    UIComp* GetInteractiveComp1D(UISet* set, UIComp* current, int step);
    UIComp* GetInteractiveComp2D(UISet* set, UIComp* current, vec2_t direction);
    bool DoesControlDevicePointTo(int key);
    void SendComponentClick(UIComp* comp, UISet* set);
    void SendScreenMessage(Screen* sender, Screen* target, const char* message, const char* value);

    // Component helpers.
    bool SetText(UIComp* comp, const char* format, ...) N_PRINTF_LIKE(3, 4);
    bool SetVisible(UIComp* comp, bool on);
    bool SetActive(UIComp* comp, bool on);
    vec2_t GetStaticPos(UIComp* comp);

    // The UI editor (screen-editor.cpp): every event in edit mode; 1
    // after a save or when its menu took the event, else 0.
    int ProcessEditModeEvent(kd_event_t* event);
    void DrawEditMenu(float dt);
    // The editor changes only the top screen's set, the one drawn and
    // saved (it needs a file name): that set, null for none; and whether
    // a component is in it, the one check every command and drag asks.
    UISet* EditedSet() const;
    bool Editable(const UIComp* comp) const;

    // The developer modes live with the widget hooks (one copy).
    bool EditMode() const;
    bool ResizeMode() const;
    void SetEditMode(bool on);
    void SetResizeMode(bool on);
    // Edit mode on or off as Ctrl+E turns it (screen-input.cpp): logged,
    // and with the display's window sized for it.
    void SwitchEditMode(bool on);
    // Whether the renderer re-initialisation under way is one the tools'
    // window (edit and resize mode) brought: that window is this run's
    // alone, and the program saves no player data for it.
    bool ToolsReInit() const;

    bool press_only_hover = true;
    UICursor cursor[UI_MAX_CURSORS];
    int num_cursors = 0;
    bool& application_active = frame_state.application_active;
    // Written by the loading thread, read by the frame.
    std::atomic<bool> all_screens_preloaded{false};
    kd_font_t* default_font = nullptr;
    bool centre_virtual_screen = false;
    float vs_progress = 0;
    int vs_start_w = 0, vs_start_h = 0, vs_target_w = 0, vs_target_h = 0;
    int event_cursor = 0;
    const char* cursor_shape = "ARROW";
    float anim_key = 0;
    int clock = 0, prev_clock = 0;
    float over_sound_timer = 0;
    bool draw_everything = false;
    bool fast_forward = false;
    int fast_forward_count = 64;
    float fast_forward_step = 1.0f / 30;
    UIComp* edit_selection = nullptr;
    UIComp* isolated_comp = nullptr;
    bool measuring = false;
    vec2_t measure_start = {0, 0};
    bool& zero_next_time_step = frame_state.zero_next_time_step;
    UISet* current_set = nullptr;
    int draw_clock = 0;
    bool verbose_lua_callbacks = true;
    nArray<Screen*> stack;
    // Background loads in progress (the timeline's loader thread).
    std::atomic<int> loading_count{0};
    float loading_alpha = 0;
    // The time step the screens got in the last update pass.
    float last_dt = 0;

private:
    void InsertInStack(Screen* screen, int index);
    void AfterPop(Screen* screen);
    void RemovePoppedScreens();
    UIComp* FindCompUnder(UICursor* cursor);
    void LockedCursorStep(int index, UICursor* c);
    void EditModeCursorStep(UICursor* c);
    bool DeveloperKey(const kd_event_t& event);
    void FitWindowToTools();
    // ProcessEvent's jobs, in the order it takes them.
    void DeliverToScreens(kd_event_t& e, bool edit);
    void TrackCursorsAndWindow(kd_event_t& e, bool edit);
    int ProcessDeveloperEvent(kd_event_t& e);
    int DeliverInput(kd_event_t& e, bool edit, bool developer);
    int ConfirmWindowClose();
    void ChooseResizeModeSize(int digit);
    void DrawEditModeOverlays();
    bool EditModeGlobalKey(int key, int* result);
    void EditModeSelectionKey(int key);
    void DrawDeveloperFrame();
    void DrawHelpPanel();
    void CallSetHandler(UISet* set, UISetHandler h, const char* arg);
    // GetUISetForScreen's work once the load is allowed.
    UISet* LoadUISet(const char* file, Screen* screen);
    // Frees what the manager built: the screens' UI sets and their
    // components, those replaced while running, the templates and the
    // start-up script's state. The screens are left unloaded.
    void ReleaseUISets();
    // Re-pushes asked for inside a pop wait for the removal step.
    nArray<Screen*> deferred_pushes;
    // Sets replaced by a new one (LoadUI): the old one may be running the
    // very script that replaced it, so it waits here until nothing refers
    // to it (FreeRetiredSets, at the start of each frame's update).
    nArray<UISet*> retired_sets;
    bool IsSetReferenced(const UISet* set) const;
    void FreeRetiredSets();
    // The re-initialisation events the tools' last window change brings,
    // and the frame updates since it was asked for. The engine applies it
    // at the end of the next frame, and not at all when the display ends
    // where it began (Ctrl+E and O in one frame): the count then lapses at
    // the second update, so that no later re-initialisation is taken for
    // the tools'.
    int tools_reinit_events = 0;
    int tools_reinit_updates = 0;
    UISet* built_templates = nullptr;
    lua_State* autoexec_state = nullptr;
    // The layouts being loaded, outermost first.
    std::vector<std::string> loading_layouts;
};

extern ScreenMan sman;
extern vec2_t mpos;
// Stands for "no component" in the cursor records.
extern UIComp comp_null;

// The ease of the manager's slides: 1 - cos(sin(p * pi/2) * pi/2).
float UIEase(float p);
// The key name scripts see for a key id ("UNKNOWN" for others).
const char* KD_GetKeyName(int key);
// The corners of a component's rotated box: top-left, top-right,
// bottom-right, bottom-left.
void UIComponentCorners(UIComp* comp, vec2_t out[4]);
// A tool tip: the text in the console font on a dark, white-framed box
// at (x, y).
void DrawToolTip(float x, float y, const char* text);

#endif
