// The UI editor: the screen manager's edit-mode command handler, its
// right-click menu and the tool tip. See screen-editor.h.
#include "ui/screen-editor.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "luaman.h"
#include "particle-effects.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/ui-button.h"
#include "ui/ui-checkbox.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"
#include "ui/ui-emitter.h"
#include "ui/ui-image.h"
#include "ui/ui-listbox.h"
#include "ui/ui-model.h"
#include "ui/ui-textbox.h"

PopMenuEdit ui_edit_menu;

namespace {

// The menu's text is read over any screen: the console's small font was
// hard to make out there, the lists' medium one is not.
kd_font_t* MenuFont() { return kd->GetFont("fonts/medium.sft"); }
bool Held(int key) { return kd->GetKeyStatei(key) != 0; }
// The numeric pad's 1 to 9: the alignments, laid out as the keys are.
bool AlignKey(int key) { return key > KD_KEY_PAD_0 && key <= KD_KEY_PAD_0 + 9; }
bool Real(const UIComp* c) { return c && c != &comp_null; }
float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// A prompt's answer as the platform gives it; null when cancelled. The
// time spent in the dialog stays out of the next frame.
const char* Ask(const char* command, const char* default_text) {
    sman.ResetNextFrameTimeDelta();
    return kd->CallExtension(command, default_text ? default_text : "");
}

// The text a component shows, for the text prompt's default.
const char* CompText(UIComp* c) {
    if (c->type == UI_CHECKBOX) return ((UICompCheckbox*)c)->text;
    if (c->type == UI_TEXTBOX) return ((UICompTextbox*)c)->text;
    if (c->type == UI_BUTTON) return ((UICompButton*)c)->text;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// The menu.

void PopMenu::AddItem(int kind, const char* id, const char* label) {
    items.InsertLast(Item{kind, nStringDuplicate(id ? id : ""), nStringDuplicate(label ? label : "")});
    UpdateSize();
}

bool PopMenu::RemoveItem(const char* id) {
    for (int i = 0; i < items.count; i++) {
        if (strcmp(items[i].id, id ? id : "") != 0) continue;
        free(items[i].id);
        free(items[i].label);
        items.RemoveIndex(i);
        UpdateSize();
        return true;
    }
    return false;
}

void PopMenu::Reset() {
    for (int i = 0; i < items.count; i++) free(items[i].id), free(items[i].label);
    items.Free();
    UpdateSize();
}

void PopMenu::UpdateSize() {
    kd_font_t* font = kd ? MenuFont() : nullptr;
    text_width = 0;
    for (int i = 0; font && i < items.count; i++) {
        float w = kd->GetTextWidthf(font, "%s", items[i].label);
        if (w > text_width) text_width = w;
    }
}

void PopMenu::SetPos(vec2_t p) {
    pos = pos_set = p;
    phase = 1.0f;
    Update(0);
}

void PopMenu::Update(float dt) {
    phase = Clamp01(phase + (visible ? 4 : -7) * dt);
    kd_font_t* font = MenuFont();
    const float fh = font ? kd->GetTextHeightf(font, "A") : 0;
    row_height = fh * phase;
    bg_width = (2 * margin + text_width) * phase;
    bg_height = (2 * margin + fh * items.count) * phase;
}

int PopMenu::GetItemAtPoint(vec2_t p) const {
    if (!visible) return -1;
    if (p.x < pos.x + margin || p.x >= pos.x + margin + text_width) return -1;
    for (int i = 0; i < items.count; i++) {
        const float top = pos.y + margin + i * row_height;
        if (p.y >= top && p.y < top + row_height) return i;
    }
    return -1;
}

void PopMenu::Draw() {
    kd_font_t* font = MenuFont();
    if (!font || phase <= 0) return;
    kd->SetColor(0, 0, 0);
    // All but opaque: the screen's own pictures would show through the text.
    kd->SetAlpha(Clamp01(2 * phase) * 0.9f);
    kd->DrawRect(pos.x, pos.y, bg_width, bg_height);
    kd->SetTextTransform(phase, phase, 0);
    kd->SetAlpha(Clamp01(phase));
    kd->SetTextAlign(0);
    const int under = GetItemAtPoint(mpos);
    for (int i = 0; i < items.count; i++) {
        if (items[i].kind == 0)
            kd->SetColor(1, 1, 1);
        else if (i == under)
            kd->SetColor(1, 0.5f, 0.3f);
        else
            kd->SetColor(0.6f, 0.6f, 0.6f);
        kd->DrawTextf(font, pos.x + margin, pos.y + margin + i * row_height, "%s", items[i].label);
    }
    kd->SetTextTransform(1, 1, 0);
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
}

bool PopMenu::ProcessEvent(const kd_event_t& e) {
    if (e.type != KD_EVENT_BUTTON_DOWN || e.button != KD_KEY_MOUSE_BUTTON_0) return false;
    const int i = GetItemAtPoint(vec2_t{(float)e.x, (float)e.y});
    if (i < 0) {
        visible = false;
    } else {
        // The handler may change the items: the id is copied first.
        nString id(items[i].id);
        if (click_handler && click_handler(id.text))
            visible = false;
        else if (ProcessClick(id.text))
            visible = false;
    }
    sman.ResetNextFrameTimeDelta();
    return true;
}

bool PopMenuEdit::ProcessClick(const char* id) {
    static const struct {
        const char* id;
        int key;
    } kCommands[] = {{"RELOAD_UI", 'L'}, {"SAVE_UI", 'S'},   {"BROWSE_BITMAP", 'B'}, {"ADD_NEW_COMP", 'A'},
                     {"EDIT_NAME", 'N'}, {"EDIT_TEXT", 'E'}, {"SET_PARENT", 'P'}};
    sman.ResetNextFrameTimeDelta();
    for (const auto& c : kCommands) {
        if (strcasecmp(id ? id : "", c.id) != 0) continue;
        kd_event_t key = {};
        key.type = KD_EVENT_KEY_DOWN;
        key.id = c.key;
        sman.ProcessEditModeEvent(&key);
        return true;
    }
    return false;
}

void ScreenMan::DrawEditMenu(float dt) {
    ui_edit_menu.Update(dt);
    ui_edit_menu.Draw();
}

// ---------------------------------------------------------------------------
// Helpers.

bool UIEditorDataName(const char* path, bool any_data_folder, nString* out) {
    if (!path) return false;
    nString p(path);
    for (char* c = p.text; *c; c++)
        if (*c == '\\') *c = '/';
    const char* at = strstr(p.text, any_data_folder ? "data" : "data/");
    if (!at) return false;
    const char* name = any_data_folder ? strchr(at, '/') : at + 5;
    if (!name) return false;
    out->Set(any_data_folder ? name + 1 : name);
    return true;
}

bool UIEditorIsSelfOrDescendant(const UIComp* candidate, const UIComp* comp) {
    // Bounded: a chain that loops already must not hang the editor.
    for (int depth = 0; candidate && depth < 256; depth++, candidate = candidate->parent)
        if (candidate == comp) return true;
    return false;
}

void UIEditorReparent(UIComp* comp, UIComp* new_parent) {
    const vec2_t before = comp->GetStaticPos();
    // The same rule as a script's: no loop, no chain deeper than 64.
    if (!UISetCompParent(comp, new_parent, comp->owner ? comp->owner->uiset : nullptr, nullptr)) return;
    const vec2_t after = comp->GetStaticPos();
    float w = 1, h = 1;
    if (comp->position_type == UI_POS_RELATIVE_TO_PARENT && new_parent) {
        w = new_parent->width, h = new_parent->height;
    } else if (comp->position_type != UI_POS_ABSOLUTE) {
        w = (float)ui_screen.virtual_width, h = (float)ui_screen.virtual_height;
    }
    if (w > 0) comp->position.x += (before.x - after.x) / w;
    if (h > 0) comp->position.y += (before.y - after.y) / h;
}

// ---------------------------------------------------------------------------
// Commands.

UISet* ScreenMan::EditedSet() const {
    Screen* top = TopScreen();
    UISet* set = top ? top->uiset : nullptr;
    return set && set->file.text && set->file.text[0] ? set : nullptr;
}

bool ScreenMan::Editable(const UIComp* comp) const {
    UISet* set = EditedSet();
    return Real(comp) && set && set->comps.Find(const_cast<UIComp*>(comp)) >= 0;
}

namespace {

// Forgets every pointer to a component that is going.
void ForgetComp(UIComp* c, UISet* set) {
    for (UICursor& cur : sman.cursor) {
        if (cur.over == c) cur.over = nullptr;
        if (cur.locked == c) cur.locked = nullptr;
        if (cur.focus == c) cur.focus = nullptr;
    }
    if (sman.edit_selection == c) sman.edit_selection = nullptr;
    if (sman.isolated_comp == c) sman.isolated_comp = nullptr;
    if (set && set->current == c) set->current = nullptr;
    // The screen browser shows other screens' sets: any screen may hold it.
    for (int i = 0; Screen* s = Screen::GetScreenByIndex(i); i++)
        if (s->default_comp == c) s->default_comp = nullptr;
}

// The bounds a script's CreateComp keeps, for the editor's components: a
// layout saved past them would lose components when it is read again.
bool Fits(UISet* set, const char* name, bool adding) {
    const int refusal = set->CompRefusal(strlen(name), adding);
    if (refusal == 1)
        kd->Popupf(1, "A component name may have at most %d characters; '%.40s...' is longer.\n",
                   (int)UISet::kMaxCompName, name);
    else if (refusal == 2)
        kd->Popupf(1, "%s has %d components, all a layout may have; none is added.\n", set->file.c_str(),
                   UISet::kMaxComps);
    return !refusal;
}

// Taken out of the set, not destroyed (the set keeps it until it goes).
void DeleteComp(UIComp* c, UISet* set) {
    kd->Printf("Deleting component '%s'..\n", c->name ? c->name : "");
    // Its children stay where they are on the screen, under its parent.
    for (int i = 0; i < set->comps.count; i++)
        if (set->comps[i] && set->comps[i]->parent == c) UIEditorReparent(set->comps[i], c->parent);
    set->Remove(c);
    sman.UnlockCursors();
    ForgetComp(c, set);
}

void AddComp(UISet* set) {
    if (!Fits(set, "", true)) return;
    const char* type = Ask("EditValue: New Component Type", "IMAGE");
    if (!type || UIComp::GetCompType(type) <= 0) return;
    kd->Printf("Got value '%s'\n", type);
    char name[32];
    for (int i = 1; i <= 256; i++) {
        snprintf(name, sizeof name, "untitled_%d", i);
        if (!set->GetComp(name)) break;
    }
    char script[256];
    snprintf(script, sizeof script, "CreateComp (\"%s\", \"%s\");SetProperty (\"position\", %g, %g); ", type, name,
             (double)mpos.x, (double)mpos.y);
    lua_man.ExecLuaString(set->L, script);
    UIComp* c = set->GetComp(name);
    if (!c) {
        kd->Popupf(1, "Creating component '%s' failed\n", name);
        return;
    }
    const int own = c->position_type;
    c->position_type = UI_POS_ABSOLUTE;
    c->ConvertPositionType(own);
    c->ApplyCacheMode(2);
}

void Browse(UIComp* c) {
    const bool image = c->type == UI_IMAGE, model = c->type == UI_MODEL, button = c->type == UI_BUTTON;
    if (!image && !model && !button) return;
    kd->Printf(image   ? "Browsing for component image..\n"
               : model ? "Browsing for component model..\n"
                       : "Browsing for button component image..\n");
    const char* path = Ask("OpenFileDialog", "All");
    if (!path) return;
    kd->Printf("Selected '%s'\n", path);
    nString name;
    if (!UIEditorDataName(path, !button, &name)) {
        if (button)
            kd->Popupf(1, "The file needs to be located under 'data/' directory.\nThis isn't: '%s'\n", path);
        else
            kd->Popupf(1, "The file needs to be located under 'data*' directory.\nFile you browsed was: '%s'\n", path);
        return;
    }
    if (image)
        ((UICompImage*)c)->bitmap = kd->LoadBitmap(name.text, 4);
    else if (model)
        ((UICompModel*)c)->SetModel(name.text);
    else
        ((UICompButton*)c)->bm_idle = kd->GetBitmap(name.text);
}

void BrowseFont(UIComp* c) {
    const int t = c->type;
    if (t != UI_BUTTON && t != UI_EDITBOX && t != UI_CHECKBOX && t != UI_LISTBOX && t != UI_EMITTER && t != UI_TEXTBOX)
        return;
    kd->Printf("Browsing for component font or fx..\n");
    const char* path = Ask("OpenFileDialog", "All");
    if (!path) return;
    kd->Printf("Selected '%s'\n", path);
    nString name;
    if (!UIEditorDataName(path, false, &name)) {
        kd->Popupf(1, "The file needs to be located under 'data/' directory.\nThis isn't: '%s'\n", path);
        return;
    }
    if (t == UI_BUTTON)
        ((UICompButton*)c)->SetFont(kd->GetFont(name.text));
    else if (t == UI_CHECKBOX)
        ((UICompCheckbox*)c)->SetFont(kd->GetFont(name.text));
    else if (t == UI_LISTBOX)
        ((UICompListbox*)c)->SetFont(kd->GetFont(name.text));
    else if (t == UI_EDITBOX)
        ((UICompEditbox*)c)->SetFont(kd->GetFont(name.text));
    else if (t == UI_EMITTER)
        ((UICompEmitter*)c)->SetFX(pbman.GetFX(name.text));
}

void Clone(UIComp* c, UISet* set) {
    char name[300];
    snprintf(name, sizeof name, "%s_clone", c->name ? c->name : "");
    if (!Fits(set, name, true)) return;
    kd->Printf("Cloning component '%s' -> '%s'.\n", c->name ? c->name : "", name);
    UIComp* copy = c->Clone(name);
    if (!copy) return;
    const float d = copy->position_type == UI_POS_ABSOLUTE ? 10.0f : 0.05f;
    copy->position.x += d;
    copy->position.y += d;
    set->Add(copy);
    sman.edit_selection = copy;
    copy->ApplyCacheMode(2);
}

void EditText(UIComp* c) {
    const int t = c->type;
    const char* reply = Ask("EditValue: Component Text", CompText(c));
    if (!reply) return;
    kd->Printf("Got value '%s'\n", reply);
    if (t == UI_CHECKBOX)
        ((UICompCheckbox*)c)->SetText("%s", reply);
    else if (t == UI_TEXTBOX)
        ((UICompTextbox*)c)->SetText("%s", reply);
    else if (t == UI_BUTTON)
        ((UICompButton*)c)->SetText("%s", reply);
}

void Inherit(UIComp* c) {
    const char* reply = Ask("EditValue: Inherit from component Name", c->template_comp ? c->template_comp->name : "");
    if (!reply || !*reply || *reply == ' ') return;
    UIComp* source = sman.GetCompTemplate(reply);
    if (!source) {
        kd->Popupf(1, "Component Template '%s' not found.\n", reply);
        return;
    }
    const bool cached = c->OwnerSetLoaded();
    if (cached) c->ApplyCacheMode(3);
    const UIVec3 position = c->position;
    const int align = c->align, position_type = c->position_type, scale_type = c->scale_type;
    const bool localize = c->localize;
    c->InheritFrom(source);
    c->position = position;
    c->align = align;
    c->position_type = position_type;
    c->scale_type = scale_type;
    c->localize = localize;
    if (cached) c->ApplyCacheMode(2);
}

// Scripts and clicks find components by name: an empty name or one that
// another component of its screen has is refused.
void Rename(UIComp* c, UISet* set) {
    const char* reply = Ask("EditValue: Component Name", c->name);
    if (!reply) return;
    if (!reply[strspn(reply, " ")]) {
        kd->Popupf(1, "Component '%s' keeps its name: a component needs a name.\n", c->name);
        return;
    }
    if (!Fits(set, reply, false)) return;
    UIComp* other = set->GetComp(reply);
    if (other && other != c) {
        kd->Popupf(1, "Component '%s' keeps its name: '%s' is already used in %s.\n", c->name, reply,
                   set->file.c_str());
        return;
    }
    free(c->name);
    c->name = nStringDuplicate(reply);
}

void SetParent(UIComp* c, UISet* set) {
    const char* reply = Ask("EditValue: Parent Name", c->parent ? c->parent->name : "");
    if (!reply) return;
    if (!*reply) {
        UIEditorReparent(c, nullptr);
        return;
    }
    UIComp* parent = *reply == ' ' ? nullptr : set->GetComp(reply);
    if (!parent) {
        kd->Popupf(1, "No component name '%s' found to parent %s/%s.\n", reply, set->file.c_str(), c->name);
        return;
    }
    // A parent inside its own subtree would make the chain a loop.
    if (UIEditorIsSelfOrDescendant(parent, c)) {
        kd->Popupf(1,
                   "Component '%s' cannot be the parent of '%s': it is the component itself or one of its "
                   "children.\n",
                   reply, c->name);
        return;
    }
    UIEditorReparent(c, parent);
}

// Tab and Z move through the set; SHIFT goes back. Nothing at either end.
int Neighbour(UISet* set, UIComp* c, bool back) {
    const int i = set->comps.Find(c);
    if (i < 0) return -1;
    const int j = back ? i - 1 : i + 1;
    return j >= 0 && j < set->comps.count ? j : -1;
}

void SelectNext(UISet* set, UIComp* c) {
    const bool back = Held(KD_KEY_SHIFT);
    kd->Printf("Component '%s'..\n", c->name ? c->name : "");
    kd->Printf(back ? "back.\n" : "front.\n");
    const int j = Neighbour(set, c, back);
    if (j < 0) return;
    sman.edit_selection = set->comps[j];
    sman.cursor[0].focus = sman.edit_selection;
}

void ChangeZ(UISet* set, UIComp* c) {
    const bool back = Held(KD_KEY_SHIFT);
    kd->Printf("Changing component '%s' Z order..\n", c->name ? c->name : "");
    kd->Printf("Z %d -> ", set->comps.Find(c));
    kd->Printf(back ? "back.\n" : "front.\n");
    const int i = set->comps.Find(c), j = Neighbour(set, c, back);
    if (j < 0) return;
    set->comps[i] = set->comps[j];
    set->comps[j] = c;
}

vec2_t ArrowStep(const UIComp* c) {
    if (c->position_type == UI_POS_ABSOLUTE) return vec2_t{1, 1};
    if (c->position_type == UI_POS_RELATIVE_TO_PARENT && c->parent && c->parent->width > 0 && c->parent->height > 0)
        return vec2_t{1 / c->parent->width, 1 / c->parent->height};
    return vec2_t{1.0f / ui_screen.virtual_width, 1.0f / ui_screen.virtual_height};
}

void Align(UIComp* c, UISet*, int key) {
    static const int kAlign[9] = {1, 8, 0, 5, 12, 4, 3, 10, 2};
    const int value = kAlign[key - KD_KEY_PAD_0 - 1];
    if (!Held(KD_KEY_CONTROL))
        c->align = value;
    else if (c->type == UI_TEXTBOX)
        ((UICompTextbox*)c)->text_align = value;
}

// The commands on the selection (a key's and what it does to the
// component, for the line that refuses it): each runs on a component of
// the top screen's set only, one check for all (EditModeSelectionKey).
// A click on a screen below (the one that opened the top screen) leaves
// its component selected, to be looked at.
using Command = void (*)(UIComp* c, UISet* set, int key);
enum { kAlignKeys = -1 };  // the numeric pad's 1 to 9
struct SelectionCommand {
    int key;
    const char* done;
    Command run;
};
const SelectionCommand kSelectionCommands[] = {
    {KD_KEY_TAB, "left for the next", [](UIComp* c, UISet* set, int) { SelectNext(set, c); }},
    {KD_KEY_LEFT, "moved", [](UIComp* c, UISet*, int) { c->position.x -= ArrowStep(c).x; }},
    {KD_KEY_UP, "moved", [](UIComp* c, UISet*, int) { c->position.y -= ArrowStep(c).y; }},
    {KD_KEY_RIGHT, "moved", [](UIComp* c, UISet*, int) { c->position.x += ArrowStep(c).x; }},
    {KD_KEY_DOWN, "moved", [](UIComp* c, UISet*, int) { c->position.y += ArrowStep(c).y; }},
    {KD_KEY_SPACE, "given its scale and angle back", [](UIComp* c, UISet*, int) { c->scale = 1.0f, c->angle = 0; }},
    {KD_KEY_DELETE, "deleted", [](UIComp* c, UISet* set, int) { DeleteComp(c, set); }},
    {'A', "joined by a new component", [](UIComp*, UISet* set, int) { AddComp(set); }},
    {'B', "given a bitmap", [](UIComp* c, UISet*, int) { Browse(c); }},
    {'C', "cloned", [](UIComp* c, UISet* set, int) { Clone(c, set); }},
    {'E', "given a text", [](UIComp* c, UISet*, int) { EditText(c); }},
    {'F', "given a font", [](UIComp* c, UISet*, int) { BrowseFont(c); }},
    {'I', "given a template", [](UIComp* c, UISet*, int) { Inherit(c); }},
    {'J', "given a cache mode",
     [](UIComp* c, UISet*, int) {
         c->cache_mode = c->cache_mode == UI_CACHE_PRELOAD ? UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE : UI_CACHE_PRELOAD;
     }},
    {'K', "localized", [](UIComp* c, UISet*, int) { c->localize = !c->localize; }},
    {'N', "renamed", [](UIComp* c, UISet* set, int) { Rename(c, set); }},
    {'P', "given a parent", [](UIComp* c, UISet* set, int) { SetParent(c, set); }},
    {'R', "given a position type",
     [](UIComp* c, UISet*, int) {
         c->ConvertPositionType(c->position_type == UI_POS_ABSOLUTE ? UI_POS_RELATIVE_TO_SCREEN : UI_POS_ABSOLUTE);
     }},
    {'W', "isolated",
     [](UIComp*, UISet*, int) {
         UIComp* focus = sman.cursor[0].focus;
         sman.isolated_comp = sman.isolated_comp ? nullptr : (Real(focus) ? focus : nullptr);
     }},
    {'Z', "moved in Z order", [](UIComp* c, UISet* set, int) { ChangeZ(set, c); }},
    {kAlignKeys, "aligned", Align},
};

}  // namespace

// The commands that need no selection: true when the key was one that
// ends the event (save), with *result set.
bool ScreenMan::EditModeGlobalKey(int key, int* result) {
    Screen* top = TopScreen();
    UISet* set = EditedSet();
    switch (key) {
        case 'L': {
            if (!set || nStringsMatch(top->GetName(), "ScreenBrowser")) break;
            // The set is rebuilt: the selection and the isolated component
            // of this set (none of a screen below) are found again by name
            // in the new one.
            nString selected(Editable(edit_selection) ? edit_selection->name : nullptr);
            nString isolated(Editable(isolated_comp) ? isolated_comp->name : nullptr);
            nString default_name(top->default_comp ? top->default_comp->name : nullptr);
            nString file(set->file.text);
            DoScreenLeaveProcedure(top);
            top->uiset = nullptr;
            retired_sets.InsertLast(set);
            UISet* fresh = GetUISetForScreen(file.text, top);
            // The game-pad cursor goes back to the screen's default
            // component: the new set's of that name, before any script runs.
            top->default_comp = default_name.text && fresh ? fresh->GetComp(default_name.text) : nullptr;
            if (fresh && fresh->L && lua_man.DoesLuaFunctionExist(fresh->L, "OnLoad"))
                lua_man.CallLuaFunction(fresh->L, "OnLoad");
            UnlockCursors();
            DoScreenEnterProcedure(top);
            top->trans = 1.0f;
            // The screens stand still in edit mode: the script's fades are
            // brought to the screen's full-in state once.
            if (fresh && fresh->L && fresh->Has(UI_ON_UPDATE)) lua_man.CallLuaFunctionN(fresh->L, "OnUpdate", 0);
            edit_selection = selected.text && fresh ? fresh->GetComp(selected.text) : nullptr;
            isolated_comp = isolated.text && fresh ? fresh->GetComp(isolated.text) : nullptr;
            break;
        }
        case 'O':
            PushScreen(&screen_ScreenScreenBrowser, 0);
            UnlockCursors();
            // Off as Ctrl+E turns it: the window goes back to the display's size.
            SwitchEditMode(false);
            break;
        case 'S':
            if (!set) break;
            set->ExportLua(set->file.text);
            UnlockCursors();
            *result = 1;
            return true;
        case 'F':
            centre_virtual_screen = !centre_virtual_screen;
            SetVirtualScreenDimensions(virtual_width, virtual_height);
            break;
        case KD_KEY_TAB:
            // With nothing selected (a selection left from a screen below
            // counts as none) Tab takes the first component, and no more.
            if (!set || !set->comps.count || Editable(edit_selection)) break;
            edit_selection = cursor[0].focus = set->comps[0];
            kd->Printf("Component '%s'..\n", edit_selection->name ? edit_selection->name : "");
            return true;
        default: break;
    }
    return false;
}

void ScreenMan::EditModeSelectionKey(int key) {
    const int row = AlignKey(key) ? (int)kAlignKeys : key;
    for (const SelectionCommand& command : kSelectionCommands) {
        if (command.key != row) continue;
        // The one check: a command changes only a component of the top set.
        UIComp* c = edit_selection;
        if (!Editable(c)) {
            kd->Printf("Component '%s' is not on the top screen (%s): not %s.\n", c->name ? c->name : "",
                       EditedSet() ? EditedSet()->file.c_str() : "no layout", command.done);
            return;
        }
        command.run(c, EditedSet(), key);
        return;
    }
}

int ScreenMan::ProcessEditModeEvent(kd_event_t* e) {
    const bool key_down = e->type == KD_EVENT_KEY_DOWN;
    const int key = key_down ? (int)e->id : 0;
    // With CONTROL held a key is the developer's switch (Ctrl+E, Ctrl+R),
    // not a command; only the numeric pad's alignment takes it.
    const bool command = key_down && (!Held(KD_KEY_CONTROL) || AlignKey(key));
    int result = 0;
    if (command && EditModeGlobalKey(key, &result)) return result;
    if (e->type == KD_EVENT_POINTER_MOVE || !edit_selection) return 0;
    if (ui_edit_menu.visible && ui_edit_menu.ProcessEvent(*e)) return 1;
    if (!Real(cursor[0].locked)) {
        if (e->type == KD_EVENT_BUTTON_DOWN && e->button == KD_KEY_MOUSE_BUTTON_1) {
            ui_edit_menu.Reset();
            ui_edit_menu.SetPos(vec2_t{(float)e->x, (float)e->y});
            ui_edit_menu.AddItem(1, "EDIT_NAME", "Edit name...");
            ui_edit_menu.AddItem(1, "EDIT_TEXT", "Edit text...");
            ui_edit_menu.AddItem(1, "SET_PARENT", "Set parent component...");
            ui_edit_menu.AddItem(1, "BROWSE_BITMAP", "Browse for bitmap...");
            ui_edit_menu.AddItem(0, "", "-");
            ui_edit_menu.AddItem(1, "ADD_NEW_COMP", "Add new component...");
            ui_edit_menu.SetVisible(true);
            kd->Printf("Edit menu opened at (%d, %d).\n", (int)e->x, (int)e->y);
        } else if (key == KD_KEY_ESCAPE && ui_edit_menu.visible) {
            ui_edit_menu.SetVisible(false);
            ResetNextFrameTimeDelta();
        }
    }
    if (command && edit_selection) EditModeSelectionKey(key);
    return 0;
}
