// Screens, their registry and UI sets. See screen.h.
#include "ui/screen.h"

#include <math.h>
#include <stdio.h>

#include "luaman.h"
#include "ui/screen-manager.h"
#include "ui/ui-button.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"
#include "ui/ui-image.h"
#include "ui/ui-layout.h"
#include "ui/ui-textbox.h"

Screen* Screen::root_screen = nullptr;
int Screen::total_num_screens = 0;
std::atomic<int> Screen::total_num_screens_preloaded{0};

const char* const ui_set_handler_names[UI_NUM_SET_HANDLERS] = {
    "OnMouseDown", "OnMouseUp", "OnKeyDown", "OnKeyUp", "OnCursorEnter",
    "OnDrawComp",  "OnEnter",   "OnLeave",   "OnUpdate", "OnDraw"};

// ---------------------------------------------------------------------------
// Construction and the registry ring.

Screen::Screen() {
    char text[32];
    snprintf(text, sizeof text, "Scr%X", (unsigned)(uintptr_t)this);
    name.Set(text);
    Register();
}

Screen::Screen(const char* screen_name) : Screen() { SetName(screen_name); }

Screen::~Screen() {
    if (ScreenMan::Alive()) sman.ForgetScreen(this);
    Unregister();
}

void Screen::Register() {
    if (!root_screen) {
        root_screen = this;
        next = this;
        total_num_screens = 1;
        return;
    }
    for (Screen* s = root_screen;; s = s->next) {
        if (s == this) return;
        if (s->next == root_screen) break;
    }
    next = root_screen->next;
    root_screen->next = this;
    total_num_screens++;
}

void Screen::Unregister() {
    if (!root_screen) return;
    Screen* prev = root_screen;
    while (prev->next != this) {
        prev = prev->next;
        if (prev == root_screen) return;  // not in the ring
    }
    if (preloaded) total_num_screens_preloaded--;
    total_num_screens--;
    if (this == root_screen) {
        root_screen = next == this ? nullptr : next;
    }
    if (root_screen) prev->next = next;
    next = nullptr;
}

void Screen::SetName(const char* text) { name.Set(text ? text : ""); }

Screen* Screen::PeekScreen(const char* screen_name) {
    if (!screen_name || !root_screen) return nullptr;
    Screen* s = root_screen;
    do {
        if (nStringsMatch(s->name.c_str(), screen_name)) return s;
        s = s->next;
    } while (s != root_screen);
    return nullptr;
}

Screen* Screen::GetScreen(const char* screen_name) {
    if (!screen_name) return nullptr;
    Screen* s = PeekScreen(screen_name);
    if (!s) kd->Popupf(1, "Screen::GetScreen ('%s') -- screen not found!\n", screen_name);
    return s;
}

int Screen::GetScreenIndexByName(const char* screen_name) {
    if (!screen_name || !root_screen) return -1;
    int i = 0;
    Screen* s = root_screen;
    do {
        if (nStringsMatch(s->name.c_str(), screen_name)) return i;
        s = s->next;
        i++;
    } while (s != root_screen);
    return -1;
}

Screen* Screen::GetScreenByIndex(int index) {
    if (index < 0 || !root_screen) return nullptr;
    Screen* s = root_screen;
    for (int i = 0; i < index; i++) {
        s = s->next;
        if (s == root_screen) return nullptr;
    }
    return s;
}

std::recursive_mutex& Screen::PreloadLock() {
    static std::recursive_mutex lock;
    return lock;
}

void Screen::PreLoadScreen(Screen* s, bool with_scripts) {
    if (!s || s->preloaded) return;
    kd->Printf("..Preloading Screen '%s'..\n", s->GetName());
    bool ok = s->PreLoad();
    UISet* set = s->uiset;
    if (ok && set && with_scripts) {
        // Called whatever the events file defines: the Lua manager reports
        // a script without OnLoad.
        if (set->L) lua_man.CallLuaFunction(set->L, "OnLoad");
        for (int i = 0; i < set->comps.count; i++) {
            UIComp* c = set->comps[i];
            const char* script = c ? c->GetHandler(UI_HANDLER_ON_LOAD) : nullptr;
            if (script && *script && set->L) lua_man.ExecLuaFile(set->L, script);
        }
    }
    s->preloaded = true;
    total_num_screens_preloaded++;
}

bool Screen::PreLoadAllScreens(bool one_only) {
    if (root_screen) {
        Screen* s = root_screen;
        do {
            Screen* after = s->next;
            if (!s->preloaded) {
                PreLoadScreen(s, true);
                if (one_only) break;
            }
            s = after;
        } while (s != root_screen && root_screen);
    }
    // Done when nothing is left, whichever screen went last: a screen
    // preloaded out of turn (the loading screen itself) must not keep the
    // flag from ever being set.
    bool all = true;
    if (root_screen) {
        Screen* s = root_screen;
        do {
            if (!s->preloaded) all = false;
            s = s->next;
        } while (s != root_screen);
    }
    sman.all_screens_preloaded = all;
    return all;
}

void Screen::UnloadAllScreens() {
    kd->Printf("Unloading all screens..\n");
    if (!root_screen) return;
    Screen* s = root_screen;
    do {
        kd->Printf("..Screen '%s'..\n", s->GetName());
        s->Unload();
        s = s->next;
    } while (s != root_screen);
}

// ---------------------------------------------------------------------------
// Per screen.

void Screen::Update(float dt) {
    anim_key += dt;
    if (anim_key >= 1.0f) anim_key -= 1.0f;
    timer += dt;
}

bool Screen::LoadUI(const char* file) {
    sman.GetUISetForScreen(file, this);
    return uiset != nullptr;
}

void Screen::DrawUI() {
    UISet* set = uiset;
    if (set) {
        bool everything = sman.draw_everything;
        for (int i = 0; i < set->comps.count; i++) {
            UIComp* c = set->comps[i];
            if (!c || !c->IsVisible()) continue;
            c->UpdateDimensions();
            if (everything || c->type == UI_EMITTER || c->IsInView()) c->Draw();
            if (c->custom_draw) {
                DrawUIComp(c);
                // Not the script of a set the screen only shows (the browser).
                if (set->Has(UI_ON_DRAW_COMP) && set->L && set == ScreenMan::OwnSet(this))
                    lua_man.CallLuaFunctionS(set->L, "OnDrawComp", c->name);
            }
        }
    }
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

UIComp* Screen::GetComp(const char* comp_name) { return uiset ? uiset->GetComp(comp_name) : nullptr; }

UIComp* Screen::GetCompOfType(const char* comp_name, int type, const char* op, const char* message) {
    UIComp* c = GetComp(comp_name);
    if (!c || c->type == type) return c;
    if (message)
        kd->Popupf(1, message, comp_name, UIComp::GetCompTypeString(c->type));
    else
        kd->Popupf(1, "%s: component '%s' type is %s, not %s\n", op, comp_name, UIComp::GetCompTypeString(c->type),
                   type == UI_BUTTON ? "BUTTON" : "EDITBOX");
    return nullptr;
}

UICompButton* Screen::GetCompButton(const char* n) {
    return static_cast<UICompButton*>(GetCompOfType(n, UI_BUTTON, "GetCompButton", nullptr));
}
UICompEditbox* Screen::GetCompEditbox(const char* n) {
    return static_cast<UICompEditbox*>(GetCompOfType(n, UI_EDITBOX, "GetCompEditbox", nullptr));
}
UIComp* Screen::GetCompMarker(const char* n) {
    return GetCompOfType(n, UI_MARKER, nullptr, "GetCompMarker: component '%s' type is %s, not MARKER\n");
}
UICompTextbox* Screen::GetCompTextbox(const char* n) {
    return static_cast<UICompTextbox*>(
        GetCompOfType(n, UI_TEXTBOX, nullptr, "GetCompTextbox: component '%s' type is %s, not TEXTBOX\n"));
}
UICompImage* Screen::GetCompImage(const char* n) {
    UIComp* c = GetComp(n);
    if (!c || c->type == UI_IMAGE) return static_cast<UICompImage*>(c);
    kd->Popupf(1, "GetCompImage: component '%s' type is not IMAGE\n", n);
    return nullptr;
}

void Screen::SlideTimeDeltaMultiplierValue(float target, float duration) {
    tdm_start = time_delta_multiplier;
    tdm_phase = 0;
    tdm_target = target;
    tdm_rate = duration > 0 ? 1.0f / duration : 1e30f;
}

// Eases in and out: 1 - cos(sin(p * pi/2) * pi/2).
float UIEase(float p) { return 1.0f - cosf(sinf(p * (float)M_PI_2) * (float)M_PI_2); }

void Screen::UpdateTimeDeltaMultiplierChange(float dt) {
    if (tdm_phase >= 1.0f) return;
    tdm_phase += dt * tdm_rate;
    if (tdm_phase >= 1.0f) {
        tdm_phase = 1.0f;
        time_delta_multiplier = tdm_target;
        return;
    }
    float w = UIEase(tdm_phase);
    time_delta_multiplier = tdm_target * w + tdm_start * (1 - w);
}

// ---------------------------------------------------------------------------
// UI sets.

UISet::UISet(const char* file_name, Screen* owner_screen) : file(file_name ? file_name : ""), owner(owner_screen) {
    L = lua_man.OpenLuaState(0);
    if (L) LuaManager::SetLuaStateUserData(L, this);
}

UISet::~UISet() {
    if (L) lua_man.CloseLuaState(L);
    if (sman.current_set == this) sman.current_set = nullptr;
}

void UISet::ReadHandlerFlags() {
    for (int h = 0; h < UI_NUM_SET_HANDLERS; h++)
        handlers[h] = L && lua_man.DoesLuaFunctionExist(L, ui_set_handler_names[h]);
}

void UISet::ApplyCacheModeOnEnter() {
    if (cache_applied) return;
    for (int i = 0; i < comps.count; i++) {
        UIComp* c = comps[i];
        if (!c || !c->features_enabled) continue;
        if (c->cache_mode != UI_CACHE_LOAD_ON_ENTER && c->cache_mode != UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE)
            continue;
        // A component loaded on enter and kept on leave takes its bitmaps
        // once: taking them again on every visit would count references
        // that nothing releases.
        if (c->bitmaps_held) continue;
        c->ApplyCacheMode(UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE);
        c->bitmaps_held = true;
        sman.ResetNextFrameTimeDelta();
    }
    for (int i = 0; i < comps.count; i++)
        if (comps[i]) comps[i]->UpdateDimensions();
    cache_applied = true;
}

void UISet::ApplyCacheModeOnLeave() {
    if (!cache_applied) return;
    for (int i = 0; i < comps.count; i++) {
        UIComp* c = comps[i];
        if (!c || !c->features_enabled || !c->bitmaps_held) continue;
        if (c->cache_mode != UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE) continue;
        c->ApplyCacheMode(UI_CACHE_IGNORE_LOADING);
        c->bitmaps_held = false;
    }
    cache_applied = false;
}

bool UISet::ExportLua(const char* file_name) { return UILayoutExportAs(this, file_name); }
