// Screen resolution and screen transforms: which size the
// program runs at, how its picture is scaled, centred and rotated onto the
// device every frame, the letter-box bars, and the choice of source bitmaps
// by scale for generated fonts.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "kd-internal.h"
#include "kd-settings.h"
#include "kd-xmldb.h"
#include "rendimp.h"

// ------------------------------------------------------ resolution list

namespace {

struct Resolution {
    int w, h;
};

// Reads the list: nothing from a list of 512 characters
// or more; at most the first 32 comma-separated fields; an empty field ends
// the list; "*" is the device's size; entries whose area is not above 0
// are skipped.
int ReadResolutionList(const char* list, Resolution* out, int max) {
    if (!list) return 0;
    size_t len = strlen(list);
    if (len >= 512) return 0;
    char work[512];
    memcpy(work, list, len + 1);
    int n = 0;
    char* p = work;
    for (int field = 0; field < 32 && n < max; field++) {
        char* comma = strchr(p, ',');
        if (comma) *comma = 0;
        if (!*p) break;
        int w, h;
        if (*p == '*') {
            w = kd_state.device_width;
            h = kd_state.device_height;
        } else {
            w = atoi(p);
            const char* x = strchr(p, 'x');
            h = x ? atoi(x + 1) : 0;
        }
        if ((long long)w * (long long)h > 0 && w > 0) {
            out[n].w = w;
            out[n].h = h;
            n++;
        }
        if (!comma) break;
        p = comma + 1;
    }
    return n;
}

void SetProgramSize(int w, int h) {
    if (!kd_prog) return;
    kd_prog->parms.width = w;
    kd_prog->parms.height = h;
}

}  // namespace

bool KDI_IsResolutionSupportedByDevice(int w, int h, bool windowed) {
    if (kd_state.force_screen_size && kd_state.forced_width == w && kd_state.forced_height == h) return true;
    if (!ri || !ri->IsResolutionSupported(w, h)) return false;
    KD_PrintDebugf(KD_LOG_SYSTEM, "Requested resolution %dx%d (windowed=%d) is supported.\n", w, h, windowed ? 1 : 0);
    return true;
}

bool KDI_SelectOptimalResolution(bool windowed, bool forcing) {
    const char* list = kd_state.resolutions;
    if (!list) return false;
    KD_Printf("Selecting optimal resolution for %s %s\n", windowed ? "windowed" : "fullscreen",
              forcing ? "(forcing)" : "");
    KD_Printf("Desktop size %dx%d.\n", kd_device_info.desktop_width, kd_device_info.desktop_height);
    if (kd_state.force_screen_size) {
        KD_Printf("Selected %dx%d. (forced)", kd_state.forced_width, kd_state.forced_height);
        SetProgramSize(kd_state.forced_width, kd_state.forced_height);
        return true;
    }
    Resolution entries[32];
    int n = ReadResolutionList(list, entries, 32);
    KD_Printf("Trying to find any resolution.");
    for (int i = 0; i < n; i++) {
        KD_Printf("Trying %dx%d\n", entries[i].w, entries[i].h);
        if (forcing || KDI_IsResolutionSupportedByDevice(entries[i].w, entries[i].h, windowed)) {
            KD_Printf("Selected %dx%d.", entries[i].w, entries[i].h);
            SetProgramSize(entries[i].w, entries[i].h);
            return true;
        }
    }
    KD_Printf("Trying to select the smallest possible resolution.");
    KD_PrintDebugf(KD_LOG_WARNING, "No resolution found in KDI_SelectOptimalResolution!");
    return false;
}

// Start-up's selection for the requested window mode. The choice asks the
// renderer for its modes, so the renderer is loaded first when the
// settings reader has not loaded it yet.
void KDI_SelectResolution(bool windowed) {
    if (!kd_state.resolutions) return;
    if (!ri) KDI_LoadRendImp();
    KDI_SelectOptimalResolution(windowed, false);
}

bool KDI_DoesProgramSupportResolution(int w, int h) {
    Resolution entries[32];
    const char* list = kd_state.resolutions;
    if (!list || strlen(list) >= 512) return false;
    // "*" is matched as written, not by the device's size.
    char work[512];
    memcpy(work, list, strlen(list) + 1);
    char* p = work;
    for (int field = 0; field < 32; field++) {
        char* comma = strchr(p, ',');
        if (comma) *comma = 0;
        if (!*p) return false;
        if (*p == '*') return true;
        if (ReadResolutionList(p, entries, 1) == 1 &&
            ((entries[0].w == w && entries[0].h == h) || (entries[0].w == h && entries[0].h == w)))
            return true;
        if (!comma) return false;
        p = comma + 1;
    }
    return false;
}

// ------------------------------------------------------------ autoscaling

// The program draws at the reference size whenever autoscaling is on: its
// record says so from the moment the scale is known, so that what the
// program sets up before its first frame (the screen manager's virtual
// screen) already has the size it will draw at, not the window's. Between
// frames, a size the program has asked for stands until the
// re-initialisation takes it.
static void GiveProgramTheReferenceSize(bool between_frames) {
    if (!kd_state.autoscale || !kd_prog || (between_frames && kd_state.reinit_pending)) return;
    kd_prog->parms.width = kd_parms.width = kd_state.reference_width;
    kd_prog->parms.height = kd_parms.height = kd_state.reference_height;
}

// Scales and centres a ref_w x ref_h picture on a screen_w x screen_h
// screen, once, as the settings ask or, with keep_aspect, with bars.
static void ScalePicture(int ref_w, int ref_h, int screen_w, int screen_h, bool keep_aspect) {
    float sx = (float)screen_w / (float)ref_w, sy = (float)screen_h / (float)ref_h;
    if (keep_aspect) sx = sy = sx < sy ? sx : sy;
    kd_state.scale_x = sx;
    kd_state.scale_y = sy;
    kd_state.inv_scale_x = 1.0f / sx;
    kd_state.inv_scale_y = 1.0f / sy;
    kd_state.offset_x = (float)(int)((screen_w - sx * ref_w) * 0.5f);
    kd_state.offset_y = (float)(int)((screen_h - sy * ref_h) * 0.5f);
    KD_PrintDebugf(KD_LOG_SYSTEM, "Scale %dx%d -> %dx%d\n", ref_w, ref_h, screen_w, screen_h);
    KD_PrintDebugf(KD_LOG_SYSTEM, "Scale x=%.2f y=%.2f\n", sx, sy);
}

void KDI_SetupAutoscaling() {
    kd_parms_t* p = kd_prog ? &kd_prog->parms : &kd_parms;
    int screen_w = p->width, screen_h = p->height;
    int ref_w = p->reference_width, ref_h = p->reference_height;
    if (kd_state.autoscale && (ref_w <= 0 || ref_h <= 0)) {
        KD_PrintDebugf(KD_LOG_WARNING,
                       "Autoscaling: reference resolution %dx%d is not usable; using the window size %dx%d.\n", ref_w,
                       ref_h, screen_w, screen_h);
        ref_w = screen_w;
        ref_h = screen_h;
    }
    kd_state.reference_width = ref_w;
    kd_state.reference_height = ref_h;
    kd_state.offset_x = kd_state.offset_y = 0;
    kd_state.scale_x = kd_state.scale_y = 1;
    kd_state.inv_scale_x = kd_state.inv_scale_y = 1;
    if (!kd_state.autoscale) return;

    KD_PrintDebugf(KD_LOG_SYSTEM, "Setting up autoscaling from %dx%d -> %dx%d.\n", ref_w, ref_h, screen_w, screen_h);
    if (screen_w == ref_w && screen_h == ref_h) {
        KD_PrintDebugf(KD_LOG_SYSTEM, "Target resolution matches source, no need for scaling.\n");
        kd_state.autoscale = false;
        return;
    }
    if (screen_w <= 0 || screen_h <= 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "Autoscaling: window size %dx%d is not usable; autoscaling stays off.\n",
                       screen_w, screen_h);
        kd_state.autoscale = false;
        return;
    }
    ScalePicture(ref_w, ref_h, screen_w, screen_h, KDI_FeatureExists("AUTOSCALE_RETAIN_ASPECT_RATIO"));
    GiveProgramTheReferenceSize(false);
}

// After a re-initialisation: the window is the device's display and
// keeps its size, so a program that asked for another size (the UI
// editor's roomy window) has its picture scaled onto the window, whole
// and with its aspect, rather than cut at the window's edges.
void KDI_FitProgramToDevice() {
    if (!kd_prog) return;
    int w = kd_prog->parms.width, h = kd_prog->parms.height;
    int dw = kd_state.device_width, dh = kd_state.device_height;
    if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) return;
    bool configured = w == kd_prog->parms.reference_width && h == kd_prog->parms.reference_height;
    kd_state.reference_width = w;
    kd_state.reference_height = h;
    kd_state.autoscale = w != dw || h != dh;
    if (!kd_state.autoscale) {
        kd_state.offset_x = kd_state.offset_y = 0;
        kd_state.scale_x = kd_state.scale_y = kd_state.inv_scale_x = kd_state.inv_scale_y = 1;
        return;
    }
    ScalePicture(w, h, dw, dh, !configured || KDI_FeatureExists("AUTOSCALE_RETAIN_ASPECT_RATIO"));
    GiveProgramTheReferenceSize(false);
}

// ------------------------------------------------------- screen transforms

float KDI_GetOrientationAngle(int code) {
    switch (code) {
        case 2: return 180.0f;
        case 4: return -90.0f;
        case 8: return 90.0f;
        default: return 0.0f;
    }
}

void KDI_UpdateScreenTransforms(float) {
    kd_state.orientation_mask = (kd_prog && kd_prog->parms.width > kd_prog->parms.height) ? 12 : 3;
    kd_state.rotation_angle = KDI_GetOrientationAngle(kd_state.orientation_current);
}

static nTransform Translation(float x, float y) {
    nTransform t = kd_transform_identity;
    t.m[3] = x;
    t.m[7] = y;
    return t;
}

static nTransform Mul(const nTransform& a, const nTransform& b) {
    nTransform r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0;
            for (int k = 0; k < 4; k++) s += a.m[i * 4 + k] * b.m[k * 4 + j];
            r.m[i * 4 + j] = s;
        }
    return r;
}

void KDI_PushScreenTransforms() {
    GiveProgramTheReferenceSize(true);
    const kd_parms_t& p = kd_prog ? kd_prog->parms : kd_parms;
    float w = (float)p.width, h = (float)p.height;
    int program_orientation = p.height < p.width ? 4 : 1;

    nTransform m = Translation(kd_state.device_width * 0.5f, kd_state.device_height * 0.5f);
    if (kd_state.autoscale) {
        nTransform s = kd_transform_identity;
        s.m[0] = kd_state.scale_x;
        s.m[5] = kd_state.scale_y;
        m = Mul(m, s);
    }
    if (program_orientation != kd_state.device_orientation) {
        float a = kd_state.rotation_angle * 3.1415927f / 180.0f;
        nTransform r = kd_transform_identity;
        r.m[0] = cosf(a);
        r.m[1] = -sinf(a);
        r.m[4] = sinf(a);
        r.m[5] = cosf(a);
        m = Mul(m, r);
    }
    m = Mul(m, Translation(-w * 0.5f, -h * 0.5f));
    kd->PushTransform(&m);
}

void KDI_PopScreenTransforms() { kd->PopTransform(); }

void KDI_DrawScreenBorderRectangles() {
    if (!(kd_state.offset_x > 0) && !(kd_state.offset_y > 0)) return;
    const kd_parms_t& p = kd_prog ? kd_prog->parms : kd_parms;
    float w = (float)p.width, h = (float)p.height;
    kd->SetAlpha(1.0f);
    kd->SetColor(0, 0, 0);
    kd->SetBlend(0);
    if (kd_state.offset_y > 0) {
        kd->DrawRect(0, h, w, h);
        kd->DrawRect(0, -h, w, h);
    }
    if (kd_state.offset_x > 0) {
        kd->DrawRect(w, 0, w, h);
        kd->DrawRect(-w, 0, w, h);
    }
    kd->SetColor(1, 1, 1);
}

void KDI_DrawScreenBorders() { KDI_DrawScreenBorderRectangles(); }

// ------------------------------------------------ source bitmaps by scale

double KDIF_GetInputBitmapScaleFactor(const char* id) {
    if (!id || strncmp(id, "INPUT@", 6) != 0) return 1.0;
    char text[256];
    int n = 0;
    for (const char* s = id + 6; *s && n < (int)sizeof text - 1; s++)
        if (*s != 'x' && *s != 'X') text[n++] = *s;
    text[n] = 0;
    char* slash = strchr(text, '/');
    if (!slash) return atof(text);
    *slash = 0;
    double a = text[0] ? atof(text) : 1.0;
    double b = slash[1] ? atof(slash + 1) : 1.0;
    return b != 0.0 ? a / b : 0.0;
}

const char* KDIF_SelectBestInputBitmapForScaling(KD_DMArray* array, double scale) {
    const char* candidate = nullptr;
    double candidate_factor = 0;
    if (array) {
        for (int i = 0; i < array->GetSize(); i++) {
            KD_DMNode* node = array->GetNode(i);
            const char* id = node ? node->name : nullptr;
            if (!id || strncmp(id, "INPUT", 5) != 0) continue;
            double f = KDIF_GetInputBitmapScaleFactor(id);
            if (fabs(f - scale) < 0.01) return id;
            if (!candidate || (candidate_factor < f && candidate_factor < scale)) {
                candidate = id;
                candidate_factor = f;
            }
        }
    }
    KD_Printf("Selecting bitmap input '%s' for scale %.2fx (closest match).\n", candidate ? candidate : "(null)",
              scale);
    return candidate;
}
