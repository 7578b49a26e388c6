// The screen manager: start-up, UI sets and components, the stack and the
// update pass. See screen-manager.h.
#include "ui/screen-manager.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "audioman.h"
#include "feature-manager.h"
#include "framework-kd.h"
#include "localization.h"
#include "luaman.h"
#include "manager.h"
#include "particle-effects.h"
#include "particles.h"
#include "profiles.h"
#include "ui/aiplayer.h"
#include "ui/screens-builtin.h"
#include "ui/ui-button.h"
#include "ui/ui-checkbox.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"
#include "ui/ui-layout.h"
#include "ui/ui-textbox.h"
#include "ui/ui-widgets.h"

// Constructed in this order: the stand-in component, the manager, the
// built-in screens (screens-builtin.cpp).
UIComp comp_null;
static bool sman_alive = false;
ScreenMan sman;
UIScreenValues& ui_screen = sman;
vec2_t mpos = {0, 0};

ScreenMan::ScreenMan() { sman_alive = true; }
ScreenMan::~ScreenMan() { sman_alive = false; }
bool ScreenMan::Alive() { return sman_alive; }

bool ScreenMan::EditMode() const { return ui_widget_hooks.edit_mode; }
bool ScreenMan::ResizeMode() const { return ui_widget_hooks.resize_mode; }
void ScreenMan::SetEditMode(bool on) { ui_widget_hooks.edit_mode = on; }
void ScreenMan::SetResizeMode(bool on) { ui_widget_hooks.resize_mode = on; }

static bool DeveloperMode() { return Manager::GetParms()->developer_mode; }

// The widgets' questions to the manager.
static void HookClick(UISet* set, UIComp* comp) { sman.SendComponentClick(comp, set); }
static UISet* HookTopSet() { return ScreenMan::OwnSet(sman.TopScreen()); }
static bool HookFocus(UIComp* comp) { return sman.IsCursorFocusOver(comp); }
static bool HookLocked(UIComp* comp) { return sman.IsCursorLockedTo(comp); }

// ---------------------------------------------------------------------------
// Start-up and shutdown.

void ScreenMan::InitScreens(int ref_width, int ref_height) {
    kd->PrintDebugf(KD_LOG_SYSTEM, "ScreenMan::InitScreens.\n");
    reference_width = ref_width;
    reference_height = ref_height;
    press_only_hover = false;
    ui_widget_hooks.send_component_click = HookClick;
    ui_widget_hooks.top_screen_set = HookTopSet;
    ui_widget_hooks.has_focus = HookFocus;
    ui_widget_hooks.is_locked = HookLocked;
    UIRegisterWidgetKinds();

    kd_parms_t* parms = Manager::GetParms();
    actual_width = parms->width;
    actual_height = parms->height;
    SetVirtualScreenDimensions(parms->width, parms->height);
    vs_progress = 0;
    vs_target_w = virtual_width;
    vs_target_h = virtual_height;

    RegisterLuaFunctions();
    stack.count = 0;
    pbman.Init();

    ui_template_set = nullptr;
    built_templates = GetUISetForScreen("ui/templates.lua", nullptr);

    // The start-up script creates the scripted screens; it runs in a state
    // of its own whose set is the templates set.
    autoexec_state = lua_man.OpenLuaState(0);
    if (autoexec_state) {
        LuaManager::SetLuaStateUserData(autoexec_state, ui_template_set);
        lua_man.ExecLuaFile(autoexec_state, "ui/autoexec.lua");
    }

    // Every kind has a template, also when the template file names none.
    if (ui_template_set && ui_template_set->L) {
        for (int t = 0; t < UI_NUM_TYPES; t++) {
            const char* type = UIComp::GetCompTypeString(t);
            char tname[64];
            snprintf(tname, sizeof tname, "Default%s", type);
            if (ui_template_set->GetComp(tname)) continue;
            char line[160];
            snprintf(line, sizeof line, "CreateComp (\"%s\", \"Default%s\")", type, type);
            lua_man.ExecLuaString(ui_template_set->L, line);
        }
    }
    UIComp* text_template = ui_template_set ? ui_template_set->GetComp("DefaultTextbox") : nullptr;
    if (text_template && text_template->type == UI_TEXTBOX)
        default_font = static_cast<UICompTextbox*>(text_template)->font;

    if (feature_man.ProductFeatureExists("AUTO_TESTING_MODE")) {
        fast_forward = true;
        fast_forward_step = 0.05f;
        fast_forward_count = 32;
    }
}

void ScreenMan::Shutdown() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "ScreenMan::Shutdown.\n");
    std::vector<Screen*> copy(stack.data, stack.data + stack.count);
    for (Screen* s : copy) PopScreen(s, false);
    stack.count = 0;
    deferred_pushes.count = 0;
    ReleaseUISets();
}

void ScreenMan::ReleaseUISets() {
    std::vector<UISet*> sets;
    auto add = [&sets](UISet* set) {
        if (set && std::find(sets.begin(), sets.end(), set) == sets.end()) sets.push_back(set);
    };
    for (int i = 0;; i++) {
        Screen* s = Screen::GetScreenByIndex(i);
        if (!s) break;
        add(s->uiset);
        s->uiset = nullptr;
        s->default_comp = nullptr;
        s->preloaded = false;
    }
    add(screen_ScreenScreenBrowser.own_set);
    screen_ScreenScreenBrowser.own_set = nullptr;
    screen_ScreenScreenBrowser.shown_screen = nullptr;
    Screen_ScreenTransition.target = nullptr;
    for (int i = 0; i < retired_sets.count; i++) add(retired_sets[i]);
    retired_sets.Free();
    if (built_templates && built_templates == ui_template_set) {
        add(built_templates);
        ui_template_set = nullptr;
    }
    built_templates = nullptr;
    if (autoexec_state) lua_man.CloseLuaState(autoexec_state);
    autoexec_state = nullptr;
    UnlockCursors();
    edit_selection = isolated_comp = nullptr;
    for (UISet* set : sets) {
        if (set == ui_template_set) ui_template_set = nullptr;
        UILayoutDeleteComps(set);
        delete set;
    }
    Screen::total_num_screens_preloaded = 0;
    all_screens_preloaded = false;
}

bool ScreenMan::IsSetReferenced(const UISet* set) const {
    if (set == current_set || set == ui_template_set || LuaManager::IsRunning(set->L)) return true;
    auto in_set = [set](const UIComp* c) { return c && c != &comp_null && set->comps.Find((UIComp*)c) >= 0; };
    // A screen shows it (the screen browser shows others' sets as its own)
    // or keeps one of its components as the game-pad cursor's default.
    for (int i = 0;; i++) {
        Screen* s = Screen::GetScreenByIndex(i);
        if (!s) break;
        if (s->uiset == set || in_set(s->default_comp)) return true;
    }
    if (screen_ScreenScreenBrowser.own_set == set) return true;
    // Every slot: the game-pad cursor is out of use in edit mode, not
    // cleared, and back in use when it ends.
    for (const UICursor& c : cursor)
        if (in_set(c.over) || in_set(c.locked) || in_set(c.focus)) return true;
    return in_set(edit_selection) || in_set(isolated_comp);
}

void ScreenMan::FreeRetiredSets() {
    for (int i = retired_sets.count - 1; i >= 0; i--) {
        UISet* set = retired_sets[i];
        if (IsSetReferenced(set)) continue;
        retired_sets.RemoveIndex(i);
        UILayoutDeleteComps(set);
        delete set;
    }
}

UISet* ScreenMan::GetStateUISet(lua_State* L) { return (UISet*)LuaManager::GetLuaStateOwner(L); }

// ---------------------------------------------------------------------------
// UI sets and components.

UISet* ScreenMan::GetUISetForScreen(const char* file, Screen* screen) {
    const std::string name = file ? file : "";
    if (std::find(loading_layouts.begin(), loading_layouts.end(), name) != loading_layouts.end()) {
        std::string chain;
        for (const std::string& f : loading_layouts) chain += "'" + f + "' -> ";
        ReportDataFault("LoadUI refused: %s'%s' loads a layout already being loaded.\n", chain.c_str(), name.c_str());
        return nullptr;
    }
    loading_layouts.push_back(name);
    UISet* set = LoadUISet(file, screen);
    loading_layouts.pop_back();
    return set;
}

UISet* ScreenMan::LoadUISet(const char* file, Screen* screen) {
    UISet* set = new UISet(file, screen);
    if (screen) {
        if (screen->uiset) {
            kd->Popupf(1, "Screen '%s' already has a UISet (%s)! Trying to set to '%s'.\n", screen->GetName(),
                       screen->uiset->file.c_str(), file ? file : "");
            retired_sets.InsertLast(screen->uiset);
            // A component of the old set is no default for the new one.
            if (screen->default_comp && screen->uiset->comps.Find(screen->default_comp) >= 0)
                screen->default_comp = nullptr;
        }
        screen->uiset = set;
    }
    int estimate = 0;
    bool developer = DeveloperMode();
    if (developer) {
        kd->CallExtension("RefreshMemUsageEstimates", "");
        estimate = kd->GetKeyStatei(2005);
    }
    if (!ui_template_set) {
        ui_template_set = set;
    } else if (!screen) {
        kd->Popupf(2, "ScreenMan::GetUISetForScreen called with null screen is not allowed.\n");
    }
    kd->Printf("Loading UI '%s'..\n", file ? file : "");
    char comment[600];
    loc_man.LocalizeNewLine();
    snprintf(comment, sizeof comment, "Strings in UI file '%s':", file ? file : "");
    loc_man.LocalizeComment(comment);

    UILayoutRun(set, file);
    for (int i = 0; i < set->comps.count; i++) {
        UIComp* c = set->comps[i];
        if (!c) continue;
        c->Precalculate();
        c->is_loaded = true;
        c->UpdateDimensions();
    }

    snprintf(comment, sizeof comment, "End of strings in UI file '%s':", file ? file : "");
    loc_man.LocalizeComment(comment);
    loc_man.LocalizeNewLine();
    if (developer) {
        kd->CallExtension("RefreshMemUsageEstimates", "");
        set->memory_estimate = kd->GetKeyStatei(2005) - estimate;
    }
    return set;
}

UIComp* ScreenMan::GenerateComponent(const char* type, const char* comp_name) {
    const char* file = current_set ? current_set->file.c_str() : "";
    return UIComp::Create(type, comp_name, ui_template_set, file);
}

UIComp* ScreenMan::GetCompTemplate(const char* comp_name) {
    if (!ui_template_set || !comp_name) return nullptr;
    for (int i = 0; i < ui_template_set->comps.count; i++) {
        UIComp* c = ui_template_set->comps[i];
        if (c && nStringsMatchIncaseSensitive(c->name, comp_name)) return c;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// The stack.

bool ScreenMan::IsScreenInStack(Screen* s) const { return s && stack.Find(s) >= 0; }

bool ScreenMan::IsScreenInStack(const char* screen_name) const {
    for (int i = 0; i < stack.count; i++)
        if (nStringsMatch(stack.data[i]->GetName(), screen_name)) return true;
    return false;
}

int ScreenMan::GetScreenIndexInStack(Screen* s) const { return s ? stack.Find(s) : -1; }

UISet* ScreenMan::OwnSet(const Screen* s) {
    UISet* set = s ? s->uiset : nullptr;
    return set && (!set->owner || set->owner == s) ? set : nullptr;
}

bool ScreenMan::TakesInput(const UIComp* comp) const {
    if (!comp || comp == &comp_null) return false;
    for (int i = stack.count - 1; i >= 0; i--) {
        Screen* s = stack.data[i];
        UISet* set = s->in_stack ? OwnSet(s) : nullptr;
        if (set && set->comps.Find(const_cast<UIComp*>(comp)) >= 0) return true;
        if (s->blocks_input) break;
    }
    return false;
}

bool ScreenMan::Browsing() const { return IsScreenInStack(&screen_ScreenScreenBrowser); }

Screen* ScreenMan::GetScreenFromStackWithUISet(UISet* set) const {
    for (int i = 0; i < stack.count; i++)
        if (stack.data[i]->uiset == set) return stack.data[i];
    return nullptr;
}

// The stack slot `depth` screens below the top (or, with `past_top`, the
// slot a push at that depth takes), held inside the stack whatever depth a
// script asks for.
static int StackSlot(int count, int depth, bool past_top) {
    const int top = past_top ? count : count - 1;
    if (depth < 0) return top;
    return depth > top ? 0 : top - depth;
}

Screen* ScreenMan::PeekScreen(int depth) const {
    if (!stack.count) return nullptr;
    return stack.data[StackSlot(stack.count, depth, false)];
}

void ScreenMan::InsertInStack(Screen* s, int index) {
    stack.InsertLast(s);
    for (int i = stack.count - 1; i > index; i--) stack.data[i] = stack.data[i - 1];
    stack.data[index] = s;
}

void ScreenMan::ForgetScreen(Screen* s) {
    while (stack.Remove(s)) {
    }
    while (deferred_pushes.Remove(s)) {
    }
    UnlockCursors();
}

void ScreenMan::PreloadScreen(Screen* s) { Screen::PreLoadScreen(s, false); }

void ScreenMan::PushScreen(const char* screen_name, int depth) { PushScreen(Screen::GetScreen(screen_name), depth); }

void ScreenMan::PushScreen(Screen* s, int depth) {
    if (!s) return;
    if (!s->preloaded) {
        kd->Popupf(1, "Trying to push screen '%s' which has not been preloaded yet.\n", s->GetName());
        return;
    }
    if (IsScreenInStack(s)) {
        kd->Popupf(1, "Screen '%s' already in stack (leaving=%s). Not doing anything.\n", s->GetName(),
                   s->leaving ? "TRUE" : "FALSE");
        return;
    }
    unsigned int start = kd->GetTime();
    UnlockCursors();
    InsertInStack(s, StackSlot(stack.count, depth, true));
    kd->Printf("PushScreen: '%s'\n", s->GetName());
    s->in_stack = true;
    s->shown = false;
    DoScreenEnterProcedure(s);
    kd->Printf("PushScreen '%s' took %d msecs.\n", s->GetName(), (int)(kd->GetTime() - start));
}

void ScreenMan::CallSetHandler(UISet* set, UISetHandler h, const char* arg) {
    if (!set || !set->L || !set->Has(h)) return;
    if (arg)
        lua_man.CallLuaFunctionS(set->L, ui_set_handler_names[h], arg);
    else
        lua_man.CallLuaFunction(set->L, ui_set_handler_names[h]);
}

void ScreenMan::DoScreenEnterProcedure(Screen* s) {
    if (!s) return;
    if (s->entered) {
        kd->Printf("Skipping Screen '%s' Enter Procedure.\n", s->GetName());
        return;
    }
    unsigned int start = kd->GetTime();
    s->leaving = false;
    s->entered = true;
    s->trans = 0;
    s->left = false;
    UISet* set = s->uiset;
    if (set) {
        unsigned int cache_start = kd->GetTime();
        set->ApplyCacheModeOnEnter();
        kd->Printf("Screen '%s' Enter Procedure ApplyCacheModeOnEnter took %d msecs.\n", s->GetName(),
                   (int)(kd->GetTime() - cache_start));
    }
    s->Enter();
    if (set) {
        for (int i = 0; i < set->comps.count; i++)
            if (set->comps[i]) set->comps[i]->OnScreenEnter(s);
        if (set->L) {
            if (set->Has(UI_ON_ENTER)) {
                if (verbose_lua_callbacks) kd->PrintDebugf(KD_LOG_INFO, "%s::OnEnter ()\n", set->events_file.c_str());
                lua_man.CallLuaFunction(set->L, "OnEnter");
            }
            if (set->Has(UI_ON_UPDATE)) lua_man.CallLuaFunctionN(set->L, "OnUpdate", 0);
        }
    }
    s->Update(0);
    kd->Printf("Screen '%s' Enter Procedure took %d msecs.\n", s->GetName(), (int)(kd->GetTime() - start));
}

void ScreenMan::DoScreenLeaveProcedure(Screen* s) {
    if (!s || s->left) return;
    s->left = true;
    s->entered = false;
    s->Leave();
    UISet* set = s->uiset;
    if (!set) return;
    if (set->L && set->Has(UI_ON_LEAVE)) {
        if (verbose_lua_callbacks) kd->PrintDebugf(KD_LOG_INFO, "%s::OnLeave ()\n", set->events_file.c_str());
        lua_man.CallLuaFunction(set->L, "OnLeave");
    }
    for (int i = 0; i < set->comps.count; i++)
        if (set->comps[i]) set->comps[i]->OnScreenLeave(s);
    set->ApplyCacheModeOnLeave();
}

// The pushes that a pop chains: a screen whose entry is still in the
// array waits for the removal step instead of being refused.
void ScreenMan::AfterPop(Screen* s) {
    Screen* chained[2] = {s->push_after_pop, s->re_push ? s : nullptr};
    s->push_after_pop = nullptr;
    s->re_push = false;
    for (Screen* p : chained) {
        if (!p) continue;
        if (IsScreenInStack(p) && !p->in_stack)
            deferred_pushes.InsertLast(p);
        else
            PushScreen(p, 0);
    }
}

void ScreenMan::PopScreen(Screen* s, bool animated) {
    if (!s) return;
    if (animated) {
        s->leaving = true;
        return;
    }
    for (int i = 0; i < num_cursors; i++) {
        UICursor& c = cursor[i];
        UIComp* l = c.locked;
        if (c.idle_time <= 5.0f && l && l != &comp_null && s->uiset && s->uiset->comps.Find(l) >= 0) {
            UnlockCursors();
            break;
        }
    }
    if (!IsScreenInStack(s)) return;
    s->leaving = true;
    if (s->in_stack) DoScreenLeaveProcedure(s);
    s->shown = false;
    s->in_stack = false;
    AfterPop(s);
}

Screen* ScreenMan::PopScreen(int depth) {
    UnlockCursors();
    if (!stack.count) return nullptr;
    Screen* s = stack.data[StackSlot(stack.count, depth, false)];
    if (s->in_stack) DoScreenLeaveProcedure(s);
    s->in_stack = false;
    AfterPop(s);
    return s;
}

void ScreenMan::PopScreen(const char* screen_name) { PopScreen(Screen::GetScreen(screen_name), true); }

void ScreenMan::PopAllScreens() {
    UnlockCursors();
    for (int i = stack.count - 1; i >= 0; i--) PopScreen(stack.data[i], true);
}

void ScreenMan::SwitchScreen(const char* screen_name) {
    Screen* s = Screen::PeekScreen(screen_name);
    if (s) StartScreenTransition(s);
}

void ScreenMan::StartScreenTransition(Screen* target) {
    // A screen made while running has not been preloaded: its push at the
    // end of the transition would be refused, after everything was popped.
    if (target && !target->preloaded) PreloadScreen(target);
    Screen_ScreenTransition.target = target;
    if (IsScreenInStack(&Screen_ScreenTransition))
        Screen_ScreenTransition.leaving = false;
    else
        PushScreen(&Screen_ScreenTransition, 0);
}

// ---------------------------------------------------------------------------
// The frame.

bool ScreenMan::IsIntervalElapsed(float seconds) const { return IsIntervalElapsedOffset(seconds, 0); }

bool ScreenMan::IsIntervalElapsedOffset(float seconds, int offset_ms) const {
    // Below a millisecond the period would be 0: every update counts.
    long long m = (long long)(seconds * 1000.0f);
    if (!(seconds == seconds) || m < 1) return clock != prev_clock;
    long long a = (long long)clock - offset_ms, b = (long long)prev_clock - offset_ms;
    auto floor_div = [](long long x, long long d) { return x >= 0 ? x / d : -((-x + d - 1) / d); };
    return floor_div(a, m) != floor_div(b, m);
}

void ScreenMan::Update(float dt) {
    prev_clock = clock;
    clock += (int)(dt * 1000.0f);
    profile_man.Update(dt);
    if (tools_reinit_events > 0 && ++tools_reinit_updates > 1) tools_reinit_events = 0;

    // In the UI editor the isolated component follows its handles before
    // the screens update.
    if (EditMode() && isolated_comp) isolated_comp->EditUpdate(dt);

    aman.Update(dt);
    UpdateLoadingIndicator(dt);

    if (DeveloperMode()) {
        if (kd->GetKeyStatei('P')) dt *= 0.2f;
        if (vs_progress > 0) {
            vs_progress += dt;
            if (vs_progress >= 1.0f) {
                vs_progress = 0;
                SetVirtualScreenDimensions(vs_target_w, vs_target_h);
            } else {
                float w = UIEase(vs_progress);
                SetVirtualScreenDimensions((int)(vs_target_w * w + vs_start_w * (1 - w)),
                                           (int)(vs_target_h * w + vs_start_h * (1 - w)));
            }
        }
        bool shift = kd->GetKeyStatei(KD_KEY_SHIFT) != 0;
        int q = kd->GetKeyStatei('Q');
        if (kd->GetKeyStatei(KD_KEY_CONTROL) && (q & 1)) {
            fast_forward = !fast_forward;
        } else if (q) {
            for (int i = 0; i < 64; i++) UpdateScreens(shift ? 0.01f : 0.04f);
            return;
        }
        if (fast_forward) {
            for (int i = 0; i < fast_forward_count; i++) {
                float r = (float)rand() / (float)RAND_MAX;
                UpdateScreens(fast_forward_step * (shift ? 0.2f : 1.0f) * (0.9f + 0.2f * r));
            }
            return;
        }
    }

    cursor_shape = "ARROW";
    UpdateScreens(dt);

    if (EditMode()) {
        if (kd->GetKeyStatei(KD_KEY_SHIFT) && kd->GetKeyStatei(KD_KEY_MOUSE_BUTTON_0)) {
            if (!measuring) measure_start = mpos;
            measuring = true;
        } else if (!kd->GetKeyStatei(KD_KEY_MOUSE_BUTTON_0)) {
            measuring = false;
        }
    }
    UIComp* over = cursor[0].over;
    if (over && over != &comp_null && over->IsInteractive()) cursor_shape = "FINGER_POINT";
    kd->SetCursor(cursor_shape);
}

void ScreenMan::UpdateScreens(float dt) {
    // No script runs here: a replaced set nothing refers to can go.
    FreeRetiredSets();
    if (dt > 200.0f) dt = 200.0f;
    mpos.x = kd->GetKeyStatef(KD_KEY_POINTER_X);
    mpos.y = kd->GetKeyStatef(KD_KEY_POINTER_Y);
    if (DeveloperMode() && kd->GetKeyStatei(KD_KEY_MENU) && kd->GetKeyStatei('X')) kd->SignalShutdown();
    // A long piece of work in the last frame (a load, a music switch)
    // does not reach the screens; the clock and the fades keep real time.
    if (zero_next_time_step) {
        dt = 0;
        zero_next_time_step = false;
    }
    last_dt = dt;
    pman.UpdateParts(dt);
    Manager::RunUpdateSteps(dt);
    anim_key += dt;
    if (anim_key > 1.0f) anim_key -= 1.0f;
    over_sound_timer += dt;

    if (!EditMode()) {
        std::vector<Screen*> copy(stack.data, stack.data + stack.count);
        for (Screen* s : copy)
            if (IsScreenInStack(s)) UpdateScreen(s, dt);
    }
    RemovePoppedScreens();
    UpdateCursors(dt);

    Screen* top = TopScreen();
    if (ai_man.enabled && top && top->trans >= 1.0f && !Browsing()) ai_man.PlayTheGame(dt);
}

void ScreenMan::RemovePoppedScreens() {
    for (int i = 0; i < stack.count;) {
        Screen* s = stack.data[i];
        if (s->in_stack) {
            i++;
            continue;
        }
        kd->Printf("Removing '%s' from Screen Stack\n", s->GetName());
        stack.RemoveIndex(i);
    }
    if (!deferred_pushes.count) return;
    nArray<Screen*> pushes = deferred_pushes;
    deferred_pushes.count = 0;
    for (int i = 0; i < pushes.count; i++) PushScreen(pushes[i], 0);
}

void ScreenMan::UpdateScreen(Screen* s, float dt) {
    if (!s || !s->preloaded || !s->in_stack) return;
    s->UpdateTimeDeltaMultiplierChange(dt);
    float sdt = dt * s->time_delta_multiplier;
    // A screen showing another's set (the browser) updates neither that
    // set's script nor its components, nor takes them as its own.
    UISet* set = OwnSet(s);
    if (set && set->L && set->Has(UI_ON_UPDATE)) lua_man.CallLuaFunctionN(set->L, "OnUpdate", sdt);
    s->Update(sdt);

    if (!s->leaving) {
        s->trans += dt * s->enter_speed;
        if (!(s->trans < 1.0f)) {
            s->trans = 1.0f;
            // From here on the screen takes input: scripted runs wait for it.
            if (!s->shown) kd->Printf("Screen '%s' fully in.\n", s->GetName());
            s->shown = true;
        }
    } else {
        if (s->trans <= 0) PopScreen(s, false);
        s->trans -= dt * s->leave_speed;
        if (!(s->trans > 0)) s->trans = 0;
    }

    set = OwnSet(s);
    if (!set) return;
    for (int i = 0; i < set->comps.count; i++) {
        UIComp* c = set->comps[i];
        if (!c) continue;
        c->owner = s;
        bool over = IsCursorOver(c);
        c->time_cursor_over += (over && c->IsInteractive()) ? 3 * dt : -2 * dt;
        if (over) {
            bool near = false;
            for (int k = 0; k < num_cursors && !near; k++)
                near = cursor[k].locked == c && cursor[k].idle_time <= 5.0f && c->IsPointOverExpandedArea(cursor[k].position, 16);
            c->time_cursor_locked += near ? 9 * dt : -5 * dt;
        } else {
            c->time_cursor_locked -= 5 * dt;
        }
        c->fading_akey += c->fading ? -3 * dt : 3 * dt;
        c->time_cursor_over = fminf(fmaxf(c->time_cursor_over, 0), 1);
        c->time_cursor_locked = fminf(fmaxf(c->time_cursor_locked, 0), 1);
        c->fading_akey = fminf(fmaxf(c->fading_akey, 0), 1);
        c->Update(sdt);
    }
}

// ---------------------------------------------------------------------------
// Component helpers.

bool ScreenMan::SetText(UIComp* c, const char* format, ...) {
    if (!c || !format) return false;
    char text[2048];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    switch (c->type) {
        case UI_BUTTON: static_cast<UICompButton*>(c)->SetText("%s", text); return true;
        case UI_EDITBOX: static_cast<UICompEditbox*>(c)->SetText("%s", text); return true;
        case UI_CHECKBOX: static_cast<UICompCheckbox*>(c)->SetText("%s", text); return true;
        case UI_TEXTBOX: static_cast<UICompTextbox*>(c)->SetText("%s", text); return true;
        default: return false;
    }
}

bool ScreenMan::SetVisible(UIComp* c, bool on) {
    if (!c) return false;
    c->visible = on;
    return true;
}

bool ScreenMan::SetActive(UIComp* c, bool on) {
    if (!c) return false;
    c->active = on;
    return true;
}

vec2_t ScreenMan::GetStaticPos(UIComp* c) { return c ? c->GetStaticPos() : vec2_t{10, 10}; }
