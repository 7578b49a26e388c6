// The scriptable component. See ui-scriptable.h.
#include "ui/ui-scriptable.h"

#include <stdlib.h>
#include <string.h>

#include "luaman.h"
#include "ui/screen-manager.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompScriptable::UICompScriptable() {
    type = UI_SCRIPTABLE;
    interactive = false;
}

UICompScriptable::~UICompScriptable() {
    CloseState();
    free(script);
    free(pending);
}

void UICompScriptable::CloseState() {
    if (L) lua_man.CloseLuaState(L);
    L = nullptr;
    memset(methods, 0, sizeof methods);
}

void UICompScriptable::Fail(const char* what) {
    const char* msg = L ? lua_tostring(L, -1) : nullptr;
    kd->PrintDebugf(KD_LOG_WARNING, "UICompScriptable '%s': %s: %s; the component stops.\n", name ? name : "", what,
                    msg ? msg : "(no message)");
    CloseState();
}

bool UICompScriptable::RunFile() {
    kd_file_t* f = kd->OpenFile(script, "rb");
    if (!f) {
        kd->PrintDebugf(KD_LOG_WARNING, "UICompScriptable '%s': script file '%s' not found; the component stops.\n",
                        name ? name : "", script);
        CloseState();
        return false;
    }
    nString text("");
    char block[4096];
    for (unsigned int got; (got = kd->fread(block, 1, sizeof block - 1, f)) > 0;) {
        block[got] = 0;
        // A zero byte inside a script ends its text; Lua would refuse it anyway.
        text.Append(block);
    }
    kd->CloseFile(f);
    nString chunk("@");
    chunk.Append(script);
    if (LuaLoadText(L, text.c_str(), (size_t)text.Length(), chunk.c_str()) != 0) {
        Fail("error compiling");
        return false;
    }
    if (LuaManager::PCall(L, 0, 0) != 0) {
        Fail("error running");
        return false;
    }
    return true;
}

template <class Push>
struct ScriptableCall {
    const char* fn;
    int nargs;
    Push* push;
    // The lookup and the pushes run inside the protected call: either may
    // raise (a metamethod of the globals, an allocation).
    static int Inside(lua_State* S) {
        ScriptableCall* c = (ScriptableCall*)lua_touserdata(S, 1);
        lua_getglobal(S, c->fn);
        (*c->push)(S);
        lua_call(S, c->nargs, 0);
        return 0;
    }
};

template <class Push> bool UICompScriptable::Call(const char* fn, int nargs, Push push) {
    if (!L) return false;
    ScriptableCall<Push> call = {fn, nargs, &push};
    running++;
    bool ok = LuaManager::CPCall(L, ScriptableCall<Push>::Inside, &call) == 0;
    running--;
    if (!ok) {
        nString what("error in ");
        what.Append(fn);
        Fail(what.c_str());
    }
    // A script that named a new script for its own component: the state it
    // ran in could not be closed under it, so the change happens now.
    if (!running && pending) {
        char* next = pending;
        pending = nullptr;
        SetScript(next);
        free(next);
    }
    return ok;
}

void UICompScriptable::SetScript(const char* file) {
    if (running) {
        free(pending);
        pending = nStringDuplicate(file ? file : "");
        return;
    }
    char* copy = nStringDuplicate(file ? file : "");
    free(script);
    script = copy;
    CloseState();
    if (!*script) return;
    L = lua_man.OpenLuaState(0);
    if (!L) return;
    LuaManager::SetLuaStateUserData(L, owner_set);
    if (!RunFile()) return;
    static const char* const names[NUM_METHODS] = {nullptr,    "OnCreate", "OnDelete", "OnClick",
                                                   "OnKeyPress", "OnUpdate", "OnDraw"};
    for (int m = ON_CREATE; m < NUM_METHODS; m++) methods[m] = lua_man.DoesLuaFunctionExist(L, names[m]);
    if (methods[ON_CREATE]) Call("OnCreate", 0, [](lua_State*) {});
}

void UICompScriptable::Update(float dt) {
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    if (IsMethodImplemented(ON_UPDATE)) Call("OnUpdate", 1, [dt](lua_State* S) { lua_pushnumber(S, dt); });
}

void UICompScriptable::Draw() {
    UIDrawSetup(this, GetStaticAlpha());
    if (!IsMethodImplemented(ON_DRAW)) return;
    vec2_t p = GetAlignedPos();
    Call("OnDraw", 2, [p](lua_State* S) {
        lua_pushnumber(S, p.x);
        lua_pushnumber(S, p.y);
    });
}

int UICompScriptable::ProcessClick() {
    if (!IsMethodImplemented(ON_CLICK)) return 1;
    UISet* set = owner_set;
    if (set) set->current = this;
    Call("OnClick", 0, [](lua_State*) {});
    if (set) set->current = nullptr;
    return 1;
}

int UICompScriptable::ProcessKey(int key) {
    if (!IsMethodImplemented(ON_KEY_PRESS)) return 0;
    if (owner_set) owner_set->current = this;
    const char* key_name = KD_GetKeyName(key);
    Call("OnKeyPress", 1, [key_name](lua_State* S) { lua_pushstring(S, key_name); });
    return 1;
}

static UICompScriptable* SC(UIComp* c) { return static_cast<UICompScriptable*>(c); }

const UIKind& UICompScriptable::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("scriptable.script", UI_TEXT, UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State* S) {
                // The set whose script names the file owns the component's state.
                if (UISet* set = S ? UISet::FromState(S) : nullptr) SC(c)->owner_set = set;
                SC(c)->SetScript(v.text);
            })
            .OnGet([](UIComp* c, lua_State* S) { return lua_pushstring(S, SC(c)->script ? SC(c)->script : ""), 1; })
            // Written whenever a name is held, even an empty one.
            .OnPut([](UIComp* c, UIComp*, nString& out) {
                if (SC(c)->script) UIAppendTextLine(out, "scriptable.script", SC(c)->script);
            })
            // A template without a script gives none: no state, no empty file to run.
            .OnCopy([](UIComp* to, UIComp* from) {
                if (!SC(from)->script) return;
                if (!SC(to)->owner_set) SC(to)->owner_set = SC(from)->owner_set;
                SC(to)->SetScript(SC(from)->script);
            }),
    };
    static_assert(UINamedRows(rows) == UI_SCRIPTABLE_NUM_PROPS, "one row per scriptable property");
    static_assert(UIPropRowsValid(rows, "scriptable."), "scriptable property table");
    static constexpr UIKind kind = UIMakeKind(UI_SCRIPTABLE, "UICompScriptable", "scriptable.", rows, Make);
    return kind;
}
