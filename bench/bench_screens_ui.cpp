// The program's side of bench_screens: the menu screen, the counting of
// drawing calls, and the timing of each frame's update plus draw.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "framework-kd.h"
#include "luaman.h"
#include "ui/screen-manager.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"

namespace {

kodo_t counting;
kodo_t* engine_table = nullptr;
long draw_calls = 0;

void CountRS(kd_bitmap_t* bm, float x, float y, float r, float s) {
    draw_calls++;
    engine_table->DrawBitmapRS(bm, x, y, r, s);
}
void Count4V(kd_bitmap_t* bm, kd_vertex_t* v) {
    draw_calls++;
    engine_table->DrawBitmap4V(bm, v);
}
void CountRect(float x, float y, float w, float h) {
    draw_calls++;
    engine_table->DrawRect(x, y, w, h);
}
void CountBitmap(kd_bitmap_t* bm, float x, float y) {
    draw_calls++;
    engine_table->DrawBitmap(bm, x, y);
}
void CountSub(kd_bitmap_t* bm, float x, float y, float sx, float sy, float sw, float sh) {
    draw_calls++;
    engine_table->DrawSubBitmap(bm, x, y, sx, sy, sw, sh);
}
float CountText(kd_font_t* font, float x, float y, const char* format, ...) {
    char text[4096];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    draw_calls++;
    return engine_table->DrawTextf(font, x, y, "%s", text);
}

struct MenuScreen : Screen {
    MenuScreen() : Screen("BenchMenu") {}
    void Draw(float) override { DrawUI(); }
};
MenuScreen* menu = nullptr;
std::vector<double> times;
std::vector<long> calls;

// 40 components: a background, 12 buttons, 12 text boxes, 9 images and 6
// nine-patches.
const char* kMenu =
    "CreateComp ('Image', 'bg'); SetProperty ('image.bitmap', 'ui/gfx/menu-background.jpg');\n"
    "SetProperty ('scale_type', 'FIT_TO_COVER_SCREEN'); SetProperty ('position', 0.5, 0.5);\n"
    "SetProperty ('align', 'CENTER');\n"
    "for i = 0, 5 do\n"
    "  CreateComp ('NinePatch', 'panel' .. i); SetProperty ('ninepatch.bitmap', 'ui/gfx/panel.png');\n"
    "  SetProperty ('ninepatch.bitmap_client_rect', 32, 32, 96, 96); SetProperty ('ninepatch.client_size', 200, 120);\n"
    "  SetProperty ('position', 0.2 + (i % 3) * 0.3, 0.3 + math.floor (i / 3) * 0.4); SetProperty ('align', 'CENTER');\n"
    "end\n"
    "for i = 0, 11 do\n"
    "  CreateComp ('Button', 'button' .. i); SetProperty ('button.bm_idle', 'ui/gfx/button-small.png');\n"
    "  SetProperty ('button.bm_over', 'ui/gfx/button-small-over.png');\n"
    "  SetProperty ('button.bm_pressed', 'ui/gfx/button-small-pressed.png');\n"
    "  SetProperty ('button.font', 'fonts/small.sft'); SetProperty ('button.text', 'Button ' .. i);\n"
    "  SetProperty ('localize', 0); SetProperty ('align', 'CENTER');\n"
    "  SetProperty ('position', 0.12 + (i % 4) * 0.25, 0.2 + math.floor (i / 4) * 0.3);\n"
    "  CreateComp ('Textbox', 'label' .. i); SetProperty ('textbox.font', 'fonts/small.sft');\n"
    "  SetProperty ('textbox.text', 'A label of a few words ' .. i); SetProperty ('localize', 0);\n"
    "  SetProperty ('position', 0.12 + (i % 4) * 0.25, 0.28 + math.floor (i / 4) * 0.3);\n"
    "end\n"
    "for i = 0, 8 do\n"
    "  CreateComp ('Image', 'icon' .. i); SetProperty ('image.bitmap', 'ui/gfx/icon-play.png');\n"
    "  SetProperty ('position', 0.05 + i * 0.1, 0.92); SetProperty ('align', 'CENTER');\n"
    "end\n";

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

}  // namespace

bool BenchScreensSetUp(kodo_t* engine) {
    engine_table = engine;
    counting = *engine;
    counting.DrawBitmapRS = CountRS;
    counting.DrawBitmap4V = Count4V;
    counting.DrawRect = CountRect;
    counting.DrawBitmap = CountBitmap;
    counting.DrawSubBitmap = CountSub;
    counting.DrawTextf = CountText;
    kd = &counting;
    lua_man.Initialize();
    ScreenMan::RegisterLuaFunctions();
    UIRegisterWidgetKinds();
    sman.reference_width = sman.virtual_width = sman.actual_width = 1024;
    sman.reference_height = sman.virtual_height = sman.actual_height = 600;
    sman.press_only_hover = false;
    menu = new MenuScreen();
    menu->uiset = new UISet("bench/menu.lua", menu);
    if (!UILayoutRunString(menu->uiset, kMenu, strlen(kMenu), "bench/menu.lua")) return false;
    if (menu->uiset->GetNumberOfComps() != 40) {
        fprintf(stderr, "the menu has %d components, not 40\n", menu->uiset->GetNumberOfComps());
        return false;
    }
    menu->preloaded = true;
    sman.PushScreen(menu);
    // A pointer over one of the buttons, so hovering is part of the frame.
    sman.cursor[0].position = vec2_t{0.12f * 1024, 0.2f * 600};
    return true;
}

void BenchScreensFrame(float dt) {
    long before = draw_calls;
    double start = CpuSeconds();
    sman.Update(dt);
    sman.DrawScreens(dt);
    times.push_back(CpuSeconds() - start);
    calls.push_back(draw_calls - before);
}

void BenchScreensReport() {
    // The first frames take the bitmaps and fade the screen in.
    size_t skip = times.size() > 100 ? 60 : 0;
    std::vector<double> t(times.begin() + (long)skip, times.end());
    std::sort(t.begin(), t.end());
    if (t.empty()) return;
    long total = 0;
    for (size_t i = skip; i < calls.size(); i++) total += calls[i];
    printf("menu screen, 40 components, %zu frames: CPU per frame p50 %.3f ms, p95 %.3f ms; %.1f draw calls per frame\n",
           t.size(), t[t.size() / 2] * 1000, t[t.size() * 95 / 100] * 1000, (double)total / (double)t.size());
}

void BenchScreensTearDown() {
    sman.Shutdown();
    UILayoutDeleteComps(menu->uiset);
    delete menu->uiset;
    menu->uiset = nullptr;
    delete menu;
    kd = engine_table;
}
