// Property paths and values from the input, through the script functions
// SetProperty and GetProperty, on two stacked screens whose sets hold one
// component of every kind: paths of every form ("prop", "comp:prop",
// "/Screen/comp:prop", "/Screen:prop", "/:prop" and raw bytes) with names
// from the kinds' own property tables, and values of every Lua type
// (numbers that are huge, tiny, infinite or not numbers). Between the
// calls the manager updates, takes pointer presses, moves, releases and
// wheel turns (which drag the touch field and page the touch grid) and
// draws, so whatever the values did to the geometry (parents, scales,
// sizes, step counts, paths, pools) is exercised.
// The engine is not started: everything runs on the null interface table.
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <lua.hpp>

#include "luaman.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        n--;
        return *p++;
    }
    std::string Bytes(size_t len) {
        std::string s;
        while (len-- && n) s += (char)Byte();
        return s;
    }
};

// Every property name the kinds know, and the screen's.
std::vector<std::string>& Names() {
    static std::vector<std::string> names;
    if (!names.empty()) return names;
    for (int t = 0; t < UI_NUM_TYPES; t++) {
        UIComp* c = UIComp::Create(UIComp::GetCompTypeString(t), "x", nullptr, "");
        const UIKind& kind = c->Kind();
        for (int i = 0; i < kind.num_rows; i++)
            if (kind.rows[i].name) names.push_back(kind.rows[i].name);
        delete c;
    }
    const UIKind& base = UIComp::BaseKind();
    for (int i = 0; i < base.num_rows; i++)
        if (base.rows[i].name) names.push_back(base.rows[i].name);
    for (const char* s : {"default_comp", "enter_trans_duration", "leave_trans_duration", "covers_screen", "trans",
                          "name", "listbox.line[2].text", "listbox.line[-9].id", "listbox.line[99999999999]",
                          "path.point[0]", "path.point[-1]", "path.point[99999999999]", "path.point[", "xpath.point[1"})
        names.push_back(s);
    return names;
}

const char* const kWords[] = {"", "CENTER", "BOTTOMRIGHT", "PRELOAD", "RELATIVE_TO_SCREEN", "ABSOLUTE",
                              "FIT_TO_COVER_SCREEN", "ADDITIVE", "ACTUAL", "c0", "c5", "c18", "Other",
                              "x.png", "core/console.sft", "%s%n%d", "Default%s", "SPRING", "STOP", "SMOOTH_STOP",
                              "SMOOTH_DRAG", "fxs/sparks.lua", "models/tile.xml", "ui/no-script.lua"};
const double kNumbers[] = {0, 1, -1, 0.5, 3, 1e30, -1e30, 1e-30, 2147483648.0, -2147483649.0, 65536};

void PushValue(lua_State* L, Input& in) {
    uint8_t k = in.Byte();
    switch (k % 7) {
        case 0: lua_pushnumber(L, kNumbers[(k / 7) % (sizeof kNumbers / sizeof kNumbers[0])]); break;
        case 1: lua_pushnumber(L, (k & 8) ? HUGE_VAL : NAN); break;
        case 2: lua_pushstring(L, kWords[(k / 7) % (sizeof kWords / sizeof kWords[0])]); break;
        case 3: lua_pushboolean(L, k & 8); break;
        case 4: lua_pushnil(L); break;
        case 5: lua_newtable(L); break;
        default: lua_pushnumber(L, (double)(int8_t)in.Byte() / 8.0); break;
    }
}

std::string PathFrom(Input& in) {
    uint8_t form = in.Byte();
    std::vector<std::string>& names = Names();
    std::string prop = (form & 0x80) ? in.Bytes(in.Byte() % 12) : names[in.Byte() % names.size()];
    std::string comp = (form & 0x40) ? in.Bytes(in.Byte() % 6) : "c" + std::to_string(in.Byte() % 20);
    const char* screens[] = {"Fuzz", "Other", "Nowhere", ""};
    std::string screen = screens[(form >> 4) & 3];
    switch (form % 6) {
        case 0: return prop;
        case 1: return comp + ":" + prop;
        case 2: return "/" + screen + "/" + comp + ":" + prop;
        case 3: return "/" + screen + ":" + prop;
        case 4: return "/:" + prop;
        default: return in.Bytes(in.Byte() % 24);
    }
}

// A set with one component of every kind, named c0 .. c18.
const char* kEveryKind =
    "for t, name in ipairs ({'Unknown', 'Button', 'Slider', 'Editbox', 'Checkbox', 'Listbox', 'Path',\n"
    "  'Emitter', 'Scriptable', 'TouchField', 'TouchGrid', 'NinePatch', 'Textbox', 'Rectangle', 'Image',\n"
    "  'Marker', 'Ruler', 'Ad', 'Model'}) do\n"
    "  CreateComp (name, 'c' .. (t - 1));\n"
    "  SetProperty ('position', t / 20, t / 20);\n"
    "end\n";

struct FuzzScreen : Screen {
    explicit FuzzScreen(const char* n) : Screen(n) {
        uiset = new UISet("ui/fuzz.lua", this);
        if (uiset->L) UILayoutRunString(uiset, kEveryKind, strlen(kEveryKind), "ui/fuzz.lua");
        preloaded = true;
    }
    ~FuzzScreen() override {
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
    void Draw(float) override { DrawUI(); }
};

void StopHook(lua_State* L, lua_Debug*) { luaL_error(L, "instruction budget spent"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    static bool ready = false;
    if (!ready) {
        ready = true;
        lua_man.Initialize();
        ScreenMan::RegisterLuaFunctions();
        UIRegisterWidgetKinds();
        Names();
    }
    Input in{data, size};
    {
        FuzzScreen other("Other"), fuzz("Fuzz");
        lua_State* L = fuzz.uiset->L;
        if (!L || !other.uiset->L) return 0;
        lua_sethook(L, StopHook, LUA_MASKCOUNT, 100000);
        sman.PushScreen(&other);
        sman.PushScreen(&fuzz);
        int top = lua_gettop(L);
        intptr_t last_x = 0, last_y = 0;
        for (int op = 0; op < 64 && in.n; op++) {
            uint8_t what = in.Byte();
            switch (what % 4) {
                case 0:
                case 1: {
                    bool set = what % 4 == 0;
                    std::string path = PathFrom(in);
                    lua_getglobal(L, set ? "SetProperty" : "GetProperty");
                    lua_pushlstring(L, path.data(), path.size());
                    int values = set ? (what >> 2) % 5 : 0;
                    for (int i = 0; i < values; i++) PushValue(L, in);
                    lua_pcall(L, 1 + values, LUA_MULTRET, 0);
                    lua_settop(L, top);
                    break;
                }
                case 2: sman.UpdateScreens((float)(in.Byte() % 40) / 100.0f); break;
                default: {
                    static const int types[] = {KD_EVENT_BUTTON_DOWN, KD_EVENT_BUTTON_UP, KD_EVENT_POINTER_MOVE,
                                                KD_EVENT_POINTER_MOVE, KD_EVENT_WHEEL};
                    kd_event_t e{};
                    e.type = types[(what >> 2) % 5];
                    e.id = (what & 0x80) ? 1 : 0;
                    e.prev_x = last_x, e.prev_y = last_y;
                    e.x = last_x = in.Byte() * 4;
                    e.y = last_y = in.Byte() * 3;
                    e.button = 510;
                    e.wheel = (int16_t)((int8_t)in.Byte() * 120);
                    sman.ProcessEvent(e);
                    break;
                }
            }
        }
        if (lua_gettop(L) != top) abort();
        sman.UpdateScreens(0.02f);
        sman.DrawScreens(0.02f);
        sman.Shutdown();
        sman.UnlockCursors();
    }
    return 0;
}
