#include "fw-support.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

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
}

FwEngine::FwEngine(const std::string& existingDir) : impl(new Impl) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) impl->previous = cwd;
    dir = existingDir;
    if (chdir(dir.c_str()) != 0) return;
    ResetTestProg();
    started = StartEngine();
    SetProgramKd(kodo_engine::kd);
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
