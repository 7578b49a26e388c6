#include "feature-manager.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lua-args.h"
#include "nstring.h"
#include "profiles.h"

FeatureManager feature_man;

FeatureManager::~FeatureManager() { free(features); }

void FeatureManager::SetFeatureList(const char* list) {
    char* copy = list ? nStringDuplicate(list) : nullptr;
    free(features);
    features = copy;
}

// ---------------------------------------------------------------------------
// Script functions

namespace {

int luaf_FM_ProductFeatureExists(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, feature_man.ProductFeatureExists(a.Text(1)));
}

int luaf_FM_GetProductValue(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* key = a.Text(1);
    const char* v = key ? feature_man.GetProductValue(key) : nullptr;
    if (v) return LuaReturnText(L, v);
    lua_pushnil(L);  // one nil result, not none, as scripts have always had
    return 1;
}

int luaf_FM_UsesPackage(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, feature_man.UsesPackage(a.Text(1)));
}

const LuaBinding kFeatureBindings[] = {
    LUA_BINDING(FM_ProductFeatureExists),
    LUA_BINDING(FM_GetProductValue),
    LUA_BINDING(FM_UsesPackage),
};
static_assert(std::size(kFeatureBindings) == 3, "the FM_ script functions");

}  // namespace

void FeatureManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "FeatureManager::Initialize.\n");
    SetFeatureList(kd->CallExtension("ProgramInfo", "Features"));
    lua_man.AddLuaFunctions(kFeatureBindings);
}

static bool IsSeparator(char c) { return c == 0 || c == ' ' || c == ',' || c == ';'; }

bool FeatureManager::ProductFeatureExists(const char* name) const {
    // An empty name would match everywhere without consuming anything;
    // no feature has an empty name.
    if (!name || !features || !*name) return false;
    size_t n = strlen(name);
    for (const char* at = strstr(features, name); at; at = strstr(at + 1, name)) {
        bool startOk = at == features || IsSeparator(at[-1]);
        if (startOk && IsSeparator(at[n])) return true;
    }
    return false;
}

bool FeatureManager::EvaluateProductFeatureRequirementList(const char* list) const {
    if (!list) return false;
    // Long lists are not checked at all; data files keep them short.
    if (strlen(list) > 511) return true;
    const char* item = list;
    for (int k = 0; k < 32; k++) {
        if (!*item) return true;  // no k-th item: the list ended or ended with a comma
        const char* comma = strchr(item, ',');
        size_t len = comma ? (size_t)(comma - item) : strlen(item);
        char name[512];
        memcpy(name, item, len);
        name[len] = 0;
        bool forbidden = name[0] == '!';
        bool exists = ProductFeatureExists(forbidden ? name + 1 : name);
        if (forbidden ? exists : !exists) return false;
        if (!comma) return true;
        item = comma + 1;
    }
    return true;
}

const char* FeatureManager::GetProductValue(const char* key) const {
    return kd->CallExtension("GetProductValue", key);
}

bool FeatureManager::UsesPackage(const char* package) const {
    if (!package) return false;
    int n = kd->GetNumberOfSearchPaths();
    for (int i = 0; i < n; i++) {
        const char* path = kd->GetSearchPath(i);
        if (!path) continue;
        const char* last = strrchr(path, '/');
        if (!last || last == path) continue;
        const char* before = last - 1;
        while (before >= path && *before != '/') before--;
        if (before < path) continue;  // fewer than two '/'
        size_t len = (size_t)(last - before - 1);
        if (len > 255) len = 255;
        if (strlen(package) == len && strncmp(before + 1, package, len) == 0) return true;
    }
    return false;
}

bool FeatureManager::IsGameCenterEnabled() const {
    if (!ProductFeatureExists("GAME_CENTER")) return false;
    const char* enabled = profile_man.GetGlobalValue("GAME_CENTER_ENABLED");
    if (enabled && strcmp(enabled, "0") == 0) return false;
    return kd->CallExtension("GameCenter", "IsAvailable") != nullptr;
}

const char* FeatureManager::GetCurrentDeviceId() const {
    return kd->CallExtension("PlatformInfo", "DeviceModel");
}

bool FeatureManager::IsRunningOnDevice(const char* model) const {
    const char* device = GetCurrentDeviceId();
    return model && device && strcmp(model, device) == 0;
}

int FeatureManager::GetCurrentDevicePerformanceClass() const {
    const char* answer = kd->CallExtension("PlatformInfo", "PerformanceClass");
    return answer ? atoi(answer) : 0;
}

const char* FeatureManager::GetCurrentPlatformId() const {
    static char id[256];
    const char* platform = kd->CallExtension("PlatformInfo", "PlatformId");
    // Copied before the second question: the engine may answer both from
    // one buffer.
    nString p(platform ? platform : "(null)");
    const char* size = kd->CallExtension("PlatformInfo", "ScreenSizeId");
    if (size)
        snprintf(id, sizeof id, "%s/%s", p.c_str(), size);
    else
        snprintf(id, sizeof id, "%s", p.c_str());
    return id;
}

// Start-up and the other managers reach the feature manager through these.
