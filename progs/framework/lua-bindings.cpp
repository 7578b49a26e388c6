// The built-in script functions. See lua-bindings.h; lua-args.h says how a
// file of script functions is written.
#include "lua-bindings.h"

#include <limits.h>
#include <stdio.h>

#include "audioman.h"
#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"
#include "localization.h"
#include "lua-args.h"
#include "manager.h"
#include "nstring.h"
#include "particle-effects.h"
#include "particles.h"

namespace {

kd_parms_t* Parms() { return Manager::GetParms(); }

// Look-up only first, so a bitmap already loaded with another cache mode
// is used as it is; otherwise find or load.
kd_bitmap_t* BitmapByName(const char* name) {
    if (!name) return nullptr;
    kd_bitmap_t* bm = kd->GetBitmapEx(name, 16);
    if (!bm) bm = kd->GetBitmap(name);
    return bm;
}

// Pixel access of a bitmap held in memory: rows of `stride` pixels.
struct Pixels {
    uint8_t* data = nullptr;
    int width = 0, height = 0, stride = 0;
    uint8_t* At(int index) const { return data + ((size_t)(index / width) * stride + index % width) * 4; }
};

// A bitmap whose pixel memory really covers width x height.
bool GetPixels(kd_bitmap_t* bm, Pixels* out) {
    if (!bm || bm->width < 1 || bm->height < 1 || !bm->pixels) return false;
    int stride = bm->pb_width > 0 ? bm->pb_width : bm->width;
    int rows = bm->pb_height > 0 ? bm->pb_height : bm->height;
    if (stride < bm->width || rows < bm->height) return false;
    out->data = bm->pixels;
    out->width = bm->width;
    out->height = bm->height;
    out->stride = stride;
    return true;
}

int FontHeight(kd_font_t* font) { return font->size; }

int Truncate(float v) {
    if (v != v) return 0;
    if (v >= (float)INT_MAX) return INT_MAX;
    if (v <= (float)INT_MIN) return INT_MIN;
    return (int)v;
}

// ---------------------------------------------------------------------------

int luaf_GetVersionString(lua_State* L) {
    kd_prog_t* prog = Manager::GetProgramRecord();
    char version[sizeof prog->version + 1] = {0};
    if (prog) memcpy(version, prog->version, sizeof prog->version);
    return LuaReturnText(L, version);
}

int luaf_KodoShutdown(lua_State* L) {
    kd->SignalShutdown();
    return 0;
}

int luaf_KD_LoadBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (!name) return 0;
    const char* mode = a.OptText(2);
    kd->LoadBitmap(name, a.Has(2) && nStringsMatch(mode, "NOTHING") ? 0 : 4);
    return 0;
}

int luaf_KD_GetBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) kd->GetBitmap(name);
    return 0;
}

int luaf_KD_GetBitmapWidth(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    return LuaReturnInt(L, bm ? bm->width : 0);
}

int luaf_KD_GetBitmapHeight(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    return LuaReturnInt(L, bm ? bm->height : 0);
}

int luaf_KD_GetFont(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) kd->GetFont(name);
    return 0;
}

int luaf_KD_GetFontHeight(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    kd_font_t* font = name ? kd->GetFont(name) : nullptr;
    return LuaReturnInt(L, font ? FontHeight(font) : 0);
}

int luaf_KD_DrawBitmapRS(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float x = a.Float(2), y = a.Float(3), r = a.Float(4), s = a.Float(5);
    if (bm) kd->DrawBitmapRS(bm, x, y, r, s);
    return 0;
}

int luaf_KD_DrawBitmapMirroredRS(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float x = a.Float(2), y = a.Float(3), r = a.Float(4), s = a.Float(5);
    if (!bm) return 0;
    float left = bm->hw.left_u, right = bm->hw.right_u;
    bm->hw.left_u = right;
    bm->hw.right_u = left;
    kd->DrawBitmapRS(bm, x, y, r, s);
    bm->hw.left_u = left;
    bm->hw.right_u = right;
    return 0;
}

int luaf_KD_DrawBitmapS(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float x = a.Float(2), y = a.Float(3), s = a.Float(4);
    if (!bm) return 0;
    if (bm->width & 1) x += 0.5f;
    if (bm->height & 1) y += 0.5f;
    kd->DrawBitmapRS(bm, x + s * bm->width * 0.5f, y + s * bm->height * 0.5f, 0, s);
    return 0;
}

int luaf_KD_DrawBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float x = a.Float(2), y = a.Float(3);
    if (bm) kd->DrawBitmap(bm, x, y);
    return 0;
}

int luaf_KD_DrawSubBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float v[6];
    for (int i = 0; i < 6; i++) v[i] = a.Float(2 + i);
    if (bm) kd->DrawSubBitmap(bm, v[0], v[1], v[2], v[3], v[4], v[5]);
    return 0;
}

int luaf_KD_DrawBitmapAligned(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    float x = a.Float(2), y = a.Float(3);
    int flags = ParseDrawAlignFlags(a.OptText(4));
    if (!bm) return 0;
    if (flags & 2) y -= bm->height;
    if (flags & 4) y -= bm->height / 2;
    if (flags & 1) x -= bm->width;
    if (flags & 8) x -= bm->width / 2;
    kd->DrawBitmap(bm, x, y);
    return 0;
}

int luaf_KD_DrawRect(lua_State* L) {
    LuaArgs a(L, __func__);
    float x = a.Float(1), y = a.Float(2), w = a.Float(3), h = a.Float(4);
    kd->DrawRect(x, y, w, h);
    return 0;
}

int luaf_KD_DrawLine(lua_State* L) {
    LuaArgs a(L, __func__);
    float x1 = a.Float(1), y1 = a.Float(2), x2 = a.Float(3), y2 = a.Float(4);
    kd->DrawLine(x1, y1, x2, y2);
    return 0;
}

int luaf_KD_DrawText(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* fontname = a.Text(1);
    float x = a.Float(2), y = a.Float(3);
    const char* text = a.Text(4);
    int result = 0;
    if (fontname && text) {
        kd_font_t* font = kd->GetFont(fontname);
        result = Truncate(kd->DrawTextf(font, x, y, "%s", text));
    }
    return LuaReturnInt(L, result);
}

int luaf_KD_SetPixelFilter(lua_State* L) {
    LuaArgs a(L, __func__);
    kd->SetPixelFilter(nStringsMatchIncaseSensitive(a.OptText(1), "POINT") ? 0 : 1);
    return 0;
}

int luaf_KD_SetColor(lua_State* L) {
    LuaArgs a(L, __func__);
    float r = a.Float(1), g = a.Float(2), b = a.Float(3);
    kd->SetColor(r, g, b);
    return 0;
}

int luaf_KD_SetAlpha(lua_State* L) {
    LuaArgs a(L, __func__);
    float v = a.Float(1);
    kd->SetAlpha(v);
    return 0;
}

int luaf_KD_SetBlend(lua_State* L) {
    LuaArgs a(L, __func__);
    kd->SetBlend(nStringsMatch(a.OptText(1), "ADDITIVE") ? 1 : 0);
    return 0;
}

int luaf_KD_SetTextAlign(lua_State* L) {
    LuaArgs a(L, __func__);
    kd->SetTextAlign(ParseDrawAlignFlags(a.OptText(1)));
    return 0;
}

int luaf_KD_SetTextboxWidth(lua_State* L) {
    LuaArgs a(L, __func__);
    int w = a.Int(1);
    kd->SetTextboxWidth(w);
    return 0;
}

int luaf_KD_SetTextTransform(lua_State* L) {
    LuaArgs a(L, __func__);
    float sx = a.Float(1), sy = a.Float(2), angle = a.Float(3);
    kd->SetTextTransform(sx, sy, angle);
    return 0;
}

int luaf_KD_SetScissorRect(lua_State* L) {
    LuaArgs a(L, __func__);
    int x = a.Int(1), y = a.Int(2), w = a.Int(3), h = a.Int(4);
    kd->SetScissorRect(x, y, w, h);
    return 0;
}

int luaf_KD_RemoveScissorRect(lua_State* L) {
    kd->SetScissorRect(0, 0, Parms()->width, Parms()->height);
    return 0;
}

int luaf_KD_SetBitmapFrame(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    int frame = a.Int(2);
    if (bm) kd->SetBitmapFrame(bm, frame);
    return 0;
}

int luaf_KD_GetNumBitmapFrames(lua_State* L) {
    LuaArgs a(L, __func__);
    kd_bitmap_t* bm = BitmapByName(a.Text(1));
    return LuaReturnInt(L, bm ? bm->frame_count : 0);
}

int TextMeasure(lua_State* L, const char* fn, bool width) {
    LuaArgs a(L, fn);
    const char* fontname = a.Text(1);
    const char* text = a.Text(2);
    int result = 0;
    if (fontname && text) {
        kd_font_t* font = kd->GetFont(fontname);
        if (font) result = Truncate(width ? kd->GetTextWidthf(font, "%s", text) : kd->GetTextHeightf(font, "%s", text));
    }
    return LuaReturnInt(L, result);
}

int luaf_KD_GetTextWidth(lua_State* L) { return TextMeasure(L, __func__, true); }
int luaf_KD_GetTextHeight(lua_State* L) { return TextMeasure(L, __func__, false); }

int luaf_KD_GetKeyState(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnInt(L, kd->GetKeyStatei(KD_GetKeyByName(a.Text(1))));
}

int luaf_KD_GetKeyStateFloat(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnNumber(L, kd->GetKeyStatef(KD_GetKeyByName(a.Text(1))));
}

int luaf_KD_SetKeyState(lua_State* L) {
    LuaArgs a(L, __func__);
    int key = KD_GetKeyByName(a.Text(1));
    int v = a.Int(2);
    kd->SetKeyStatei(key, v);
    return 0;
}

int luaf_KD_SetKeyStateFloat(lua_State* L) {
    LuaArgs a(L, __func__);
    int key = KD_GetKeyByName(a.Text(1));
    float v = a.Float(2);
    kd->SetKeyStatef(key, v);
    return 0;
}

int luaf_KD_SlideMusicVolume(lua_State* L) {
    LuaArgs a(L, __func__);
    float target = a.Float(1), time = a.Float(2);
    kd->SlideMusicVolume(target * aman.GetMusicVolume(), time);
    return 0;
}

int luaf_KD_GetSound(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) kd->GetSound(name);
    return 0;
}

// Defaults only for absent arguments: an explicit nil reads as 0.
int PlaySoundBinding(lua_State* L, const char* fn) {
    LuaArgs a(L, fn);
    const char* name = a.Text(1);
    float volume = a.Has(2) ? (float)lua_tonumber(L, 2) : 1.0f;
    float pan = a.Has(3) ? (float)lua_tonumber(L, 3) : 0.0f;
    float freq = a.Has(4) ? (float)lua_tonumber(L, 4) : 1.0f;
    long channel = 0;
    if (name) channel = aman.PlaySound(kd->GetSound(name), volume, pan, freq);
    return LuaReturnInt(L, (lua_Integer)channel);
}

int luaf_KD_PlaySound(lua_State* L) { return PlaySoundBinding(L, __func__); }

int luaf_KD_LoadSound(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) kd->LoadSound(name);
    return 0;
}

int luaf_KD_ReleaseSound(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (!name) return 0;
    kd_sound_t* s = kd->GetSoundEx(name, 16);
    if (s) kd->ReleaseSound(s);
    return 0;
}

int luaf_KD_SetChannelFrequency(lua_State* L) {
    LuaArgs a(L, __func__);
    long ch = a.Int(1);
    float f = a.Float(2);
    kd->SetChannelFrequency(ch, f);
    return 0;
}

int luaf_KD_SetChannelLooping(lua_State* L) {
    LuaArgs a(L, __func__);
    long ch = a.Int(1);
    kd->SetChannelLooping(ch, a.Flag(2));
    return 0;
}

int luaf_KD_SetChannelPaused(lua_State* L) {
    LuaArgs a(L, __func__);
    long ch = a.Int(1);
    kd->SetChannelPaused(ch, a.Flag(2));
    return 0;
}

int luaf_KD_StopChannel(lua_State* L) {
    LuaArgs a(L, __func__);
    long ch = a.Int(1);
    kd->StopChannel(ch);
    return 0;
}

int luaf_KD_SlideChannelVolume(lua_State* L) {
    LuaArgs a(L, __func__);
    long ch = a.Int(1);
    float v = a.Float(2), t = a.Float(3);
    kd->SlideChannelVolume(ch, v, t);
    return 0;
}

int luaf_KD_SetSoundParm(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    const char* parm = a.Text(2);
    int value = a.Int(3);
    if (!name) return 0;
    kd_sound_t* s = kd->GetSound(name);
    if (s && nStringsMatchIncaseSensitive(parm, "MaxInstances")) s->max_instances = value;
    return 0;
}

int luaf_KD_CallExtension(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* command = a.Text(1);
    const char* parameter = a.OptText(2);
    if (!parameter) parameter = "";
    if (!command) return 0;
    // A rename would let a script move one player file over another (a
    // profile value over the purchase record); only the atomic save needs it.
    if (nStringsMatchIncaseSensitive(command, "RenameFile")) {
        kd->PrintDebugf(KD_LOG_WARNING, "KD_CallExtension: \"RenameFile\" is refused to scripts.\n");
        return 0;
    }
    // The engine may write into the parameter: it gets a copy of its own.
    char copy[1024];
    size_t len = strlen(parameter);
    if (len > 1022) return 0;
    memcpy(copy, parameter, len + 1);
    const char* answer = kd->CallExtension(command, copy);
    return LuaReturnText(L, answer);
}

int luaf_KD_GetTime(lua_State* L) { return LuaReturnInt(L, (lua_Integer)kd->GetTime()); }

int luaf_KD_Popup(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* text = a.Text(1);
    if (text) kd->Popupf(0, "%s", text);
    return 0;
}

int luaf_KD_CreateBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    int w = a.Int(2), h = a.Int(3);
    bool target = nStringsMatchIncaseSensitive(a.OptText(4), "RENDER_TARGET");
    kd_bitmap_t* bm = name ? kd->CreateBitmap(name, w, h, target ? 1 : 0) : nullptr;
    return LuaReturnBool(L, bm != nullptr);
}

int luaf_KD_RefreshBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    kd_bitmap_t* bm = name ? kd->GetBitmap(name) : nullptr;
    if (bm) kd->RefreshBitmap(bm);
    return LuaReturnBool(L, true);
}

int luaf_KD_ReleaseBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (!name) return 0;
    kd_bitmap_t* bm = kd->GetBitmapEx(name, 16);
    if (bm)
        kd->ReleaseBitmap(bm);
    else
        kd->Popupf(1, "Lua KD_ReleaseBitmap ('%s') - bitmap isn't loaded at all.", name);
    return 0;
}

int luaf_KD_SetBitmapCacheMode(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    const char* mode = a.OptText(2);
    if (!name) return 0;
    kd_bitmap_t* bm = kd->GetBitmap(name);
    int value = -1;
    if (nStringsMatchIncaseSensitive(mode, "FULL_DATA"))
        value = 6;
    else if (nStringsMatchIncaseSensitive(mode, "HW_DATA") || nStringsMatchIncaseSensitive(mode, "HW_DATA_ONLY"))
        value = 4;
    else if (nStringsMatchIncaseSensitive(mode, "NOTHING") || nStringsMatchIncaseSensitive(mode, "SOURCE_NAME_ONLY"))
        value = 0;
    else if (nStringsMatchIncaseSensitive(mode, "SW_DATA") || nStringsMatchIncaseSensitive(mode, "SW_DATA_ONLY"))
        value = 2;
    if (bm && value >= 0) kd->SetBitmapCacheMode(bm, value);
    return 0;
}

int luaf_KD_FileExists(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* path = a.Text(1);
    int found = 0;
    if (path) {
        kd_file_t* f = kd->OpenFile(path, "rb");
        if (f) {
            kd->CloseFile(f);
            found = 1;
        }
    }
    return LuaReturnInt(L, found);
}

int luaf_KD_IsPurchased(lua_State* L) { return LuaReturnBool(L, false); }

int luaf_KD_BlurBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    kd_bitmap_t* bm = name ? kd->GetBitmap(name) : nullptr;
    Pixels p;
    if (!GetPixels(bm, &p)) {
        return LuaReturnBool(L, false);
    }
    int w = p.width, h = p.height;
    auto avg = [&](int self, int n1, int n2, int n3, int n4) {
        uint8_t* d = p.At(self);
        uint8_t *a1 = p.At(n1), *a2 = p.At(n2), *a3 = p.At(n3), *a4 = p.At(n4);
        for (int c = 0; c < 3; c++) d[c] = (uint8_t)((a1[c] + a2[c] + a3[c] + a4[c]) >> 2);
    };
    // The edge rows need a row beside them: a one-row bitmap keeps its
    // pixels.
    if (h >= 2) {
        if (w > 2)
            for (int x = 1; x <= w - 2; x++) avg(x, x - 1, x, x + 1, x + w);
        for (int i = w * (h - 1) + 1; i <= w * h - 2; i++) avg(i, i - 1, i, i + 1, i - w);
        for (int i = w; i < w * (h - 1); i++) avg(i, i - 1, i + 1, i - w, i + w);
    }
    return LuaReturnBool(L, true);
}

int luaf_KD_CopyBitmap(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* n1 = a.Text(1);
    const char* n2 = a.Text(2);
    kd_bitmap_t* b1 = n1 ? kd->GetBitmap(n1) : nullptr;
    kd_bitmap_t* b2 = n2 ? kd->GetBitmap(n2) : nullptr;
    bool same = b1 && b2 && b1->width == b2->width && b1->height == b2->height && b1->pixels && b2->pixels;
    return LuaReturnBool(L, same);
}

int ColourFilter(lua_State* L, const char* fn, bool sepia) {
    LuaArgs a(L, fn);
    const char* name = a.Text(1);
    double amount = a.Number(2);
    kd_bitmap_t* bm = name ? kd->GetBitmap(name) : nullptr;
    Pixels p;
    if (!GetPixels(bm, &p)) {
        return LuaReturnBool(L, false);
    }
    if (!(amount >= 0)) amount = 0;  // NaN too
    if (amount > 1) amount = 1;
    unsigned w = (unsigned)(amount * 255), k = 255 - w;
    for (int i = 0; i < p.width * p.height; i++) {
        uint8_t* d = p.At(i);
        int m = (d[0] + d[1] + d[2]) / 3;
        int t[3] = {m, m, m};
        if (sepia) {
            t[0] = m + 20 > 255 ? 255 : m + 20;
            t[1] = m + 8 > 255 ? 255 : m + 8;
            t[2] = m - 15 < 0 ? 0 : m - 15;
        }
        for (int c = 0; c < 3; c++) d[c] = (uint8_t)((w * d[c] + k * (unsigned)t[c]) >> 8);
    }
    return LuaReturnBool(L, true);
}

int luaf_KD_BitmapColorSepia(lua_State* L) { return ColourFilter(L, __func__, true); }
int luaf_KD_BitmapColorBlackAndWhite(lua_State* L) { return ColourFilter(L, __func__, false); }

float Clamp01(double v) { return v != v || v < 0 ? 0.0f : v > 1 ? 1.0f : (float)v; }

int luaf_SetMusicVolume(lua_State* L) {
    LuaArgs a(L, __func__);
    float v = Clamp01(a.Number(1));
    float cur = aman.GetMusicVolume();
    if (v - cur < 0.000001f && cur - v < 0.000001f) return 0;
    aman.SlideMusicVolume(v, 0);
    return 0;
}

int luaf_SetSoundVolume(lua_State* L) {
    LuaArgs a(L, __func__);
    aman.SetSoundVolume(Clamp01(a.Number(1)));
    return 0;
}

int luaf_GetMusicVolume(lua_State* L) { return LuaReturnNumber(L, aman.GetMusicVolume()); }

int luaf_GetSoundVolume(lua_State* L) { return LuaReturnNumber(L, aman.GetSoundVolume()); }

int luaf_SetScreenWindowed(lua_State* L) {
    LuaArgs a(L, __func__);
    Parms()->windowed = a.Flag(1);
    return 0;
}

int luaf_IsScreenWindowed(lua_State* L) { return LuaReturnBool(L, Parms()->windowed); }

int luaf_CacheSound(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) kd->GetSound(name);
    return 0;
}

int luaf_PlaySound(lua_State* L) { return PlaySoundBinding(L, __func__); }

int luaf_SwitchMusic(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    float fin = a.Float(2), fout = a.Float(3);
    if (!name) return 0;
    aman.SwitchMusic(kd->GetSound(name), fin, fout);
    kd->Printf("Switching music to '%s'...\n", name);
    return 0;
}

int luaf_SlideMusicVolume(lua_State* L) {
    LuaArgs a(L, __func__);
    float target = a.Float(1), time = a.Float(2);
    aman.SlideMusicVolume(target, time);
    return 0;
}

int luaf_SetMusicLooping(lua_State* L) {
    LuaArgs a(L, __func__);
    kd->SetMusicLooping(a.Flag(1));
    return 0;
}

int luaf_StopMusic(lua_State* L) {
    LuaArgs a(L, __func__);
    aman.StopMusic(a.Float(1));
    return 0;
}

int luaf_GetCurrentMusicAsString(lua_State* L) {
    kd_sound_t* s = kd->GetMusicPlaying();
    return LuaReturnText(L, s ? s->name : nullptr);
}

int luaf_CacheFX(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    if (name) pbman.GetFX(name);
    return 0;
}

int luaf_SpawnFX(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* name = a.Text(1);
    float x = a.Float(2), y = a.Float(3), p = a.Float(4), q = a.Float(5);
    if (name) pbman.SpawnFX(&pman, pbman.GetFX(name), vec2_t{x, y}, p, q);
    return 0;
}

// An array or node argument: by index when numeric, else by id.
DMArray* ArrayArg(const LuaArgs& a, DMDatabase* db, int i) {
    if (!db) return nullptr;
    if (a.Has(i) && lua_isnumber(a.L, i)) return db->GetArray(a.Int(i));
    const char* id = a.Text(i);
    return id ? db->GetArray(id) : nullptr;
}

DMNode* NodeArg(const LuaArgs& a, DMArray* arr, int i) {
    if (!arr) return nullptr;
    if (a.Has(i) && lua_isnumber(a.L, i)) return arr->GetNode(a.Int(i));
    const char* id = a.Text(i);
    return id ? arr->GetNode(id) : nullptr;
}

DMDatabase* DatabaseArg(const LuaArgs& a) {
    const char* file = a.Text(1);
    // The data manager reads through the engine: nothing before it exists.
    return file ? dman.GetDatabase(file) : nullptr;
}

int luaf_DM_GetValue(lua_State* L) {
    LuaArgs a(L, __func__);
    DMDatabase* db = DatabaseArg(a);
    DMNode* node = NodeArg(a, ArrayArg(a, db, 2), 3);
    const char* name = a.OptText(4);
    const char* v = node && name ? node->GetValue(name) : nullptr;
    return LuaReturnText(L, v);
}

int luaf_DM_GetArraySize(lua_State* L) {
    LuaArgs a(L, __func__);
    DMArray* arr = ArrayArg(a, DatabaseArg(a), 2);
    if (!arr) return 0;
    return LuaReturnInt(L, arr->GetSize());
}

int luaf_DM_GetArrayId(lua_State* L) {
    LuaArgs a(L, __func__);
    DMDatabase* db = DatabaseArg(a);
    const char* id = a.OptText(2);
    DMArray* arr = db && id ? db->GetArray(id) : nullptr;
    return LuaReturnText(L, arr ? arr->GetId() : nullptr);
}

int luaf_DM_GetNumberOfArrays(lua_State* L) {
    LuaArgs a(L, __func__);
    DMDatabase* db = DatabaseArg(a);
    if (!db) return 0;
    return LuaReturnInt(L, db->GetNumberOfArrays());
}

int luaf_DM_GetNodeIndexById(lua_State* L) {
    LuaArgs a(L, __func__);
    DMDatabase* db = DatabaseArg(a);
    const char* arrid = a.Text(2);
    const char* nodeid = a.Text(3);
    DMArray* arr = db && arrid ? db->GetArray(arrid) : nullptr;
    if (!arr) return 0;
    return LuaReturnInt(L, nodeid ? arr->GetNodeIndexById(nodeid) : -1);
}

int luaf_LuaInclude(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* path = a.Text(1);
    if (!path) return 0;
    // The path may be a number converted in place on the stack: keep a
    // copy, the script run below may reuse that slot.
    nString copy(path);
    int top = lua_gettop(L);
    lua_man.ExecLuaFile(L, copy.c_str());
    lua_settop(L, top);
    return 0;
}

int ReturnTextOrEmpty(lua_State* L, const char* s) { return LuaReturnText(L, s ? s : ""); }

int luaf_Localize(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* text = a.Text(1);
    // Null (a text starting with '@') reaches the script as nil.
    return LuaReturnText(L, text ? loc_man.Localize(text) : "");
}

int luaf_LocalizeComment(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* text = a.Text(1);
    if (text) loc_man.LocalizeComment(text);
    return 0;
}

int luaf_LocalizeNewLine(lua_State* L) {
    loc_man.LocalizeNewLine();
    return 0;
}

int luaf_LocalizeNumber(lua_State* L) {
    LuaArgs a(L, __func__);
    return ReturnTextOrEmpty(L, loc_man.LocalizeNumber(a.Int(1)));
}

int luaf_LocalizeTime(lua_State* L) {
    LuaArgs a(L, __func__);
    int ms = a.Int(1);
    return ReturnTextOrEmpty(L, loc_man.LocalizeTime(ms > 0 ? (unsigned long)ms : 0));
}

int luaf_GetFormattedTime(lua_State* L) {
    LuaArgs a(L, __func__);
    int ms = a.Int(1);
    const char* format = a.OptText(2);
    if (!format) format = "HH:MM:SS";
    int s = ms / 1000, hours = s / 3600, rest = s % 3600;
    char text[64];
    int n = 0;
    if (hours != 0 || strchr(format, 'H')) n += snprintf(text + n, sizeof text - (size_t)n, "%.2d:", hours);
    snprintf(text + n, sizeof text - (size_t)n, "%.2d:%.2d", rest / 60, rest % 60);
    return LuaReturnText(L, text);
}

int luaf_ReloadFxs(lua_State* L) {
    pbman.ReloadAllFXs();
    return 0;
}

int luaf_IsDeveloperModeActive(lua_State* L) { return LuaReturnBool(L, Parms()->developer_mode); }

int luaf_Print(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* text = a.Text(1);
    if (text) kd->Printf("%s", text);
    return 0;
}

}  // namespace

int ParseDrawAlignFlags(const char* text) {
    if (!text) return 0;
    int flags = 0;
    if (strstr(text, "BOTTOM")) flags |= 2;
    if (strstr(text, "RIGHT")) flags |= 1;
    if (strstr(text, "HCENTER")) flags |= 8;
    if (strstr(text, "VCENTER")) flags |= 4;
    if (!strstr(text, "HCENTER") && !strstr(text, "VCENTER") && strstr(text, "CENTER")) flags |= 12;
    return flags;
}

int KD_GetKeyByName(const char* name) {
    if (!name || !*name) return 0;
    static const struct {
        const char* name;
        int id;
    } keys[] = {
        {"BACK", 8},           {"BACKSPACE", 8},        {"TAB", 9},
        {"CLEAR", 12},         {"RETURN", 13},          {"SHIFT", 16},
        {"CONTROL", 17},       {"MENU", 18},            {"PAUSE", 19},
        {"CAPITAL", 20},       {"ESCAPE", 27},          {"SPACE", 32},
        {"PAGEUP", 33},        {"PAGEDOWN", 34},        {"END", 35},
        {"HOME", 36},          {"LEFT", 37},            {"UP", 38},
        {"RIGHT", 39},         {"DOWN", 40},            {"SELECT", 41},
        {"PRINT", 42},         {"EXECUTE", 43},         {"INSERT", 45},
        {"DELETE", 46},        {"HELP", 47},            {"MOUSE_X", 504},
        {"MOUSE_Y", 505},      {"MOUSE_Z", 506},        {"MOUSE_WHEEL", 507},
        {"MOUSE_BUTTON_0", 510}, {"MOUSE_BUTTON_LEFT", 510}, {"MOUSE_BUTTON_1", 511},
        {"MOUSE_BUTTON_RIGHT", 511}, {"MOUSE_BUTTON_2", 512}, {"MOUSE_BUTTON_3", 513},
        {"MOUSE_BUTTON_4", 514}, {"MOUSE_BUTTON_5", 515}, {"MOUSE_BUTTON_6", 516},
        {"MOUSE_BUTTON_7", 517}, {"ACCELEROMETER_X", 1610}, {"ACCELEROMETER_Y", 1611},
        {"ACCELEROMETER_Z", 1612}, {"VOLUME_UP", 1632}, {"VOLUME_DOWN", 1633},
    };
    for (const auto& k : keys)
        if (strcmp(k.name, name) == 0) return k.id;
    if (name[1] == 0) {
        if (name[0] >= '0' && name[0] <= '9') return name[0];
        // A letter's key arrives as its capital's code, whatever Shift
        // says: "a" names that key (97 is the numeric pad's 1).
        if (name[0] >= 'a' && name[0] <= 'z') return name[0] - 'a' + 'A';
    }
    return 0;
}

const LuaBinding lua_builtin_bindings[] = {
    LUA_BINDING(GetVersionString),
    LUA_BINDING(KodoShutdown),
    LUA_BINDING(KD_LoadBitmap),
    LUA_BINDING(KD_GetBitmap),
    LUA_BINDING(KD_GetBitmapWidth),
    LUA_BINDING(KD_GetBitmapHeight),
    LUA_BINDING(KD_GetFont),
    LUA_BINDING(KD_GetFontHeight),
    LUA_BINDING(KD_DrawBitmapRS),
    LUA_BINDING(KD_DrawBitmapMirroredRS),
    LUA_BINDING(KD_DrawBitmapS),
    LUA_BINDING(KD_DrawBitmap),
    LUA_BINDING(KD_DrawSubBitmap),
    LUA_BINDING(KD_DrawBitmapAligned),
    LUA_BINDING(KD_DrawRect),
    LUA_BINDING(KD_DrawLine),
    LUA_BINDING(KD_DrawText),
    LUA_BINDING(KD_SetPixelFilter),
    LUA_BINDING(KD_SetColor),
    LUA_BINDING(KD_SetAlpha),
    LUA_BINDING(KD_SetBlend),
    LUA_BINDING(KD_SetTextAlign),
    LUA_BINDING(KD_SetTextboxWidth),
    LUA_BINDING(KD_SetTextTransform),
    LUA_BINDING(KD_SetScissorRect),
    LUA_BINDING(KD_RemoveScissorRect),
    LUA_BINDING(KD_SetBitmapFrame),
    LUA_BINDING(KD_GetNumBitmapFrames),
    LUA_BINDING(KD_GetTextWidth),
    LUA_BINDING(KD_GetTextHeight),
    LUA_BINDING(KD_GetKeyState),
    LUA_BINDING(KD_GetKeyStateFloat),
    LUA_BINDING(KD_SetKeyState),
    LUA_BINDING(KD_SetKeyStateFloat),
    LUA_BINDING(KD_SlideMusicVolume),
    LUA_BINDING(KD_GetSound),
    LUA_BINDING(KD_PlaySound),
    LUA_BINDING(KD_LoadSound),
    LUA_BINDING(KD_ReleaseSound),
    LUA_BINDING(KD_SetChannelFrequency),
    LUA_BINDING(KD_SetChannelLooping),
    LUA_BINDING(KD_SetChannelPaused),
    LUA_BINDING(KD_StopChannel),
    LUA_BINDING(KD_SlideChannelVolume),
    LUA_BINDING(KD_SetSoundParm),
    LUA_BINDING(KD_CallExtension),
    LUA_BINDING(KD_GetTime),
    LUA_BINDING(KD_Popup),
    LUA_BINDING(KD_CreateBitmap),
    LUA_BINDING(KD_RefreshBitmap),
    LUA_BINDING(KD_ReleaseBitmap),
    LUA_BINDING(KD_SetBitmapCacheMode),
    LUA_BINDING(KD_FileExists),
    LUA_BINDING(KD_IsPurchased),
    LUA_BINDING(KD_BlurBitmap),
    LUA_BINDING(KD_CopyBitmap),
    LUA_BINDING(KD_BitmapColorSepia),
    LUA_BINDING(KD_BitmapColorBlackAndWhite),
    LUA_BINDING(SetMusicVolume),
    LUA_BINDING(SetSoundVolume),
    LUA_BINDING(GetMusicVolume),
    LUA_BINDING(GetSoundVolume),
    LUA_BINDING(SetScreenWindowed),
    LUA_BINDING(IsScreenWindowed),
    LUA_BINDING(CacheSound),
    LUA_BINDING(PlaySound),
    LUA_BINDING(SwitchMusic),
    LUA_BINDING(SlideMusicVolume),
    LUA_BINDING(SetMusicLooping),
    LUA_BINDING(StopMusic),
    LUA_BINDING(GetCurrentMusicAsString),
    LUA_BINDING(CacheFX),
    LUA_BINDING(SpawnFX),
    LUA_BINDING(DM_GetValue),
    LUA_BINDING(DM_GetArraySize),
    LUA_BINDING(DM_GetArrayId),
    LUA_BINDING(DM_GetNumberOfArrays),
    LUA_BINDING(DM_GetNodeIndexById),
    LUA_BINDING(LuaInclude),
    LUA_BINDING(Localize),
    LUA_BINDING(LocalizeComment),
    LUA_BINDING(LocalizeNewLine),
    LUA_BINDING(LocalizeNumber),
    LUA_BINDING(LocalizeTime),
    LUA_BINDING(GetFormattedTime),
    LUA_BINDING(ReloadFxs),
    LUA_BINDING(IsDeveloperModeActive),
    LUA_BINDING(Print),
};

const int lua_builtin_binding_count = (int)std::size(lua_builtin_bindings);
static_assert(std::size(lua_builtin_bindings) == 88, "88 built-in bindings");
