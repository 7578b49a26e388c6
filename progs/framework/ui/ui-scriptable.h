// The scriptable component: a Lua script of its own, run in a Lua state of
// its own, to which the component forwards its update, its drawing (the
// script draws with the engine's script functions), clicks and keys. The
// state's owner is the UI set that made the component, so the screen
// functions a script calls act on that set.
//
// A script must not take the screen down. A script file that is missing,
// does not compile, raises an error, runs too long (more than
// UI_SCRIPTABLE_BUDGET Lua instructions or UI_SCRIPT_TIME_LIMIT_MS in one
// call, an endless loop included) or takes too much memory (its state's
// cap, or its share of what all states together may hold) is reported in
// the log with its file and line; the component then closes the state and
// does nothing more until another script is set.
#ifndef FRAMEWORK_UI_SCRIPTABLE_H
#define FRAMEWORK_UI_SCRIPTABLE_H

#include <lua.hpp>

#include "luaman.h"
#include "ui/ui-comps.h"

enum { UI_SCRIPTABLE_NUM_PROPS = 1 };

class UICompScriptable : public UIComp {
public:
    enum methods_e { NONE, ON_CREATE, ON_DELETE, ON_CLICK, ON_KEY_PRESS, ON_UPDATE, ON_DRAW, NUM_METHODS };

    UICompScriptable();
    ~UICompScriptable() override;
    static UIComp* Make() { return new UICompScriptable(); }

    const UIKind& Kind() const override;
    // Advances `phase` (wrapping at 1), then "OnUpdate"(dt).
    void Update(float dt) override;
    // The common set-up, then "OnDraw"(x, y) at the aligned position.
    void Draw() override;
    // Always 1; "OnClick" runs with this component as its set's current one.
    int ProcessClick() override;
    // "OnKeyPress"(key name): 1 when the script has it.
    int ProcessKey(int key) override;

    // Runs the file in a new state (the old one is closed) and calls its
    // "OnCreate". An empty name (or null) leaves the component without a
    // script.
    void SetScript(const char* file);
    bool IsMethodImplemented(int m) const { return L && m > NONE && m < NUM_METHODS && methods[m]; }

    bool methods[NUM_METHODS] = {};
    lua_State* L = nullptr;
    char* script = nullptr;
    UISet* owner_set = nullptr;

private:
    // Calls the global `fn` with `nargs` arguments pushed by `push`; false
    // (and the component stops) when it fails.
    template <class Push> bool Call(const char* fn, int nargs, Push push);
    // Loads and runs the script file in the state; false when it fails.
    bool RunFile();
    // Reports the error on top of the stack and closes the state.
    void Fail(const char* what);
    void CloseState();
    // Calls into the script under way, and a script named meanwhile.
    int running = 0;
    char* pending = nullptr;
};

#endif
