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

int ScreenScreenBrowser::Wrap(int index) const {
    const int count = Screen::total_num_screens;
    if (count <= 0) return 0;
    if (index <= -1) index = count - 1;
    return index % count;
}

// The browser shows a screen's layout for the editor and nothing else: it
// runs none of the screen's own code for entering or leaving (a won
// level's screen saves the player's place and submits the score on
// entering, the game's screen frees its level on leaving), so browsing
// changes no player data, no running level and no screen in the stack.
// A screen nobody has entered is lent only the bitmaps its layout loads on
// entering, given back when the browser moves on.
void ScreenScreenBrowser::Show(int index) {
    if (Screen::total_num_screens <= 0) return;
    index = Wrap(index);
    Screen* s = Screen::GetScreenByIndex(index);
    if (!s) return;
    GiveBackBitmaps();
    shown_index = index;
    shown_screen = s == this ? nullptr : s;
    time_shown = 0;
    UISet* set = Shown();
    kd->Printf("Screen browser shows '%s'.\n", s->GetName());
    if (shown_screen && set && !set->cache_applied) {
        set->ApplyCacheModeOnEnter();
        lent_bitmaps = true;
    }
}

UISet* ScreenScreenBrowser::Shown() {
    // The shown screen's set of the moment: a reload gives the screen a new
    // one, and the editor must change and save the set that is drawn.
    uiset = shown_screen ? shown_screen->uiset : own_set;
    return uiset;
}

void ScreenScreenBrowser::GiveBackBitmaps() {
    // A screen entered meanwhile holds them for itself until it leaves.
    if (lent_bitmaps && shown_screen && !shown_screen->entered && shown_screen->uiset)
        shown_screen->uiset->ApplyCacheModeOnLeave();
    lent_bitmaps = false;
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

void ScreenScreenBrowser::Leave() {
    // The manager's leave procedure goes on with the browser's own set.
    GiveBackBitmaps();
    shown_screen = nullptr;
    Shown();
}

int ScreenScreenBrowser::ProcessEvent(kd_event_t* e) {
    if (!e || e->type != KD_EVENT_KEY_DOWN) return 1;
    const int own = Screen::GetScreenIndexByName(GetName());
    int step = 0;
    switch ((int)e->id) {
        case KD_KEY_ESCAPE: Show(own); return 1;
        case 'A':
        case KD_KEY_PAD_PLUS: step = 1; break;
        case 'Z':
        case KD_KEY_PAD_MINUS: step = -1; break;
        default: return 1;
    }
    // Stepping passes over the browser's own place in the registry.
    int index = Wrap(shown_index + step);
    if (index == own) index = Wrap(index + step);
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
    // The set the editor changes and saves is the one drawn.
    UISet* set = Shown();
    if (shown_screen && set) {
        // Browsed at rest, as when fully in: full alpha, no animated
        // offsets, faded in (unless fading out). The picture is not
        // updated: nothing else would bring it there.
        for (int i = 0; i < set->comps.count; i++) {
            UIComp* c = set->comps[i];
            if (!c) continue;
            c->alpha = 1.0f;
            c->position_offset.x = c->position_offset.y = 0;
            c->fading_akey = c->fading ? 0.0f : 1.0f;
        }
    }
    DrawUI();
    if (!shown_screen || !set) return;
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
                  shown_screen->GetName(), set->file.c_str());
    kd->SetTextAlign(0);
    kd->SetAlpha(1);
}
