// The screen manager's input: events, cursors, focus, clicks and key
// names. See screen-manager.h.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "audioman.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "ui/aiplayer.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

static bool DeveloperMode() { return Manager::GetParms()->developer_mode; }
static bool Held(int key) { return kd->GetKeyStatei(key) != 0; }
static bool Real(const UIComp* c) { return c && c != &comp_null; }
static float Dist(vec2_t a, vec2_t b) { return sqrtf((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)); }

static void PlayComponentSound(kd_sound_t* s) {
    if (s) aman.PlaySound(s, 1.0f, 0.0f, 1.0f);
}

// ---------------------------------------------------------------------------
// Key names.

const char* KD_GetKeyName(int key) {
    static const struct {
        int key;
        const char* name;
    } names[] = {{8, "BACKSPACE"}, {9, "TAB"},      {12, "CLEAR"},    {13, "RETURN"}, {16, "SHIFT"},  {17, "CONTROL"},
                 {18, "MENU"},     {19, "PAUSE"},   {20, "CAPITAL"},  {27, "ESCAPE"}, {32, "SPACE"},  {33, "PAGEUP"},
                 {34, "PAGEDOWN"}, {35, "END"},     {36, "HOME"},     {37, "LEFT"},   {38, "UP"},     {39, "RIGHT"},
                 {40, "DOWN"},     {41, "SELECT"},  {42, "PRINT"},    {43, "EXECUTE"}, {45, "INSERT"}, {46, "DELETE"},
                 {47, "HELP"},     {504, "MOUSE_X"}, {505, "MOUSE_Y"}, {506, "MOUSE_Z"}, {507, "MOUSE_WHEEL"},
                 {1632, "VOLUME_UP"}, {1633, "VOLUME_DOWN"}};
    static const char* const digits[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static const char* const letters[26] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                            "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    static const char* const buttons[8] = {"MOUSE_BUTTON_0", "MOUSE_BUTTON_1", "MOUSE_BUTTON_2", "MOUSE_BUTTON_3",
                                           "MOUSE_BUTTON_4", "MOUSE_BUTTON_5", "MOUSE_BUTTON_6", "MOUSE_BUTTON_7"};
    if (key >= '0' && key <= '9') return digits[key - '0'];
    if (key >= 'A' && key <= 'Z') return letters[key - 'A'];
    if (key >= 510 && key <= 517) return buttons[key - 510];
    for (const auto& n : names)
        if (n.key == key) return n.name;
    return "UNKNOWN";
}

// ---------------------------------------------------------------------------
// Cursor queries.

static bool Present(const UICursor& c) { return c.idle_time <= 5.0f; }

bool ScreenMan::IsCursorOver(UIComp* comp) const {
    if (!comp) return false;
    for (int i = 0; i < num_cursors; i++)
        if (Present(cursor[i]) && cursor[i].over == comp) return true;
    return false;
}

bool ScreenMan::IsCursorFocusOver(UIComp* comp) const {
    if (!comp) return false;
    for (int i = 0; i < num_cursors; i++)
        if (Present(cursor[i]) && cursor[i].focus == comp) return true;
    return false;
}

bool ScreenMan::IsCursorLockedTo(UIComp* comp) const {
    if (!comp) return false;
    for (int i = 0; i < num_cursors; i++)
        if (Present(cursor[i]) && cursor[i].locked == comp) return true;
    return false;
}

void ScreenMan::UnlockCursors() {
    // Every slot, not only those in use: a screen that goes away must
    // leave no cursor pointing into it.
    for (UICursor& c : cursor) {
        c.over = c.locked = c.focus = nullptr;
        c.repeat_delay = 0.3f;
        c.pressed = false;
        c.idle_time = 6.0f;
    }
}

void ScreenMan::SetCursorOver(UICursor* c, UIComp* comp) {
    if (comp && comp != c->over && comp->snd_over && comp->IsInteractive()) {
        if (over_sound_timer > 0.2f) {
            over_sound_timer = 0;
            PlayComponentSound(comp->snd_over);
        }
        UISet* set = OwnSet(TopScreen());
        if (set && set->L && set->Has(UI_ON_CURSOR_ENTER))
            lua_man.CallLuaFunctionS(set->L, "OnCursorEnter", comp->name);
    }
    c->over = comp;
}

void ScreenMan::SetCursorLockedTo(UICursor* c, UIComp* comp) {
    if (!EditMode() && comp && comp != c->locked && comp->snd_press && comp->IsInteractive())
        PlayComponentSound(comp->snd_press);
    c->locked = comp;
    c->lock_position = c->position;
    if (comp) {
        vec2_t p = comp->GetStaticPos();
        c->grab_offset = vec2_t{c->position.x - p.x, c->position.y - p.y};
        c->lock_x = comp->position.x;
        c->lock_y = comp->position.y;
        c->lock_scale = comp->scale;
        c->lock_angle = comp->angle;
    } else {
        c->lock_x = c->lock_y = 0;
        c->lock_scale = 1.0f;
        c->lock_angle = 0.0f;
    }
}

void ScreenMan::SetCursorFocus(UIComp* comp) {
    UICursor& c = cursor[0];
    if (comp == c.focus) return;
    c.focus = comp;
    c.idle_time = 0;
    kd->CallExtension(comp && comp->type == UI_EDITBOX ? "BeginKeyboardInput" : "EndKeyboardInput", "");
}

// ---------------------------------------------------------------------------
// Finding and moving between components.

static bool Interactive(UIComp* c) { return c && c->IsInteractive(); }

UIComp* ScreenMan::GetInteractiveComp1D(UISet* set, UIComp* current, int step) {
    if (!set) return nullptr;
    int cur = -1, first = -1, prev = -1, next = -1;
    for (int i = 0; i < set->comps.count; i++) {
        UIComp* c = set->comps[i];
        if (!Interactive(c)) continue;
        if (first < 0) first = i;
        if (cur >= 0 && next < 0) next = i;
        if (cur < 0 && (c == current || (!current && i == first))) cur = i;
        if (cur < 0) prev = i;
    }
    if (cur < 0) return nullptr;
    if (step >= 1) return set->comps[next >= 0 ? next : cur];
    return set->comps[prev >= 0 ? prev : cur];
}

static vec2_t CentreOf(UIComp* c) {
    vec2_t p = c->GetAlignedPos();
    return vec2_t{p.x + c->width / 2, p.y + c->height / 2};
}

UIComp* ScreenMan::GetInteractiveComp2D(UISet* set, UIComp* current, vec2_t d) {
    if (fabsf(d.x) < 0.001f && fabsf(d.y) < 0.001f) return current;
    if (!set) return nullptr;
    UIComp* ref = current;
    vec2_t rc = {0, 0};
    if (!ref) {
        ref = GetInteractiveComp1D(set, nullptr, 0);
        if (!ref) return nullptr;
    } else {
        rc = CentreOf(ref);
    }
    UIComp* best = nullptr;
    float best_score = 100000.0f;
    for (int i = 0; i < set->comps.count; i++) {
        UIComp* c = set->comps[i];
        if (c == ref || !Interactive(c)) continue;
        vec2_t cc = CentreOf(c);
        float dx = cc.x - rc.x, dy = cc.y - rc.y, score = 100000.0f;
        // Signs after truncation: -1 < offset <= 0 counts as positive.
        if (d.x != 0) {
            bool side = d.x > 0 ? (int)dx >= 0 : (int)dx < 0;
            if (side && fabsf(dy) < (c->height + ref->height) / 2) score = fabsf(dx) - (c->width + ref->width) / 2;
        } else {
            bool side = d.y > 0 ? (int)dy >= 0 : (int)dy < 0;
            if (side && fabsf(dx) < (c->width + ref->width) / 2) score = fabsf(dy) - (c->height + ref->height) / 2;
        }
        if (score < best_score) {
            best_score = score;
            best = c;
        }
    }
    return best;
}

bool ScreenMan::DoesControlDevicePointTo(int key) {
    for (int p = 0; p < 4; p++) {
        int base = 1280 + 16 * p;
        int word = kd->GetKeyStatei(base);
        float x1 = kd->GetKeyStatef(base + 3), y1 = kd->GetKeyStatef(base + 4);
        float x2 = kd->GetKeyStatef(base + 5), y2 = kd->GetKeyStatef(base + 6);
        switch (key) {
            case KD_KEY_LEFT:
                if (x1 < -0.4f || x2 < -0.4f || (word & 4)) return true;
                break;
            case KD_KEY_RIGHT:
                if (x1 > 0.4f || x2 > 0.4f || (word & 8)) return true;
                break;
            case KD_KEY_UP:
                if (y1 > 0.4f || y2 > 0.4f || (word & 1)) return true;
                break;
            case KD_KEY_DOWN:
                if (y1 < -0.4f || y2 < -0.4f || (word & 2)) return true;
                break;
            default: return false;
        }
    }
    return false;
}

UIComp* ScreenMan::FindCompUnder(UICursor* c) {
    bool edit = EditMode();
    bool shift = Held(KD_KEY_SHIFT);
    for (int si = stack.count - 1; si >= 0; si--) {
        Screen* s = stack.data[si];
        // The editor finds the components of the set a screen shows, the
        // screen browser's picture too; input only those of its own.
        UISet* set = !s->in_stack ? nullptr : edit ? s->uiset : OwnSet(s);
        if (set) {
            for (int i = set->comps.count - 1; i >= 0; i--) {
                UIComp* comp = set->comps[i];
                if (!comp) continue;
                bool hit;
                if (!edit)
                    hit = comp->active && comp->IsVisible() &&
                          (comp->expanded_hit_area > 0 ? comp->IsPointOverExpandedArea(c->position, comp->expanded_hit_area)
                                                       : comp->IsPointOver(c->position));
                else
                    hit = comp->IsPointOver(c->position) && (comp->IsVisible() || shift);
                if (hit) return comp;
            }
        }
        // A screen that blocks input hides the screens below it. (A hit
        // already found never reaches here, so hovering over a screen
        // below a see-through one stays steady from frame to frame.)
        if (s->blocks_input) break;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Cursors.

void ScreenMan::UpdateCursor(UICursor* c, vec2_t position, float dt) {
    c->idle_time += dt;
    if (c->pressed || fabsf(position.x - c->position.x) >= 1e-6f || fabsf(position.y - c->position.y) >= 1e-6f)
        c->idle_time = 0;
    if (press_only_hover && !c->pressed) c->idle_time = 6.0f;
    c->position = position;
    if (!EditMode() && TakesInput(c->locked)) c->locked->ProcessCursorMove(c, c->position, dt);
}

// Makes `to` the game-pad cursor's component and moves the cursor onto it.
static void PlaceGamePadCursor(UICursor* c, Screen* top, UIComp* to) {
    if (!to) return;
    c->over = to;
    top->default_comp = to;
    vec2_t p = to->GetAlignedPos();
    c->position = vec2_t{p.x + to->width / 2, p.y + to->height / 2};
}

void ScreenMan::UpdateGamePadCursor(UICursor* c, float dt) {
    Screen* top = TopScreen();
    if (!top) {
        c->over = nullptr;
        return;
    }
    UISet* set = OwnSet(top);
    // Only a component that takes input: one of a set that a reload
    // replaced is no place for the cursor, which would make it the top
    // screen's default again, nor one of the screen browser's picture.
    if (!TakesInput(c->over)) {
        if (TakesInput(top->default_comp)) {
            c->over = top->default_comp;
        } else {
            over_sound_timer = 0.2f;  // no sound for a component taken by default
            SetCursorOver(c, GetInteractiveComp1D(set, nullptr, 0));
        }
    }
    c->repeat_delay -= dt;
    if (c->repeat_delay < -5) c->repeat_delay = -5;
    c->pressed = fabsf(kd->GetKeyStatef(803)) > 0.2f || (kd->GetKeyStatei(1280) & 0x1000) ||
                 fabsf(kd->GetKeyStatef(1282)) > 0.2f;
    if (c->pressed) kd->PrintDebugf(KD_LOG_WARNING, "Over: %s\n", Real(c->over) && c->over->name ? c->over->name : "");

    bool moved = false;
    if (Held(KD_KEY_TAB)) {
        moved = true;
        if (c->repeat_delay <= 0) {
            c->repeat_delay = 0.4f;
            c->over = GetInteractiveComp1D(set, c->over, Held(KD_KEY_SHIFT) ? -1 : 1);
        }
    }
    int dir = 0;
    // Left and right go to the component first (a slider takes them).
    for (int key : {KD_KEY_LEFT, KD_KEY_RIGHT}) {
        if (!DoesControlDevicePointTo(key)) continue;
        moved = true;
        if (c->repeat_delay <= 0 && Real(c->over) && c->over->ProcessCursorMove(c, key, dt))
            c->repeat_delay = 0.1f;
        else
            dir = key;
    }
    for (int key : {KD_KEY_DOWN, KD_KEY_UP})
        if (DoesControlDevicePointTo(key)) {
            moved = true;
            dir = key;
        }
    if (dir) {
        if (Real(c->over) && c->over->ProcessCursorMove(c, dir, dt)) {
            if (c->repeat_delay <= 0) c->repeat_delay = 0.1f;
        } else if (c->repeat_delay <= 0) {
            c->repeat_delay = 0.4f;
            vec2_t d = dir == KD_KEY_LEFT    ? vec2_t{-1, 0}
                       : dir == KD_KEY_UP    ? vec2_t{0, -1}
                       : dir == KD_KEY_RIGHT ? vec2_t{1, 0}
                                             : vec2_t{0, 1};
            UIComp* to = GetInteractiveComp2D(set, Real(c->over) ? c->over : nullptr, d);
            if (to) c->over = to;
        }
    }
    if (!moved) {
        c->repeat_delay = 0;
        c->idle_time += dt;
    } else {
        c->idle_time = 0;
    }
    if (Real(c->over)) PlaceGamePadCursor(c, top, c->over);
}

// The corners of a component's rotated box: top-left, top-right,
// bottom-right, bottom-left.
static void Corners(UIComp* comp, vec2_t out[4]) {
    vec2_t c = comp->GetCenterPos();
    float a = comp->GetStaticAngle(), ca = cosf(a), sa = sinf(a);
    float hw = comp->width / 2, hh = comp->height / 2;
    const float sx[4] = {-1, 1, 1, -1}, sy[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; i++)
        out[i] = vec2_t{c.x + sx[i] * hw * ca - sy[i] * hh * sa, c.y + sx[i] * hw * sa + sy[i] * hh * ca};
}

void UIComponentCorners(UIComp* comp, vec2_t out[4]) { Corners(comp, out); }

// Places a component so that its static position lands on `p`.
static void MoveStaticPositionTo(UIComp* comp, vec2_t p) {
    vec2_t now = comp->GetStaticPos();
    float dx = p.x - now.x, dy = p.y - now.y;
    float w = 1, h = 1;
    if (comp->position_type == UI_POS_RELATIVE_TO_PARENT && comp->parent) {
        w = comp->parent->width;
        h = comp->parent->height;
    } else if (comp->position_type != UI_POS_ABSOLUTE) {
        w = (float)ui_screen.virtual_width;
        h = (float)ui_screen.virtual_height;
    }
    if (w > 0) comp->position.x += dx / w;
    if (h > 0) comp->position.y += dy / h;
}

void ScreenMan::EditModeCursorStep(UICursor* c) {
    bool alt = Held(KD_KEY_MENU), ctrl = Held(KD_KEY_CONTROL);
    if (!c->locked) {
        c->drag_mode = 0;
        UIComp* under = alt && edit_selection ? edit_selection : FindCompUnder(c);
        SetCursorOver(c, under ? under : &comp_null);
        if (!c->pressed) return;
        // A component of a screen below stays selectable (to be looked
        // at) but is never dragged, scaled or turned.
        if (Editable(edit_selection)) {
            vec2_t k[4];
            Corners(edit_selection, k);
            for (const vec2_t& corner : k)
                if (Dist(corner, c->position) <= 5.0f) {
                    SetCursorLockedTo(c, edit_selection);
                    c->drag_mode = alt ? 4 : 3;
                    return;
                }
        }
        if (ctrl && Editable(c->over)) {
            SetCursorLockedTo(c, c->over);
            c->drag_mode = 2;
        }
        return;
    }
    UIComp* comp = c->locked;
    if (Real(comp)) edit_selection = comp;
    if (!c->pressed) {
        SetCursorLockedTo(c, nullptr);
        c->drag_mode = 0;
        return;
    }
    if (!Real(comp)) return;
    if (c == &cursor[0] && (Held(KD_KEY_MOUSE_BUTTON_1) || Held(KD_KEY_ESCAPE))) {
        comp->position.x = c->lock_x;
        comp->position.y = c->lock_y;
        comp->scale = c->lock_scale;
        comp->angle = c->lock_angle;
        SetCursorLockedTo(c, &comp_null);
        c->drag_mode = 0;
        return;
    }
    vec2_t sp = comp->GetStaticPos();
    if (c->drag_mode == 2) {
        MoveStaticPositionTo(comp, vec2_t{c->position.x - c->grab_offset.x, c->position.y - c->grab_offset.y});
    } else if (c->drag_mode == 3) {
        float now = Dist(c->position, sp), then = Dist(c->lock_position, sp);
        if (now > 5 && then > 5) comp->scale = c->lock_scale * now / then;
    } else if (c->drag_mode == 4) {
        float now = atan2f(c->position.y - sp.y, c->position.x - sp.x);
        float then = atan2f(c->lock_position.y - sp.y, c->lock_position.x - sp.x);
        comp->angle = c->lock_angle + now - then;
    }
}

void ScreenMan::LockedCursorStep(int index, UICursor* c) {
    UIComp* comp = c->locked;
    if (Real(comp)) edit_selection = comp;
    if (c->pressed) return;
    if (comp->IsActive() && comp->IsPointOverExpandedArea(c->position, 16)) {
        event_cursor = index;
        if (comp->owner) SendComponentClick(comp, OwnSet(comp->owner));
    }
    SetCursorLockedTo(c, nullptr);
}

void ScreenMan::UpdateCursors(float dt) {
    bool edit = EditMode();
    int pointers = 0;
    for (int i = 0; i < UI_POINTER_CURSORS; i++) {
        if (!(edit || !press_only_hover || cursor[i].pressed)) continue;
        UpdateCursor(&cursor[i], cursor[i].position, dt);
        pointers++;
    }
    if (!edit) UpdateGamePadCursor(&cursor[pointers], dt);
    num_cursors = pointers + (edit ? 0 : 1);

    Screen* top = TopScreen();
    if (!top || top->trans < 1.0f || num_cursors < 1) return;
    for (int i = 0; i < num_cursors; i++) {
        UICursor* c = &cursor[i];
        if (edit) {
            EditModeCursorStep(c);
            continue;
        }
        if (c->locked) {
            LockedCursorStep(i, c);
            continue;
        }
        c->drag_mode = 0;
        UIComp* under = FindCompUnder(c);
        SetCursorOver(c, under ? under : &comp_null);
        if (!under || !c->pressed) continue;
        bool taken = false;
        for (int k = 0; k < num_cursors; k++)
            if (k != i && cursor[k].locked == under) taken = true;
        if (taken) continue;
        SetCursorLockedTo(c, under);
        if (i == 0)
            SetCursorFocus(under);
        else
            c->focus = under;
    }
}

// ---------------------------------------------------------------------------
// Clicks and messages.

void ScreenMan::SendComponentClick(UIComp* comp, UISet* set) {
    // Whoever asks (a cursor, a widget, the automated player): a
    // component input cannot reach runs no click code.
    if (!comp || !set || !comp->IsActive() || !TakesInput(comp)) return;
    Screen* s = comp->owner ? comp->owner : set->owner;
    if (s) {
        if (s->trans < 0.999f && !s->leaving) return;
        if (s != TopScreen()) return;
    }
    set->current = comp;
    kd->CallExtension(comp->type == UI_EDITBOX ? "BeginKeyboardInput" : "EndKeyboardInput", "");
    PlayComponentSound(comp->snd_release);
    if (set->L) lua_man.CallLuaFunctionS(set->L, "OnClick", comp->name);
    const char* script = comp->GetHandler(UI_HANDLER_ON_CLICK);
    if (script && *script && set->L) lua_man.ExecLuaFile(set->L, script);
    Screen* owner = set->owner ? set->owner : s;
    if (owner) owner->ProcessUICompClick(comp, 0);
}

void ScreenMan::SendScreenMessage(Screen* sender, Screen* target, const char* message, const char* value) {
    if (!target) return;
    target->ProcessScreenMessage(sender, message, value);
    UISet* set = target->uiset;
    if (set && set->L && lua_man.DoesLuaFunctionExist(set->L, "OnScreenMessage"))
        lua_man.CallLuaFunction2S(set->L, "OnScreenMessage", message ? message : "", value ? value : "");
}

// ---------------------------------------------------------------------------
// Events.

// Developer keys: edit and resize mode, and the resize mode's sizes.
bool ScreenMan::DeveloperKey(const kd_event_t& e) {
    int key = (int)e.id;
    bool ctrl = Held(KD_KEY_CONTROL);
    if (ctrl && key == 'E') {
        SwitchEditMode(!EditMode());
        return true;
    }
    if (ctrl && key == 'R') {
        SetResizeMode(!ResizeMode());
        if (!ResizeMode()) return false;
        draw_everything = true;
        FitWindowToTools();
        return true;
    }
    if (ResizeMode() && key >= '0' && key <= '9') {
        ChooseResizeModeSize(key - '0');
        return true;
    }
    return false;
}

void ScreenMan::SwitchEditMode(bool on) {
    SetEditMode(on);
    kd->Printf("Edit mode %s.\n", EditMode() ? "on" : "off");
    draw_everything = true;
    FitWindowToTools();
}

// The display becomes a window big enough to show any virtual size while
// a tool is on, and the program's own again after it: size and window
// setting. The tools' window is this run's alone: the player's window
// setting is what profiles save meanwhile, and the re-initialisations
// it brings save nothing (ToolsReInit).
void ScreenMan::FitWindowToTools() {
    static int own_w = 0, own_h = 0;
    static bool own_windowed = false;
    kd_parms_t* parms = Manager::GetParms();
    const bool tools = EditMode() || ResizeMode();
    if (tools && !own_w) {
        own_w = parms->width, own_h = parms->height, own_windowed = parms->windowed;
        profile_man.KeepWindowedSetting(own_windowed);
    }
    int w = 1230, h = 768;
    bool windowed = true;
    const char* dw = kd->CallExtension("PlatformInfo", "DesktopWidth");
    const char* dh = kd->CallExtension("PlatformInfo", "DesktopHeight");
    if (dw && dh && atoi(dw) > 150 && atoi(dh) > 50) {
        w = atoi(dw) - 150;
        h = atoi(dh) - 50;
    }
    if (!tools && own_w) {
        w = own_w, h = own_h, windowed = own_windowed, own_w = own_h = 0;
        profile_man.KeepWindowedSetting(-1);
    }
    // The engine re-initialises, with an event before and one after, only
    // when the display changes.
    if (w != parms->width || h != parms->height || windowed != parms->windowed) {
        tools_reinit_events = 2;
        tools_reinit_updates = 0;
    }
    parms->width = w;
    parms->height = h;
    parms->windowed = windowed;
    kd->CallExtension("Hacks", "AllowAllResolutions");
    kd->ReInit();
}

bool ScreenMan::ToolsReInit() const { return tools_reinit_events > 0; }

void ScreenMan::ChooseResizeModeSize(int digit) {
    int w = virtual_width, h = virtual_height;
    auto pick = [&](int aw, int ah, int bw, int bh) {
        bool now_a = (w == aw && h == ah) || (w == ah && h == aw);
        w = now_a ? bw : aw;
        h = now_a ? bh : ah;
    };
    switch (digit) {
        case 0: {
            const char* answer = kd->CallExtension("EditValue: Enter custom resolution", "1980x1080");
            if (!answer) return;
            int cw = 640, ch = 480;
            const char* x = strchr(answer, 'x');
            if (*answer && answer != x) cw = atoi(answer);
            if (x && x[1]) ch = atoi(x + 1);
            if (cw < 1 || ch < 1) return;
            w = cw;
            h = ch;
            break;
        }
        case 1: pick(400, 320, 512, 512); break;
        case 2: pick(480, 320, 960, 640); break;
        case 3: w = 640, h = 360; break;
        case 4: pick(800, 480, 854, 480); break;
        case 5: pick(480, 272, 960, 544); break;
        case 6: pick(800, 600, 640, 480); break;
        case 7: w = 1024, h = 768; break;
        case 8: w = 1280, h = 720; break;
        case 9: w = 1920, h = 1080; break;
        default: return;
    }
    // Keep the orientation: the longer side stays horizontal when it is now.
    bool landscape = virtual_width >= virtual_height;
    if ((w >= h) != landscape) {
        int t = w;
        w = h;
        h = t;
    }
    SetTargetVirtualScreenDimensions(w, h);
}

// One event's way through the UI, in this order: the screens, the cursors
// and the window's state, the services, the developer's tools, and last
// the top screen's script and the focused components. 1 when the event was
// taken, 0 when not, 2 when a window close was answered with the exit
// confirmation.
int ScreenMan::ProcessEvent(kd_event_t& e) {
    const bool edit = EditMode();
    DeliverToScreens(e, edit);
    TrackCursorsAndWindow(e, edit);
    // The services' steps: the results of platform commands, and the
    // window's activation, on which the news is fetched again.
    Manager::SendEvent(&e);
    const bool developer = DeveloperMode();
    if (developer) {
        const int taken = ProcessDeveloperEvent(e);
        if (taken >= 0) return taken;
    }
    return DeliverInput(e, edit, developer);
}

// Outside the editor the automated player (not while the screen browser
// is up), the top screen's own components and the top screen see the
// event once the screen is fully in; the focused components that input
// reaches see it always.
void ScreenMan::DeliverToScreens(kd_event_t& e, bool edit) {
    Screen* top = TopScreen();
    if (!edit) {
        if (!Browsing()) ai_man.ProcessEvent(&e);
        if (top && top->in_stack && !top->leaving && top->trans >= 0.999f) {
            UISet* set = OwnSet(top);
            for (int i = 0; set && i < set->comps.count; i++)
                if (set->comps[i]) set->comps[i]->ProcessEvent(&e);
            top->ProcessEvent(&e);
        }
    }
    for (int i = 0; i < num_cursors; i++) {
        UIComp* f = cursor[i].focus;
        if (TakesInput(f) && f->IsInteractive()) f->ProcessEvent(&e);
    }
}

// The cursors follow the pointers and buttons; a renderer that comes back
// resizes the screen and tells the loaded screens; the activation says
// whether the application is in front.
void ScreenMan::TrackCursorsAndWindow(kd_event_t& e, bool edit) {
    // Touch ids beyond the cursors are not valid input: they drive no cursor.
    const int id = (int)e.id;
    UICursor* pc = (id >= 0 && id < UI_MAX_CURSORS) ? &cursor[id] : nullptr;
    const vec2_t at = {(float)e.x, (float)e.y};
    switch (e.type) {
        case KD_EVENT_POINTER_MOVE:
            if (pc) UpdateCursor(pc, at, 0);
            break;
        case KD_EVENT_BUTTON_DOWN:
        case KD_EVENT_BUTTON_UP:
            if (pc) {
                pc->pressed = e.type == KD_EVENT_BUTTON_DOWN;
                pc->position = at;
                UpdateCursors(0);
                if (!pc->pressed && press_only_hover) pc->idle_time = 6.0f;
            }
            break;
        case KD_EVENT_RENDERER_REINIT:
            if (tools_reinit_events > 0) tools_reinit_events--;
            if (e.id) {
                kd_parms_t* parms = Manager::GetParms();
                actual_width = parms->width;
                actual_height = parms->height;
                if (!ResizeMode() && !edit) SetVirtualScreenDimensions(parms->width, parms->height);
                UpdateAllVisibleComponentDimensions();
                for (int i = 0; i < stack.count; i++) {
                    Screen* s = stack.data[i];
                    if (s->preloaded && s->in_stack) s->ProcessEvent(&e);
                }
            }
            break;
        case KD_EVENT_ACTIVATION: application_active = e.id == 0; break;
    }
}

// The developer's keys, the editor and the console; -1 when the event goes
// on to the screens.
int ScreenMan::ProcessDeveloperEvent(kd_event_t& e) {
    // A line typed at the console runs in edit mode too: the developer
    // typed it, as a command to the program.
    if (e.type == KD_EVENT_CONSOLE_LINE) {
        const char* line = (const char*)e.id;
        kd->PrintDebugf(KD_LOG_WARNING, "Entered '%s'\n", line ? line : "");
        if (line) lua_man.ExecLuaString(lua_man.GetMainState(), line);
        return 1;
    }
    if (e.type == KD_EVENT_KEY_DOWN) DeveloperKey(e);
    if (EditMode()) {
        // The editor has every input event: none reaches the screens.
        const int taken = ProcessEditModeEvent(&e);
        return taken || e.type == KD_EVENT_CHAR || (e.type >= KD_EVENT_POINTER_MOVE && e.type <= KD_EVENT_KEY_UP) ? 1
                                                                                                                  : 0;
    }
    return -1;
}

// A window close asks first when the exit confirmation is loaded, unless
// the game is still loading.
int ScreenMan::ConfirmWindowClose() {
    zero_next_time_step = true;
    Screen* confirm = Screen::PeekScreen("ExitConfirmation");
    if (confirm && confirm->preloaded && !IsScreenInStack("Loading")) {
        if (!IsScreenInStack(confirm)) PushScreen(confirm, 0);
        return 2;
    }
    return 0;
}

// Keys, buttons, the wheel and characters go to the top screen's script
// and the focused components.
int ScreenMan::DeliverInput(kd_event_t& e, bool edit, bool developer) {
    const int id = (int)e.id;
    Screen* top = TopScreen();
    UISet* set = OwnSet(top);
    lua_State* L = set ? set->L : nullptr;
    // Keys reach the top screen's own script once it is fully in; in
    // developer mode E and Ctrl stay the editor's.
    auto key_to_lua = [&](UISetHandler h) {
        return L && top->in_stack && top->trans >= 1.0f && set->Has(h) && !edit &&
               !(developer && (id == 'E' || id == KD_KEY_CONTROL));
    };
    switch (e.type) {
        case KD_EVENT_WINDOW_CLOSE: return ConfirmWindowClose();
        case KD_EVENT_KEY_DOWN: {
            if (key_to_lua(UI_ON_KEY_DOWN)) lua_man.CallLuaFunctionS(L, "OnKeyDown", KD_GetKeyName(id));
            // The game-pad cursor moves by the pads and a held Tab alone
            // (UpdateGamePadCursor): the arrows are the screens' own.
            for (int i = 0; i < num_cursors; i++) {
                UIComp* f = cursor[i].focus;
                if (TakesInput(f)) f->ProcessKey(id);
            }
            return 1;
        }
        case KD_EVENT_KEY_UP:
            if (key_to_lua(UI_ON_KEY_UP)) lua_man.CallLuaFunctionS(L, "OnKeyUp", KD_GetKeyName(id));
            return 1;
        case KD_EVENT_BUTTON_DOWN:
        case KD_EVENT_BUTTON_UP: {
            bool down = e.type == KD_EVENT_BUTTON_DOWN;
            event_cursor = id;
            if (L) {
                const char* name = KD_GetKeyName(e.button);
                if (set->Has(down ? UI_ON_KEY_DOWN : UI_ON_KEY_UP))
                    lua_man.CallLuaFunctionS(L, down ? "OnKeyDown" : "OnKeyUp", name);
                if (set->Has(down ? UI_ON_MOUSE_DOWN : UI_ON_MOUSE_UP))
                    lua_man.CallLuaFunctionFFSI(L, down ? "OnMouseDown" : "OnMouseUp", (double)e.x, (double)e.y, name,
                                                id);
            }
            return 1;
        }
        case KD_EVENT_WHEEL:
            event_cursor = id;
            for (int i = 0; i < num_cursors; i++)
                if (TakesInput(cursor[i].focus)) cursor[i].focus->ProcessMouseWheel((float)e.wheel);
            return 1;
        case KD_EVENT_CHAR:
            for (int i = 0; i < num_cursors; i++)
                if (TakesInput(cursor[i].focus)) cursor[i].focus->ProcessChar(id);
            return 1;
        case KD_EVENT_POINTER_MOVE: return 1;
        default: return 0;
    }
}
