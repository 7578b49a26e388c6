#include "fw-support.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <lua.hpp>

#include "kd-file.h"
#include "test-support.h"

void SetProgramKd(kodo_t* table);

struct FwEngine::Impl {
    std::unique_ptr<TempWorkDir> temp;
    std::string previous;
};

FwEngine::FwEngine() : impl(new Impl) {
    impl->temp.reset(new TempWorkDir);
    dir = impl->temp->path;
    ResetTestProg();
    started = StartEngine();
    SetProgramKd(kodo_engine::kd);
    FwAddProgramSteps();
}

FwEngine::FwEngine(const std::string& existingDir) : impl(new Impl) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) impl->previous = cwd;
    dir = existingDir;
    if (chdir(dir.c_str()) != 0) return;
    ResetTestProg();
    started = StartEngine();
    SetProgramKd(kodo_engine::kd);
    FwAddProgramSteps();
}

FwEngine::~FwEngine() {
    if (started) StopEngine();
    SetProgramKd(nullptr);
    if (!impl->previous.empty() && chdir(impl->previous.c_str()) != 0) abort();
}

std::string FwEngine::UserPath(const std::string& rest) const {
    char* native = KD_ConvertStaticPathToNativeOSPath(("user://" + rest).c_str());
    std::string r = native ? native : "";
    free(native);
    return r;
}

void FwRunFrames(int n, int ms, void (*update)(float), void (*draw)(float)) {
    test_prog.on_update = update;
    test_prog.on_draw = draw;
    // A millisecond between frames, as the main loop waits for the next:
    // a thread waiting to synchronise with the main thread gets its turn.
    for (int i = 0; i < n; i++) {
        KDI_Frame(ms);
        usleep(1000);
    }
    test_prog.on_update = nullptr;
    test_prog.on_draw = nullptr;
}

struct FwLog::Impl {
    LogCapture capture;
};

FwLog::FwLog() : impl(new Impl) {}
FwLog::~FwLog() {}
bool FwLog::Contains(const std::string& text) const { return impl->capture.Contains(text); }
const std::vector<std::string>& FwLog::Lines() const { return impl->capture.lines; }

void WriteNative(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::string ReadNative(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string FwDataTreeFolder(const std::string& prefix) {
    const char* data = getenv("KODO_TEST_DATA");
    std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
    if (!data || !mkdtemp(&tmpl[0])) return "";
    std::filesystem::create_directories(tmpl + "/app");
    std::filesystem::create_directory_symlink(data, tmpl + "/app/native");
    return tmpl;
}

std::string FwEvalLua(lua_State* L, const std::string& code) {
    int top = lua_gettop(L);
    if (luaL_loadstring(L, code.c_str()) || lua_pcall(L, 0, LUA_MULTRET, 0)) {
        std::string err = lua_tostring(L, -1);
        lua_settop(L, top);
        return "error:" + err;
    }
    std::string out;
    for (int i = top + 1; i <= lua_gettop(L); i++) {
        if (!out.empty()) out += " ";
        int t = lua_type(L, i);
        out += lua_typename(L, t);
        if (t == LUA_TSTRING || t == LUA_TNUMBER) out += std::string(":") + lua_tostring(L, i);
        if (t == LUA_TBOOLEAN) out += lua_toboolean(L, i) ? ":true" : ":false";
    }
    lua_settop(L, top);
    return out;
}
