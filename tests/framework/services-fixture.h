// Shared by the player services' tests: a working folder with a data tree
// of the test's own (res:// is its app/native), the engine started there,
// the program record, a profile, and the screen manager's side of the
// services (service-screens.h) replaced by a stand-in that keeps a stack
// of screen names and writes down every call.
#ifndef SERVICES_FIXTURE_H
#define SERVICES_FIXTURE_H

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "analytics.h"
#include "feature-manager.h"
#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "recording-kd.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/service-screens.h"

// The platform's game centre: present while `game_center_present` is set;
// every command but "IsAvailable" is written down as "gc <parameter>" in
// rec().calls. Other commands go to the engine's table, which the test
// keeps in `engine_call_extension` before it installs this one.
inline bool game_center_present = false;
inline const char* (*engine_call_extension)(const char*, const char*) = nullptr;
inline const char* FakeGameCenter(const char* command, const char* parameter) {
    if (strcmp(command, "GameCenter") != 0) return engine_call_extension(command, parameter);
    std::string p = parameter ? parameter : "";
    if (p != "IsAvailable") rec().calls.push_back("gc " + p);
    return game_center_present && (p == "IsAvailable" || p == "IsAuthenticated") ? "yes" : nullptr;
}

// A platform result event.
inline kd_event_t ServiceEvent(int type, intptr_t id, intptr_t x, intptr_t y) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = id;
    e.x = x;
    e.y = y;
    return e;
}

// A script function's result in the main Lua state as text ("nil" for
// none).
inline std::string ServiceLua(const std::string& call) {
    lua_State* L = lua_man.GetMainState();
    int top = lua_gettop(L);
    std::string out = "nil";
    if (luaL_dostring(L, ("return " + call).c_str()) == 0 && lua_gettop(L) > top && !lua_isnil(L, -1))
        out = lua_isboolean(L, -1) ? (lua_toboolean(L, -1) ? "true" : "false") : lua_tostring(L, -1);
    lua_settop(L, top);
    return out;
}

struct FakeScreens {
    static FakeScreens*& Current() {
        static FakeScreens* current = nullptr;
        return current;
    }
    std::vector<std::string> calls;  // "push X", "pop X", "msg X Title=Success!"
    std::vector<std::string> stack;  // bottom first
    std::set<std::string> registered;
    kd_font_t* font = nullptr;
    float scale = 1.0f;
    int width = 1024, height = 600;
    // What the screens in view show to read or press: x0, y0, x1, y1.
    std::vector<std::array<float, 4>> readable;

    ServiceScreens table = {
        [](const char* n) { return Current()->registered.count(n) > 0; },
        [](const char* n) {
            auto& s = Current()->stack;
            return std::find(s.begin(), s.end(), std::string(n)) != s.end();
        },
        [](const char* n) {
            Current()->stack.push_back(n);
            Current()->calls.push_back(std::string("push ") + n);
        },
        [](const char* n) {
            auto& s = Current()->stack;
            s.erase(std::remove(s.begin(), s.end(), std::string(n)), s.end());
            Current()->calls.push_back(std::string("pop ") + n);
        },
        [](const char* n, const char* m, const char* v) {
            Current()->calls.push_back(std::string("msg ") + n + " " + m + "=" + (v ? v : "(null)"));
        },
        []() { return Current()->font; },
        []() { return Current()->scale; },
        [](int* w, int* h) {
            *w = Current()->width;
            *h = Current()->height;
        },
        [](float x, float y, float w, float h) {
            for (const auto& r : Current()->readable)
                if (x < r[2] && r[0] < x + w && y < r[3] && r[1] < y + h) return true;
            return false;
        },
    };
    FakeScreens() {
        Current() = this;
        service_screens = &table;
    }
    ~FakeScreens() {
        service_screens = &service_screens_of_sman;
        Current() = nullptr;
    }
    std::string Top() const { return stack.empty() ? "" : stack.back(); }
};

struct ServicesEnv {
    std::string dir;
    kd_prog_t record{};
    std::unique_ptr<FwEngine> engine;

    // `files`: paths under res:// and their contents.
    explicit ServicesEnv(const std::map<std::string, std::string>& files = {}) {
        char tmpl[] = "/tmp/kodo-services-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        for (auto& f : files) {
            std::string path = dir + "/app/native/" + f.first;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            WriteNative(path, f.second);
        }
        std::filesystem::create_directories(dir + "/app/native");
        strcpy(record.id, "worm-test");
        strcpy(record.version, "1.2.3");
        Manager::SetProgramRecord(&record);
        engine.reset(new FwEngine(dir));
    }
    ~ServicesEnv() {
        analyst.Shutdown();
        iap_man.Reset();
        achievement_man.Reset();
        feature_man.SetFeatureList(nullptr);
        engine.reset();
        Manager::SetProgramRecord(nullptr);
        Manager::SetParms(nullptr);
        std::filesystem::remove_all(dir);
    }
    // A profile of that name, made active.
    void Profile(const char* name) {
        profile_man.LoadProfiles();
        profile_man.SelectOrCreateProfile(name);
    }
    std::string User(const std::string& rest) const { return engine->UserPath(rest); }
};

#endif
