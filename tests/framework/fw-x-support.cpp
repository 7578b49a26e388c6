#include "fw-x-support.h"
#include "window-shot.h"

#include <png.h>
#include <string.h>
#include <unistd.h>

#include <host/host.h>

#include <filesystem>

#include "qnx-kodo.h"
#include "rendimp-gles.h"
#include "test-support.h"

void SetProgramKd(kodo_t* table);

namespace {
std::function<void()> draw_fn;
void DrawHook(float) {
    if (draw_fn) draw_fn();
}
}  // namespace

void FwImage::At(int x, int y, int* r, int* g, int* b) const {
    if (x < 0 || y < 0 || x >= w || y >= h) {
        *r = *g = *b = -1;
        return;
    }
    const unsigned char* p = &rgb[((size_t)y * (size_t)w + (size_t)x) * 3];
    *r = p[0];
    *g = p[1];
    *b = p[2];
}

struct FwWindowEngine::Impl {
    std::unique_ptr<TempWorkDir> dir;
    bool window = false;
    int shots = 0;
};

FwWindowEngine::FwWindowEngine() : impl(new Impl) {
    impl->dir.reset(new TempWorkDir);
    // "res://" is ./app/native: the bundled data tree.
    const char* data = getenv("KODO_TEST_DATA");
    std::filesystem::create_directories("app");
    if (data) std::filesystem::create_directory_symlink(data, "app/native");
    ResetTestProg();
    test_prog.on_draw = DrawHook;
    KDID_OGLES_ResetCaps();
    KDID_OGLES_SetTestSwitches(false, false);
    if (!KDQ_CreateWindow()) return;
    impl->window = true;
    KDID_SetRendImpFactory(nullptr);  // the platform's renderer: OpenGL ES
    if (!KDI_PreInit(nullptr) || !KDI_Init()) return;
    kd_state.active = true;
    started = true;
    SetProgramKd(kodo_engine::kd);
}

FwWindowEngine::~FwWindowEngine() {
    draw_fn = nullptr;
    if (started) KODO_Shutdown();
    if (impl->window) KDQ_DestroyWindow();
    KDID_SetRendImpFactory(GetRendImpNull);
    KDID_OGLES_ResetCaps();
    SetProgramKd(nullptr);
}

static FwImage ReadWindow(const std::string& path) {
    FwImage img;
    ReadWindowShot(path, &img.w, &img.h, &img.rgb);
    return img;
}

// The frame is drawn twice (the second present pushes out the first) and
// the window read until two reads agree.
FwImage FwWindowEngine::Frame(std::function<void()> draw) {
    draw_fn = std::move(draw);
    KDI_Frame(16);
    KDI_Frame(16);
    draw_fn = nullptr;
    std::string base = impl->dir->path + "/shot";
    return ReadUntilStable<FwImage>([&] { return ReadWindow(base + std::to_string(impl->shots++) + ".png"); });
}
