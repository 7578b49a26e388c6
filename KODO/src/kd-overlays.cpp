// The engine's overlays, drawn over the program's frame: the frame-rate
// counter, in developer mode the memory graph, the frame-time graph and the
// information panel (each while its function key is held), and the
// developer console.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kd-console.h"
#include "kd-file.h"
#include "kd-font.h"
#include "kd-internal.h"
#include "kd-settings.h"

namespace {

const float kPi = 3.1415927f;

kd_font_t* FirstFont() { return kd_fonts.used > 0 && kd_fonts.fonts[0].name ? &kd_fonts.fonts[0] : nullptr; }

// The console font, or the first font of the table when it has no glyphs.
kd_font_t* ConsoleFont(kd_font_t* font) {
    if (font && font->size > 0) return font;
    return FirstFont();
}

int ScreenWidth() { return kd_prog ? kd_prog->parms.width : kd_parms.width; }
int ScreenHeight() { return kd_prog ? kd_prog->parms.height : kd_parms.height; }

void ResetTextState() {
    KD_SetTextAlign(0);
    KD_SetTextboxWidth(0);
    KD_SetTextTransform(1, 1, 0);
}

// --------------------------------------------------------- memory graph

class MemoryWatchdog {
public:
    nArray<int> total, gpu, npot;
    int peak[3] = {};
    kd_font_t* font = nullptr;
    bool font_tried = false;

    void Sample(int t, int g, int n) {
        if (total.count > 3) {
            bool same = true;
            for (int i = total.count - 4; i < total.count; i++)
                if (total[i] != t) same = false;
            if (same) return;
        }
        total.InsertLast(t);
        gpu.InsertLast(g);
        npot.InsertLast(n);
        if (t > peak[0]) peak[0] = t;
        if (g > peak[1]) peak[1] = g;
        if (n > peak[2]) peak[2] = n;
    }

    void Draw() {
        if (!kd_prog) return;
        if (!font_tried) {
            font_tried = true;
            if (KD_FileExists("core/console.sft")) font = KD_GetFont("core/console.sft");
        }
        kd_font_t* f = ConsoleFont(font);
        float W = (float)ScreenWidth(), H = (float)ScreenHeight();
        kd->SetColor(0, 0, 0);
        kd->SetAlpha(0.6f);
        kd->DrawRect(0, 0, W, H);
        kd->SetColor(0.9f, 0.9f, 0.9f);
        kd->SetAlpha(1);
        kd->DrawRect(0, H - 4, W, 4);
        KD_SetTextAlign(KD_TEXT_ALIGN_VCENTER);
        KD_SetTextTransform(0.7f, 0.7f, 0);
        const float mb = 1048576.0f;
        int largest = peak[0] > peak[1] ? peak[0] : peak[1];
        if (peak[2] > largest) largest = peak[2];
        float graph_h = H - 4;
        float vscale = graph_h / ((float)largest + 5 * mb);
        for (int step = 5; (float)step * mb * vscale < graph_h; step += 5) {
            float y = H - 4 - (float)step * mb * vscale;
            kd->SetColor(0.4f, 0.4f, 0.4f);
            kd->DrawRect(0, y, W, 1);
            kd->SetColor(0.7f, 0.7f, 0.7f);
            if (f) KD_DrawTextf(f, 5, y, "%d MB", step);
        }
        float legend = f ? KD_GetTextWidthf(f, "GPU 100.1 MB (peak 100.1 MB)") : 200;
        int room = (int)(W - 88 - legend);
        while (room > 0 && total.count > room) {
            total.RemoveIndex(0);
            gpu.RemoveIndex(0);
            npot.RemoveIndex(0);
        }
        static const float colours[3][3] = {{1, 0.5f, 0.2f}, {0.3f, 1, 0.3f}, {0.4f, 0.6f, 1}};
        static const char* const labels[3] = {"Total mem %.1f MB (peak %.1f MB)", "GPU %.1f MB (peak %.1f MB)",
                                              "GPU NPOT %.1f MB (peak %.1f MB)"};
        nArray<int>* series[3] = {&total, &gpu, &npot};
        for (int s = 0; s < 3; s++) {
            kd->SetColor(colours[s][0], colours[s][1], colours[s][2]);
            nArray<int>& a = *series[s];
            for (int i = 1; i < a.count; i++)
                kd->DrawLine(40 + (float)(i - 1), H - 4 - (float)a[i - 1] * vscale, 40 + (float)i,
                            H - 4 - (float)a[i] * vscale);
            float y = H - 4 - (a.count ? (float)a[a.count - 1] * vscale : 0);
            if (f)
                KD_DrawTextf(f, W - legend - 10, y, labels[s], a.count ? (float)a[a.count - 1] / mb : 0.0f,
                             (float)peak[s] / mb);
        }
        ResetTextState();
        kd->SetColor(1, 1, 1);
    }
};

MemoryWatchdog* kd_memdog = nullptr;
MemoryWatchdog* Memdog() {
    if (!kd_memdog) kd_memdog = new MemoryWatchdog;
    return kd_memdog;
}

// ----------------------------------------------------- frame-time graph

void DrawFrameTimeGraph(float dt, kd_font_t* font) {
    static float times[2048];
    static int at = 0;
    int n = ScreenWidth() - 20;
    if (n > 2048) n = 2048;
    if (n < 1) return;
    if (at >= n) at = 0;
    times[at] = dt;
    const float top = 0.1f;
    kd->SetAlpha(0.8f);
    kd->SetColor(0, 0, 0);
    kd->DrawRect(10, 10, (float)n, 100);
    kd->SetColor(0, 1, 0);
    if (font) KD_DrawTextf(font, 10, 10, "High: %dms", (int)(top * 1000));
    kd->SetAlpha(0.5f);
    kd->SetColor(1, 0, 0);
    float y33 = 110 - (100 / top) * 33 / 1000;
    kd->DrawLine(10, y33, 10 + (float)n, y33);
    kd->SetAlpha(1);
    kd->SetColor(0, 1, 0);
    for (int i = 1; i < n; i++) {
        float v0 = times[(at + i) % n], v1 = times[(at + i + 1) % n];
        kd->DrawLine(10 + (float)(i - 1), 110 - (100 / top) * v0, 10 + (float)i, 110 - (100 / top) * v1);
    }
    at = (at + 1) % n;
    kd->SetColor(1, 1, 1);
}

// ---------------------------------------------------- information panel

const char* PlatformName(int id) {
    static const char* const names[] = {"WINDOWS", "MAC", "IOS", "BADA", "ANDROID", "QT",
                                        "WEBOS", "QNX", "PSP", "PS_VITA", "LINUX", "METRO"};
    return id >= 1 && id <= 12 ? names[id - 1] : "UNKNOWN";
}

struct Column {
    kd_font_t* font;
    float x, y, step;
    void Line(const char* format, ...) N_PRINTF_LIKE(2, 3) {
        char text[256];
        va_list ap;
        va_start(ap, format);
        vsnprintf(text, sizeof text, format, ap);
        va_end(ap);
        KD_DrawTextf(font, x, y, "%s", text);
        y += step;
    }
};

void DrawInfoPanel() {
    kd_font_t* font = ConsoleFont(KD_GetFont("core/console.sft"));
    if (!font) return;
    float step = KD_GetTextHeightf(font, "Ag");
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.8f);
    kd->DrawRect(0, 0, (float)ScreenWidth(), 210);
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->DrawRect(190, 5, 1, 200);
    kd->DrawRect(390, 5, 1, 200);
    kd->DrawRect(590, 5, 1, 200);
    const char* heads[4] = {"Device Info:", "Boot Settings:", "Program:", "System:"};
    for (int i = 0; i < 4; i++) KD_DrawTextf(font, 5 + 200.0f * (float)i, 5, "%s", heads[i]);
    kd->SetColor(0.7f, 0.7f, 0.7f);
    float y0 = 5 + step + 5;
    Column c{font, 5, y0, step};
    c.Line("Screen: %dx%d", kd_device_info.width, kd_device_info.height);
    c.Line("Desktop: %dx%d", kd_device_info.desktop_width, kd_device_info.desktop_height);
    c.Line("%s", kd_state.allow_all_resolutions ? "Free resolution" : "Fixed resolution");
    int o = kd_state.orientation_current;
    c.Line("Orientation: %s", (o == 1 || o == 2) ? "PORTRAIT" : (o == 4 || o == 8) ? "LANDSCAPE" : "UNKNOWN");
    c = Column{font, 205, y0, step};
    c.Line("Screen: %dx%d (%s)", kd_parms.width, kd_parms.height, kd_parms.windowed ? "window" : "fullscreen");
    if (!kd_state.autoscale) {
        c.Line("Not autoscaling");
    } else {
        c.Line("Autoscaling");
        c.Line("Scale X %.3f", kd_state.scale_x);
        c.Line("Scale Y %.3f", kd_state.scale_y);
        c.Line("Offset X %.3f", kd_state.offset_x);
        c.Line("Offset Y %.3f", kd_state.offset_y);
    }
    c = Column{font, 405, y0, step};
    c.Line("Current size %dx%d", ScreenWidth(), ScreenHeight());
    c.Line("Ref size %dx%d", kd_state.reference_width, kd_state.reference_height);
    c.Line("Validated size %dx%d", kd_parms.width, kd_parms.height);
    c.Line("Title: %s", kd_prog ? kd_prog->title : "");
    c.Line("Version: %s", kd_prog ? kd_prog->version : "");
    c = Column{font, 605, y0, step};
    c.Line("Transform Stack index %d", kd_state.transform_index);
    c.Line("Native platform: %s", PlatformName(kd_platform_info.platform_id));
    c.Line("OS version: %s / %s", kd_platform_info.os_major, kd_platform_info.os_minor);
    kd->SetColor(1, 1, 1);
}

// A copy of one console line taken under PRINT, drawn after the lock is
// given back (drawing may log, and the lock is not recursive).
struct ShownLine {
    int level, number, hour, minute;
    nString thread, text;
};

}  // namespace

// ---------------------------------------------------------------- console

void kdConsole::Draw() {
    if (!enabled || !(openness > 0)) return;
    if (!font) font = KD_GetFont("core/console.sft");
    kd_font_t* f = ConsoleFont(font);
    float e = sinf(openness * kPi / 2);
    ResetTextState();
    kd->SetColor(1, 1, 1);
    float W = (float)ScreenWidth();
    int full = (int)((float)ScreenHeight() * 0.8f);
    int fsize = f && f->size > 0 ? f->size : 16;
    int list_h = (int)((float)(full - 2 - fsize) * e);
    int per_page = list_h / fsize;
    if (per_page < 1) per_page = 1;

    nArray<ShownLine> shown;
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    nArray<int> listed;
    for (int i = 0; i < lines.count; i++)
        if (!input[0] || (lines[i].text && strstr(lines[i].text, input))) listed.InsertLast(i);
    // Scrolling by the bar at the right edge: the pointer's height picks
    // the offset (0 at the bottom).
    if (KD_GetKeyStatei(510)) {
        float px = KD_GetKeyStatef(504), py = KD_GetKeyStatef(505);
        if (px >= W - 58 && list_h > 0) scroll = (int)((1.0f - py / (float)list_h) * (float)listed.count);
    }
    if (scroll > listed.count - per_page) scroll = listed.count - per_page;
    if (scroll < 0) scroll = 0;
    for (int k = listed.count - 1 - scroll; k >= 0 && shown.count < per_page + 1; k--) {
        const line_t& l = lines[listed[k]];
        ShownLine s;
        s.level = l.level;
        s.number = l.number;
        s.hour = l.date[3];
        s.minute = l.date[4];
        s.thread = l.thread ? l.thread : "";
        s.text = l.text ? l.text : "";
        shown.InsertLast(s);
    }
    int listed_count = listed.count;
    char input_copy[KD_CONSOLE_INPUT];
    memcpy(input_copy, input, sizeof input_copy);
    int cur = cursor;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);

    float drawn_h = (float)list_h + 2 + (float)fsize;
    kd->SetBlend(0);
    kd->SetColor(0.2f, 0.3f, 0.5f);
    kd->SetAlpha(0.6f * e);
    kd->DrawRect(0, 0, W - 8, drawn_h);
    kd->SetAlpha(0.9f * e);
    kd->DrawRect(W - 8, 0, 8, drawn_h);
    kd->SetColor(1, 1, 1);
    kd->DrawRect(0, drawn_h - 2, W, 2);
    kd->DrawRect(W - 9, 0, 1, drawn_h);
    if (listed_count > 0) {
        float thumb = (float)list_h * (float)(per_page < listed_count ? per_page : listed_count) / (float)listed_count;
        float thumb_y = (float)list_h - thumb - (float)list_h * (float)scroll / (float)listed_count;
        kd->SetColor(0.5f, 0.6f, 0.9f);
        kd->DrawRect(W - 7, thumb_y, 6, thumb);
    }
    if (!f) {
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(1);
        return;
    }
    float input_y = (float)list_h;
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(0.75f * e);
    kd->DrawRect(0, input_y - 1, W - 9, 1);
    kd->SetAlpha(e);
    KD_DrawTextf(f, 10, input_y, "%s", input_copy);
    char upto[KD_CONSOLE_INPUT];
    if (cur < 0) cur = 0;
    if (cur > (int)strlen(input_copy)) cur = (int)strlen(input_copy);
    memcpy(upto, input_copy, (size_t)cur);
    upto[cur] = 0;
    float cx = 10 + KD_GetTextWidthf(f, "%s", upto);
    kd->SetAlpha((1 - blink) * e);
    kd->DrawRect(cx, input_y, 2, (float)fsize);

    float lh = (float)(f->line_height > 0 ? f->line_height : fsize);
    float y = input_y - lh;
    static const float colours[4][3] = {{1, 1, 1}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < shown.count && y > -lh; i++, y -= lh) {
        const ShownLine& s = shown[i];
        const float* c = colours[s.level < 4 ? s.level : 2];
        kd->SetColor(c[0], c[1], c[2]);
        kd->SetAlpha(e);
        KD_SetTextTransform(0.9f, 0.9f, 0);
        KD_DrawTextf(f, 10, y, "#%.4d: ", s.number);
        KD_DrawTextf(f, 60, y, "[%.2d:%.2d]", s.hour, s.minute);
        float tw = KD_DrawTextf(f, 110, y, "[%s]>", s.thread.c_str());
        KD_SetTextTransform(1, 1, 0);
        kd->SetColor(c[0], c[1], c[2]);
        float tx = (float)(int)(0.9f * tw + 110);
        // Line ends are not drawn (they would only add empty lines).
        char text_buf[KD_PRINT_BUFFER];
        nStringFormat(text_buf, sizeof text_buf, "%s", s.text.c_str());
        size_t tl = strlen(text_buf);
        while (tl > 0 && (text_buf[tl - 1] == '\n' || text_buf[tl - 1] == '\r')) text_buf[--tl] = 0;
        if (input_copy[0] && tl < 512) {
            // The filter shows up in light blue; bars in the line are
            // doubled so that they stay text.
            char marked[4096];
            int n = 0;
            const char* t = text_buf;
            size_t fl = strlen(input_copy);
            while (*t && n < (int)sizeof marked - 64) {
                if (strncmp(t, input_copy, fl) == 0) {
                    n += snprintf(marked + n, sizeof marked - (size_t)n, "|#1199ff|%s|#%02x%02x%02x|", input_copy,
                                  (int)(c[0] * 255), (int)(c[1] * 255), (int)(c[2] * 255));
                    t += fl;
                } else {
                    if (*t == '|') marked[n++] = '|';
                    marked[n++] = *t++;
                }
            }
            marked[n] = 0;
            KD_DrawTextf(f, tx, y, "%s", marked);
        } else {
            KD_DrawTextf(f, tx, y, "%s", text_buf);
        }
    }
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
}

// --------------------------------------------------------------- the HUDs

void KDI_UpdateAndDrawHUDs(float dt) {
    kd_state.fps_frames++;
    kd_state.fps_seconds += (float)(int)(dt * 1000) * 0.001f;
    if (kd_state.fps_seconds > 1.5f) {
        kd_state.fps_value = (float)kd_state.fps_frames / kd_state.fps_seconds;
        kd_state.fps_frames = 0;
        kd_state.fps_seconds = 0;
    }
    kd_font_t* first = FirstFont();
    if (kd_state.show_fps && first) {
        kd->SetColor(0, 0, 0);
        kd->SetAlpha(0.8f);
        kd->DrawRect(1, 1, KD_GetTextWidthf(first, "%.0f", kd_state.fps_value) + 2, (float)first->size + 2);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(1);
        kd->SetBlend(0);
        ResetTextState();
        KD_DrawTextf(first, 2, 2, "%.0f", kd_state.fps_value);
    }
    if (kd_state.developer_mode) {
        static int calls = 0;
        if (++calls % 30 == 0) {
            KD_CallExtension("RefreshMemUsageEstimates", "");
            Memdog()->Sample(KD_GetKeyStatei(2005), KD_GetKeyStatei(2002), KD_GetKeyStatei(2003));
        }
        KD_SetTextAlign(0);
        kd->SetColor(1, 1, 1);
        kd->SetAlpha(1);
        kd->SetBlend(0);
        if (KD_GetKeyStatei(112) && first) KD_DrawTextf(first, 100, 50, "%.0f", kd_state.fps_value);
        if (KD_GetKeyStatei(113)) Memdog()->Draw();
        if (KD_GetKeyStatei(114)) DrawFrameTimeGraph(dt, first);
        if (KD_GetKeyStatei(115) & 1) KD_CallExtension("ListResourceUsage", nullptr);
        if (KD_GetKeyStatei(116) || KDI_FeatureExists("SHOW_INFO")) DrawInfoPanel();
    }
    kd_con.Update(dt);
    kd_con.Draw();
}

void KDI_UpdateAndDrawOverlays(float dt) { KDI_UpdateAndDrawHUDs(dt); }
