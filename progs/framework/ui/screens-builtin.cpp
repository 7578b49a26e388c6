// The transition, template and screen-browser screens. See
// screens-builtin.h.
#include "ui/screens-builtin.h"

#include <stdio.h>

#include <string>

#include "manager.h"
#include "ui/screen-listbox.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

// After the manager (screen-manager.cpp), in this order.
ScreenScreenBrowser screen_ScreenScreenBrowser;
ScreenTransition Screen_ScreenTransition;
TransitionNews transition_news;

// ---------------------------------------------------------------------------
// Transition.

bool ScreenTransition::PreLoad() {
    LoadUI("ui/fw/screen-transition.lua");
    return true;
}

void ScreenTransition::Enter() {
    if (!preloaded) {
        PreLoad();
        preloaded = true;
        Screen::total_num_screens_preloaded++;
    }
    anim_key = 0;
    frames_shown = 0;
    timer = 0;
}

void ScreenTransition::Draw(float dt) {
    DrawUI();
    if (trans >= 1.0f && !leaving) frames_shown++;
}

void ScreenTransition::Update(float dt) {
    if (!leaving) {
        if (frames_shown == 2) {
            // Fully covered: what was below goes at once, without a fade.
            push_depth = 1;
            int me = sman.GetScreenIndexInStack(this);
            for (int i = 0; i < me; i++) sman.PopScreen(sman.stack.data[i], false);
            me = sman.GetScreenIndexInStack(this);
            push_depth = sman.stack.count - me;
        } else if (frames_shown >= 3) {
            // News the target's event may show goes first; the target is
            // pushed once the news screen has gone. News that may not be
            // shown at this event holds nothing up.
            if (target && transition_news.Shown(std::string("Before_") + target->GetName())) {
            } else if (sman.TopScreen() == this) {
                sman.PushScreen(target, push_depth);
                leaving = true;
            } else {
                return;
            }
        }
    }
    anim_key += dt;
    if (anim_key >= 1.0f) anim_key -= 1.0f;
    timer += dt;
}

// ---------------------------------------------------------------------------
// Screens made by scripts.

bool ScreenTemplate::PreLoad() {
    if (!ui_file.IsEmpty()) LoadUI(ui_file.c_str());
    return true;
}

void ScreenTemplate::Enter() {
    anim_key = 0;
    timer = 0;
}

// ---------------------------------------------------------------------------
// Screen browser.

static const char* const kBrowserFile = "ui/fw/screen-browser.lua";

bool ScreenScreenBrowser::PreLoad() {
    if (Manager::GetParms()->developer_mode) {
        kd_file_t* f = kd->OpenFile(kBrowserFile, "rb");
        if (f) {
            kd->CloseFile(f);
            LoadUI(kBrowserFile);
        }
    }
    own_set = uiset;
    shown_index = 0;
    shown_screen = nullptr;
    return true;
}

void ScreenScreenBrowser::Show(int index) {
    int count = Screen::total_num_screens;
    if (count <= 0) return;
    if (index <= -1) index = count - 1;
    index %= count;
    Screen* s = Screen::GetScreenByIndex(index);
    if (!s || nStringsMatch(s->GetName(), GetName())) return;
    if (shown_screen) sman.DoScreenLeaveProcedure(shown_screen);
    shown_index = index;
    shown_screen = s;
    sman.DoScreenEnterProcedure(s);
    time_shown = 0;
    uiset = s == this ? own_set : s->uiset;
}

void ScreenScreenBrowser::Enter() {
    Show(Screen::GetScreenIndexByName(GetName()));
    UIComp* list = own_set ? own_set->GetComp("Screens") : nullptr;
    if (!list || list->type != UI_LISTBOX) return;
    UIListboxClear(list);
    for (int i = 0;; i++) {
        Screen* s = Screen::GetScreenByIndex(i);
        if (!s) break;
        UIListboxAddLine(list, kd->GetBitmap("!NONE"), s->GetName(), s->GetName());
    }
}

int ScreenScreenBrowser::ProcessEvent(kd_event_t* e) {
    if (!e || e->type != KD_EVENT_KEY_DOWN) return 1;
    int index = shown_index;
    switch ((int)e->id) {
        case 27: index = Screen::GetScreenIndexByName(GetName()); break;
        case 'A':
        case 107: index++; break;
        case 'Z':
        case 109: index--; break;
        default: return 1;
    }
    Show(index);
    return 1;
}

int ScreenScreenBrowser::ProcessUICompClick(UIComp* comp, int) {
    if (!comp || !nStringsMatch(comp->name, "Edit") || !own_set) return 1;
    UIComp* list = own_set->GetComp("Screens");
    if (!list || list->type != UI_LISTBOX) return 1;
    nString id = UIListboxSelectedId(list, own_set->L);
    int index = Screen::GetScreenIndexByName(id.c_str());
    if (index >= 0) Show(index);
    return 1;
}

void ScreenScreenBrowser::Draw(float dt) {
    kd->ClearScreen(1, 1, 1);
    kd->SetAlpha(1);
    kd->SetColor(0.8f, 0.8f, 0.8f);
    for (int v = 0; v < sman.virtual_height; v += 16)
        for (int u = 0; u < sman.virtual_width; u += 16)
            if ((u / 16 + v / 16) & 1) kd->DrawRect(sman.virtual_x + (float)u, sman.virtual_y + (float)v, 16, 16);
    kd->SetColor(1, 1, 1);
    Screen* drawn = shown_screen && shown_screen != this ? shown_screen : this;
    if (shown_screen && shown_screen->uiset) {
        // Browsed at rest: full alpha and no animated offsets.
        UISet* set = shown_screen->uiset;
        for (int i = 0; i < set->comps.count; i++) {
            UIComp* c = set->comps[i];
            if (!c) continue;
            c->alpha = 1.0f;
            c->position_offset.x = c->position_offset.y = 0;
        }
    }
    drawn->DrawUI();
    if (!shown_screen || !shown_screen->uiset) return;
    float a = 1 - 2 * (time_shown - 1);
    a = a < 0 ? 0 : a > 1 ? 1 : a;
    kd_font_t* font = sman.default_font ? sman.default_font : kd->GetFont("core/console.sft");
    if (!font) return;
    kd_parms_t* parms = Manager::GetParms();
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(a);
    kd->DrawRect(0, 3, (float)parms->width, (float)font->line_height + 2);
    kd->SetColor(1, 1, 1);
    kd->SetTextAlign(8);
    kd->DrawTextf(font, (float)parms->width / 2, 4, "%d/%d: %s (%s)", shown_index, Screen::total_num_screens,
                  shown_screen->GetName(), shown_screen->uiset->file.c_str());
    kd->SetTextAlign(0);
    kd->SetAlpha(1);
}
