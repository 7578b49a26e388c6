// The screen manager's 52 script functions and the property paths by which
// scripts reach components and screens. Each function finds "its" UI set
// through the calling state's owner block, and through it the owner
// screen; the layout statements CreateComp, SetProperty and UIEvents are
// among them. Rules of every binding: lua-args.h.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "lua-args.h"
#include "manager.h"
#include "ui/screen-listbox.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/ui-comps.h"
#include "ui/ui-emitter.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"

// ---------------------------------------------------------------------------
// The list box, through the one place that knows its class.

#include "ui/ui-listbox.h"

static UICompListbox* Box(UIComp* c) { return dynamic_cast<UICompListbox*>(c); }

void UIListboxClear(UIComp* c) {
    if (UICompListbox* b = Box(c)) b->ClearLines();
}
void UIListboxAddLine(UIComp* c, kd_bitmap_t* bm, const char* text, const char* id) {
    UICompListbox* b = Box(c);
    if (!b) return;
    int i = b->AddLine(bm, "%s", text ? text : "");
    if (id) b->SetLineId(i, id);
}
void UIListboxSetLastLineTextRight(UIComp* c, const char* text) {
    if (UICompListbox* b = Box(c)) b->SetLineTextRight(b->GetNumberOfLines() - 1, "%s", text ? text : "");
}
void UIListboxSetLastLineBitmap(UIComp* c, kd_bitmap_t* bm) {
    if (UICompListbox* b = Box(c)) b->SetLineBitmap(b->GetNumberOfLines() - 1, bm);
}
void UIListboxScroll(UIComp* c, bool down) {
    if (UICompListbox* b = Box(c)) b->ScrollListbox(down);
}

nString UIListboxSelectedId(UIComp* c, lua_State* L) {
    nString id("");
    if (!c || !L) return id;
    int top = lua_gettop(L);
    int n = c->GetProperty("listbox.selected", L);
    int selected = n > 0 ? (int)lua_tointeger(L, -n) : -1;
    lua_settop(L, top);
    if (selected < 0) return id;
    char prop[64];
    snprintf(prop, sizeof prop, "listbox.line[%d].id", selected);
    n = c->GetProperty(prop, L);
    if (n > 0 && lua_isstring(L, -n)) id.Set(lua_tostring(L, -n));
    lua_settop(L, top);
    return id;
}

// ---------------------------------------------------------------------------
// The calling context and property paths.

namespace {

UISet* SetOf(lua_State* L) { return sman.GetStateUISet(L); }
Screen* OwnerOf(lua_State* L) {
    UISet* set = SetOf(L);
    return set ? set->owner : nullptr;
}

// What a path names: a component and its property, or a screen and its
// property.
struct Target {
    UIComp* comp = nullptr;
    Screen* screen = nullptr;
    char prop[256] = "";
};

void CopyProp(Target* t, const char* text) { snprintf(t->prop, sizeof t->prop, "%s", text ? text : ""); }

// comp:prop against `lookup`; without a ':', the calling set's current
// component.
bool ResolveCompColonProp(UISet* calling, UISet* lookup, const char* path, Target* t) {
    const char* colon = strchr(path, ':');
    if (!colon) {
        if (!calling || !calling->current) return false;
        t->comp = calling->current;
        CopyProp(t, path);
        return true;
    }
    size_t n = (size_t)(colon - path);
    if (n >= 256 || !lookup) return false;
    char comp_name[256];
    memcpy(comp_name, path, n);
    comp_name[n] = 0;
    t->comp = lookup->GetComp(comp_name);
    if (!t->comp) return false;
    CopyProp(t, colon + 1);
    return true;
}

}  // namespace

// Resolves a property path (see screen-manager.h): false when it names
// nothing.
static bool ResolveCompProperty(UISet* set, const char* path, Target* t) {
    if (!path) return false;
    if (path[0] == '/') {
        if (path[1] == ':') {
            t->screen = set ? set->owner : nullptr;
            CopyProp(t, path + 2);
            return t->screen != nullptr;
        }
        char head[256];
        snprintf(head, sizeof head, "%s", path + 1);
        char* cut = strchr(head, '/');
        if (!cut) cut = strchr(head, ':');
        if (!cut) {
            kd->Popupf(1, "ResolveCompProperty '%s' formatting is bad.\n", path);
            return false;
        }
        char kind = *cut;
        *cut = 0;
        Screen* s = Screen::GetScreen(head);
        if (!s) {
            kd->Popupf(1, "ResolveCompProperty '%s' Screen '%s' not found.\n", path, head);
            return false;
        }
        const char* rest = path + 1 + (cut - head) + 1;
        if (kind == ':') {
            t->screen = s;
            CopyProp(t, rest);
            return true;
        }
        return ResolveCompColonProp(set, s->uiset, rest, t);
    }
    UISet* lookup = set && set->owner && set->owner->uiset ? set->owner->uiset : set;
    return ResolveCompColonProp(set, lookup, path, t);
}

// The screen property a path names: the text after its first ':'.
static const char* ScreenPropName(const char* path) {
    const char* colon = strchr(path, ':');
    return colon ? colon + 1 : path;
}

static UIComp* CompOfKind(lua_State* L, const char* name, int type) {
    UISet* set = SetOf(L);
    UIComp* c = set && name ? set->GetComp(name) : nullptr;
    return c && c->type == type ? c : nullptr;
}

static UIComp* TopSetComp(const char* name) {
    UISet* set = ScreenMan::OwnSet(sman.TopScreen());
    return set && name ? set->GetComp(name) : nullptr;
}

// Pushes the names of a set's components, as many as the stack takes.
static int PushCompNames(lua_State* L, UISet* set) {
    if (!set) return 0;
    int n = 0;
    for (int i = 0; i < set->comps.count; i++) {
        if (!set->comps[i] || !lua_checkstack(L, 1)) continue;
        lua_pushstring(L, set->comps[i]->name ? set->comps[i]->name : "");
        n++;
    }
    return n;
}

void ScreenCreateScripted(const char* name, const char* ui_file) {
    if (!name) return;
    if (!ui_file) ui_file = "";
    // Each refusal is checked before anything is logged or looked up, and
    // said once: a script that asks without end meets the bound, not ever
    // slower calls and a full log.
    enum { kFull, kLong, kTaken, kFine };
    static bool reported[kFine];
    int why = Screen::total_num_screens >= kMaxScreens                                             ? kFull
              : strnlen(name, kMaxScreenName + 1) > kMaxScreenName || strnlen(ui_file, 512) >= 512 ? kLong
              : Screen::PeekScreen(name)                                                           ? kTaken
                                                                                                   : kFine;
    if (why == kFine) {
        kd->Printf("Creating Screen '%s' ('%s').\n", name, ui_file);
        new ScreenTemplate(name, ui_file);
        return;
    }
    if (!reported[why]) {
        if (why == kFull)
            kd->PrintDebugf(
                KD_LOG_WARNING,
                "CreateScreen '%.128s': the program has %d screens, all it may have; no more are created.\n", name,
                kMaxScreens);
        else if (why == kLong)
            kd->PrintDebugf(KD_LOG_WARNING,
                            "CreateScreen '%.128s': a name longer than %d characters or a layout name of 512 or more; "
                            "not created (and no more lines on this).\n",
                            name, (int)kMaxScreenName);
        else
            kd->PrintDebugf(KD_LOG_WARNING, "Screen with name '%s' already exists (no more lines on this).\n", name);
    }
    reported[why] = true;
}

// A line named by the script's file and line.
static nString TextAt(lua_State* L, const char* format, const char* detail) {
    nString where = UIScriptWhere(L);
    nString text;
    text.Format(format, detail ? detail : "");
    nString line;
    line.Format("%s%s%s\n", where.c_str(), where.IsEmpty() ? "" : ": ", text.c_str());
    return line;
}

// A layout author's slip: a popup.
static void WarnAt(lua_State* L, const char* format, const char* detail) {
    kd->Popupf(1, "%s", TextAt(L, format, detail).c_str());
}

// ---------------------------------------------------------------------------
// The functions, in registration order.

namespace {

int luaf_LoadUI(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* file = a.Text(1);
    Screen* owner = OwnerOf(L);
    if (file && owner) owner->LoadUI(file);
    return 0;
}

int luaf_UIEvents(lua_State* L) {
    UISet* set = SetOf(L);
    if (!set) return 0;
    if (lua_type(L, 1) != LUA_TSTRING) {
        WarnAt(L, "UIEvents: a file name (text) is expected; ignored.%s", nullptr);
        return 0;
    }
    const char* file = lua_tostring(L, 1);
    set->events_file.Set(file);
    lua_man.ExecLuaFile(L, file);
    set->ReadHandlerFlags();
    return 0;
}

int luaf_CreateScreen(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    const char* file = a.OptText(2);
    if (name) ScreenCreateScripted(name, file);
    return 0;
}

int luaf_IsIntervalElapsed(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, sman.IsIntervalElapsed(a.Float(1)));
}

// The list box functions: a component name, and a text for some; nothing
// without a list box of that name in this set.
int ListboxCall(lua_State* L, const char* fn, bool with_text, void (*op)(UIComp*, const char*)) {
    LuaArgs a(L, fn);
    const char* name = a.Text(1);
    const char* text = with_text ? a.Text(2) : "";
    UIComp* c = CompOfKind(L, name, UI_LISTBOX);
    if (c && text) op(c, text);
    return 0;
}

int luaf_ClearListbox(lua_State* L) {
    return ListboxCall(L, "ClearListbox", false, [](UIComp* c, const char*) { UIListboxClear(c); });
}
int luaf_AddListboxLine(lua_State* L) {
    return ListboxCall(L, "AddListboxLine", true,
                       [](UIComp* c, const char* t) { UIListboxAddLine(c, nullptr, t, nullptr); });
}
int luaf_SetListboxLineTextRight(lua_State* L) {
    return ListboxCall(L, "SetListboxLineTextRight", true, UIListboxSetLastLineTextRight);
}
// Loaded as a texture and counted once per bitmap however often a script
// names it: a line holds no reference that clearing it could give back,
// so a count taken per call would only grow.
int luaf_SetListboxLineBitmap(lua_State* L) {
    return ListboxCall(L, "SetListboxLineBitmap", true,
                       [](UIComp* c, const char* t) { UIListboxSetLastLineBitmap(c, kd->GetBitmapEx(t, 4)); });
}
int luaf_ScrollListboxUp(lua_State* L) {
    return ListboxCall(L, "ScrollListboxUp", false, [](UIComp* c, const char*) { UIListboxScroll(c, false); });
}
int luaf_ScrollListboxDown(lua_State* L) {
    return ListboxCall(L, "ScrollListboxDown", false, [](UIComp* c, const char*) { UIListboxScroll(c, true); });
}

// A name that is not an emitter (or no component) is skipped quietly, as
// the scripts' other calls on a component of the wrong kind are.
int luaf_SpawnEmitterFX(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    const char* fx = a.Text(2);
    float v[4];
    for (int i = 0; i < 4; i++) v[i] = (float)a.Number(3 + i);
    UIComp* c = CompOfKind(L, name, UI_EMITTER);
    if (c && fx) static_cast<UICompEmitter*>(c)->SpawnAt(fx, v[0], v[1], v[2], v[3]);
    return 0;
}

int luaf_ResetEmitter(lua_State* L) {
    LuaArgs a(L, __func__);
    if (UIComp* c = CompOfKind(L, a.Text(1), UI_EMITTER)) static_cast<UICompEmitter*>(c)->pool.ResetParts();
    return 0;
}

int luaf_CreateComp(lua_State* L) {
    UISet* set = SetOf(L);
    if (!set) return 0;
    if (lua_type(L, 1) != LUA_TSTRING || lua_type(L, 2) != LUA_TSTRING) {
        WarnAt(L, "CreateComp: a type and a name (texts) are expected; nothing created.%s", nullptr);
        return 0;
    }
    const char* type = lua_tostring(L, 1);
    size_t length = 0;
    const char* name = lua_tolstring(L, 2, &length);
    const int refusal = set->CompRefusal(length, true);
    if (refusal) {
        // Said once a set for each kind: a script that goes on would fill
        // the log. Properties set after it are dropped with it.
        if (!(set->comp_refusals & refusal)) {
            nString detail;
            detail.Format("%d", refusal == 1 ? (int)UISet::kMaxCompName : UISet::kMaxComps);
            nString line = TextAt(
                L,
                refusal == 1 ? "CreateComp: a name longer than %s characters; not created (nor any other such name)."
                             : "CreateComp: the layout has %s components, all it may have; no more are created.",
                detail.c_str());
            kd->PrintDebugf(KD_LOG_WARNING, "%s", line.c_str());
        }
        set->comp_refusals |= refusal;
        set->current = nullptr;
        return 0;
    }
    // A second component of a name is allowed: lookups by name find the
    // first.
    sman.current_set = set;
    UIComp* c = sman.GenerateComponent(type, name);
    set->current = c;
    set->Add(c);
    c->owner = set->owner;
    return 0;
}

int luaf_SetProperty(lua_State* L) {
    LuaArgs a(L, __func__);
    if (lua_type(L, 1) != LUA_TSTRING) {
        WarnAt(L, "SetProperty: the property name must be a text; ignored.%s", nullptr);
        return 0;
    }
    const char* path = lua_tostring(L, 1);
    UISet* set = SetOf(L);
    Target t;
    if (!ResolveCompProperty(set, path, &t)) {
        if (set && !set->current && !set->comp_refusals && path[0] != '/' && !strchr(path, ':'))
            WarnAt(L, "SetProperty: no component has been created yet; '%s' ignored.", path);
        return 0;
    }
    if (t.comp) {
        if (t.comp->SetProperty(t.prop, L) < 0) {
            nString detail;
            detail.Format("'%s' for '%s' (%s).", t.prop, t.comp->name ? t.comp->name : "",
                          UIComp::GetCompTypeString(t.comp->type));
            WarnAt(L, "SetProperty: Unknown Property %s", detail.c_str());
        }
        return 0;
    }
    Screen* s = t.screen;
    if (!s) return 0;
    const char* prop = ScreenPropName(path);
    if (!strcasecmp(prop, "default_comp")) {
        const char* name = a.Text(2);
        s->default_comp = s->uiset && name ? s->uiset->GetComp(name) : nullptr;
    } else if (!strcasecmp(prop, "enter_trans_duration")) {
        s->enter_speed = 1.0f / a.Float(2);
    } else if (!strcasecmp(prop, "leave_trans_duration")) {
        s->leave_speed = 1.0f / a.Float(2);
    } else if (!strcasecmp(prop, "covers_screen")) {
        s->covers_screen = a.Flag(2);
    } else if (!strcasecmp(prop, "trans")) {
        s->trans = a.Float(2);
    }
    return 0;
}

int luaf_GetProperty(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* path = a.Text(1);
    Target t;
    if (!path || !ResolveCompProperty(SetOf(L), path, &t)) return 0;
    if (t.comp) {
        int n = t.comp->GetProperty(t.prop, L);
        return n > 0 ? n : 0;
    }
    if (!t.screen) return 0;
    const char* prop = ScreenPropName(path);
    if (!strcasecmp(prop, "name")) return LuaReturnText(L, t.screen->GetName());
    if (!strcasecmp(prop, "trans")) return LuaReturnNumber(L, t.screen->trans);
    return 0;
}

int luaf_UICompEvent(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* event = a.Text(1);
    UISet* set = SetOf(L);
    if (!event || !set || !set->current) return 0;
    static const char* const names[UI_NUM_HANDLERS] = {"OnLoad", "OnClick", "OnEnter", "OnLeave", "OnDraw", "OnUpdate"};
    for (int i = 0; i < UI_NUM_HANDLERS; i++)
        if (!strcasecmp(event, names[i])) {
            set->current->SetHandler(i, event);
            break;
        }
    return 0;
}

int luaf_DoesCompExist(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    UISet* set = SetOf(L);
    return LuaReturnBool(L, set && name && set->GetComp(name));
}

int luaf_GetCompList(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* screen_name = a.OptText(1);
    if (a.Failed()) return 0;
    if (!screen_name) return PushCompNames(L, SetOf(L));
    Screen* s = Screen::GetScreen(screen_name);
    return s ? PushCompNames(L, s->uiset) : 0;
}

int luaf_SendScreenMessage(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* screen_name = a.Text(1);
    const char* message = a.OptText(2);
    const char* value = a.OptText(3);
    UISet* set = SetOf(L);
    if (!screen_name || !set) return 0;
    Screen* target = Screen::GetScreen(screen_name);
    if (!target) return 0;
    sman.SendScreenMessage(set->owner, target, message, value);
    return LuaReturnBool(L, true);
}

int luaf_GetComps(lua_State* L) { return PushCompNames(L, SetOf(L)); }

int luaf_GetActiveCompName(lua_State* L) {
    UISet* set = SetOf(L);
    if (!set) return 0;
    return LuaReturnText(L, set->current && set->current->name ? set->current->name : "");
}

int luaf_IsScreenLeaving(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* screen_name = a.OptText(1);
    if (screen_name) {
        Screen* s = Screen::PeekScreen(screen_name);
        return LuaReturnBool(L, s && s->leaving);
    }
    Screen* owner = OwnerOf(L);
    return LuaReturnBool(L, owner && owner->leaving);
}

int luaf_GetActiveScreenTransPhase(lua_State* L) {
    if (!SetOf(L)) return 0;
    Screen* owner = OwnerOf(L);
    return LuaReturnNumber(L, owner ? owner->trans : 0);
}

int luaf_GetScreenTransPhase(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* screen_name = a.Text(1);
    Screen* s = screen_name ? Screen::GetScreen(screen_name) : nullptr;
    return s ? LuaReturnNumber(L, s->trans) : 0;
}

int luaf_GetActiveScreenAnimKey(lua_State* L) {
    Screen* owner = OwnerOf(L);
    return LuaReturnNumber(L, owner ? owner->anim_key : 0);
}

int luaf_GetActiveScreenTimer(lua_State* L) {
    if (!SetOf(L)) return 0;
    Screen* owner = OwnerOf(L);
    return LuaReturnNumber(L, owner ? owner->timer : 0);
}

int luaf_GetScreenPosX(lua_State* L) { return LuaReturnInt(L, (int)sman.virtual_x); }
int luaf_GetScreenPosY(lua_State* L) { return LuaReturnInt(L, (int)sman.virtual_y); }
int luaf_GetScreenWidth(lua_State* L) { return LuaReturnInt(L, sman.virtual_width); }
int luaf_GetScreenHeight(lua_State* L) { return LuaReturnInt(L, sman.virtual_height); }
int luaf_GetScreenReferenceScale(lua_State* L) { return LuaReturnNumber(L, sman.scale_ref); }
int luaf_GetScreenReferenceScaleBasedOnWidth(lua_State* L) { return LuaReturnNumber(L, sman.scale_width); }
int luaf_GetScreenReferenceScaleBasedOnHeight(lua_State* L) { return LuaReturnNumber(L, sman.scale_height); }
int luaf_GetScreenReferenceWidth(lua_State* L) { return LuaReturnInt(L, sman.reference_width); }
int luaf_GetScreenReferenceHeight(lua_State* L) { return LuaReturnInt(L, sman.reference_height); }

int CursorQuery(lua_State* L, const char* fn, bool (ScreenMan::*query)(UIComp*) const) {
    LuaArgs a(L, fn);
    UIComp* c = TopSetComp(a.Text(1));
    return c ? LuaReturnBool(L, (sman.*query)(c)) : 0;
}
int luaf_IsCursorOver(lua_State* L) { return CursorQuery(L, "IsCursorOver", &ScreenMan::IsCursorOver); }
int luaf_IsCursorFocusOver(lua_State* L) {
    return CursorQuery(L, "IsCursorFocusOver", &ScreenMan::IsCursorFocusOver);
}
int luaf_IsCursorLockedTo(lua_State* L) { return CursorQuery(L, "IsCursorLockedTo", &ScreenMan::IsCursorLockedTo); }

int luaf_IsEditModeActive(lua_State* L) { return LuaReturnBool(L, sman.EditMode()); }

int luaf_SetUIFocus(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    UISet* set = SetOf(L);
    UIComp* c = set && name ? set->GetComp(name) : nullptr;
    if (c) sman.SetCursorFocus(c);
    return 0;
}

int luaf_KD_SetCursor(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* shape = a.Text(1);
    if (!shape) return 0;
    if (!strcasecmp(shape, "ARROW")) sman.cursor_shape = "ARROW";
    if (!strcasecmp(shape, "FINGER_POINT")) sman.cursor_shape = "FINGER_POINT";
    kd->SetCursor(shape);
    return 0;
}

int luaf_IsScreenInStack(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    return LuaReturnBool(L, name && sman.IsScreenInStack(name));
}

int luaf_IsTopScreen(lua_State* L) {
    Screen* top = sman.TopScreen();
    UISet* set = SetOf(L);
    // A screen the browser shows is not on top: the browser is.
    return LuaReturnBool(L, top && set && ScreenMan::OwnSet(top) == set);
}

int luaf_PeekScreen(lua_State* L) {
    LuaArgs a(L, __func__);
    Screen* s = sman.PeekScreen(a.Int(1));
    return s ? LuaReturnText(L, s->GetName()) : 0;
}

int luaf_GetNumberOfScreensInStack(lua_State* L) { return LuaReturnInt(L, sman.GetNumberOfScreensInStack()); }

int luaf_PushScreen(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    int depth = a.Has(2) && !lua_isnil(L, 2) ? a.Int(2) : 0;
    if (name) sman.PushScreen(name, depth);
    return 0;
}

int luaf_PopScreen(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.OptText(1);
    if (a.Failed()) return 0;
    if (name) {
        if (Screen* s = Screen::GetScreen(name)) sman.PopScreen(s, true);
        return 0;
    }
    UISet* set = SetOf(L);
    if (Screen* s = set ? sman.GetScreenFromStackWithUISet(set) : nullptr) sman.PopScreen(s, true);
    return 0;
}

int luaf_PopAllScreens(lua_State* L) {
    for (int i = 0; i < sman.stack.count; i++) sman.stack.data[i]->leaving = true;
    return 0;
}

int luaf_SwitchScreen(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (!name) return 0;
    kd->Printf("Switching screen to '%s'\n", name);
    Screen* s = Screen::PeekScreen(name);
    if (s)
        sman.StartScreenTransition(s);
    else
        kd->PrintDebugf(KD_LOG_WARNING, "Screen '%s' not found.\n", name);
    return 0;
}

int luaf_KodoReInit(lua_State* L) {
    kd->ReInit();
    kd_parms_t* parms = Manager::GetParms();
    sman.SetVirtualScreenDimensions(parms->width, parms->height);
    return 0;
}

int luaf_PrintAllScreens(lua_State* L) {
    for (int i = 0;; i++) {
        Screen* s = Screen::GetScreenByIndex(i);
        if (!s) break;
        kd->Printf("Screen #%d: '%s' (%s)\n", i + 1, s->GetName(), s->preloaded ? "Preloaded" : "Not Preloaded");
    }
    return 0;
}

int luaf_Screens(lua_State* L) {
    for (int i = 0; i < sman.stack.count; i++) kd->Printf("%d '%s'\n", i + 1, sman.stack.data[i]->GetName());
    return 0;
}

const LuaBinding kScreenBindings[] = {
    LUA_BINDING(LoadUI),
    LUA_BINDING(UIEvents),
    LUA_BINDING(CreateScreen),
    LUA_BINDING(IsIntervalElapsed),
    LUA_BINDING(ClearListbox),
    LUA_BINDING(AddListboxLine),
    LUA_BINDING(SetListboxLineTextRight),
    LUA_BINDING(SetListboxLineBitmap),
    LUA_BINDING(ScrollListboxUp),
    LUA_BINDING(ScrollListboxDown),
    LUA_BINDING(SpawnEmitterFX),
    LUA_BINDING(ResetEmitter),
    LUA_BINDING(CreateComp),
    LUA_BINDING(SetProperty),
    LUA_BINDING(GetProperty),
    LUA_BINDING(UICompEvent),
    LUA_BINDING(DoesCompExist),
    LUA_BINDING(GetCompList),
    LUA_BINDING(SendScreenMessage),
    LUA_BINDING(GetComps),
    LUA_BINDING(GetActiveCompName),
    LUA_BINDING(IsScreenLeaving),
    LUA_BINDING(GetActiveScreenTransPhase),
    LUA_BINDING(GetScreenTransPhase),
    LUA_BINDING(GetActiveScreenAnimKey),
    LUA_BINDING(GetActiveScreenTimer),
    LUA_BINDING(GetScreenPosX),
    LUA_BINDING(GetScreenPosY),
    LUA_BINDING(GetScreenWidth),
    LUA_BINDING(GetScreenHeight),
    LUA_BINDING(GetScreenReferenceScale),
    LUA_BINDING(GetScreenReferenceScaleBasedOnWidth),
    LUA_BINDING(GetScreenReferenceScaleBasedOnHeight),
    LUA_BINDING(GetScreenReferenceWidth),
    LUA_BINDING(GetScreenReferenceHeight),
    LUA_BINDING(IsCursorOver),
    LUA_BINDING(IsCursorFocusOver),
    LUA_BINDING(IsCursorLockedTo),
    LUA_BINDING(IsEditModeActive),
    LUA_BINDING(SetUIFocus),
    LUA_BINDING(KD_SetCursor),
    LUA_BINDING(IsScreenInStack),
    LUA_BINDING(IsTopScreen),
    LUA_BINDING(PeekScreen),
    LUA_BINDING(GetNumberOfScreensInStack),
    LUA_BINDING(PushScreen),
    LUA_BINDING(PopScreen),
    LUA_BINDING(PopAllScreens),
    LUA_BINDING(SwitchScreen),
    LUA_BINDING(KodoReInit),
    LUA_BINDING(PrintAllScreens),
    LUA_BINDING(Screens),
};
// Scripts in the data call these names: a row goes or comes on purpose only.
static_assert(std::size(kScreenBindings) == 52, "the screen manager's script functions");

// The statements of a layout file, the same functions.
const LuaBinding kLayoutBindings[] = {
    LUA_BINDING(CreateComp),
    LUA_BINDING(SetProperty),
    LUA_BINDING(UIEvents),
};

}  // namespace

void ScreenMan::RegisterLuaFunctions() {
    static bool registered = false;
    if (registered && lua_man.GetNumberOfFunctions() > 0) return;
    registered = true;
    lua_man.AddLuaFunctions(kScreenBindings);
}

void UILayoutRegisterFunctions(lua_State* L) { LuaManager::RegisterLuaFuncs(L, kLayoutBindings); }
