// Fake bitmaps and fonts for the widget kind tests, and a recording copy
// of the engine table whose bitmap, text and extension slots note what
// the widgets draw and ask for. Text measures 10 pixels per character
// (per code point for UTF-8 fonts) times the text transform's x scale.
#ifndef WIDGET_FAKES_H
#define WIDGET_FAKES_H

#include <stdarg.h>
#include <string.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "luaman.h"
#include "recording-kd.h"
#include "ui/screen-manager.h"
#include "ui/ui-widgets.h"

namespace wf {

inline std::map<std::string, kd_bitmap_t*>& Bitmaps() {
    static std::map<std::string, kd_bitmap_t*> m;
    return m;
}
inline std::map<std::string, kd_font_t*>& Fonts() {
    static std::map<std::string, kd_font_t*> m;
    return m;
}
inline float& TextScaleX() {
    static float s = 1;
    return s;
}
inline std::vector<std::string>& Calls() { return rec().calls; }

inline std::string F(float v) {
    char b[32];
    snprintf(b, sizeof b, "%g", v);
    return b;
}

struct FakeBitmap {
    kd_bitmap_t bm;
    std::string name_text;
    FakeBitmap(const std::string& name, int w, int h) : name_text(name) {
        memset(&bm, 0, sizeof bm);
        bm.name = (char*)name_text.c_str();
        bm.width = w;
        bm.height = h;
        Bitmaps()[name_text] = &bm;
    }
    ~FakeBitmap() { Bitmaps().erase(name_text); }
};

// A font with a glyph for every byte from 32 upwards except those in
// `missing` (Latin-1), or for the listed code points (UTF-8).
struct FakeFont {
    kd_font_t font;
    std::string name_text;
    FakeFont(const std::string& name, bool utf8, const std::vector<int>& codes_or_missing, int line_height = 20)
        : name_text(name) {
        memset(&font, 0, sizeof font);
        font.name = (char*)name_text.c_str();
        font.line_height = line_height;
        font.size = line_height;
        font.encoding = utf8 ? KD_FONT_UTF8 : KD_FONT_LATIN1;
        if (utf8) {
            font.glyph_count = (int)codes_or_missing.size();
            font.glyphs = (kd_glyph_t*)calloc(codes_or_missing.size() + 1, sizeof(kd_glyph_t));
            for (size_t i = 0; i < codes_or_missing.size(); i++) {
                font.glyphs[i].code = codes_or_missing[i];
                font.glyphs[i].advance = 10;
            }
        } else {
            font.glyph_count = 256;
            font.glyphs = (kd_glyph_t*)calloc(256, sizeof(kd_glyph_t));
            for (int c = 32; c < 256; c++) font.glyphs[c].advance = 10;
            for (int c : codes_or_missing) font.glyphs[c & 255].advance = 0;
        }
        Fonts()[name_text] = &font;
    }
    ~FakeFont() {
        Fonts().erase(name_text);
        free(font.glyphs);
    }
};

inline kd_bitmap_t* Find(const char* name) {
    auto it = Bitmaps().find(name ? name : "");
    return it == Bitmaps().end() ? nullptr : it->second;
}
inline kd_bitmap_t* LoadBitmap(const char* name, int mode) {
    if (mode) Calls().push_back(std::string("LoadBitmap ") + (name ? name : "") + " " + std::to_string(mode));
    return Find(name);
}
inline kd_bitmap_t* GetBitmap(const char* name) { return Find(name); }
inline void ReleaseBitmap(kd_bitmap_t* bm) { Calls().push_back(std::string("ReleaseBitmap ") + bm->name); }
inline kd_font_t* GetFont(const char* name) {
    auto it = Fonts().find(name ? name : "");
    return it == Fonts().end() ? nullptr : it->second;
}
inline void DrawBitmapRS(kd_bitmap_t* bm, float x, float y, float r, float s) {
    Calls().push_back(std::string("RS ") + (bm ? bm->name : "null") + " " + F(x) + " " + F(y) + " " + F(s));
}
inline void DrawBitmap4V(kd_bitmap_t* bm, kd_vertex_t* v) {
    Calls().push_back(std::string("4V ") + bm->name + " " + F(v[0].x) + " " + F(v[0].y) + " " + F(v[3].x) + " " +
                      F(v[3].y) + " uv " + F(v[0].u) + " " + F(v[0].v) + " " + F(v[3].u) + " " + F(v[3].v) +
                      " a " + std::to_string(v[0].color >> 24));
}
inline void SetAlpha(float a) { Calls().push_back("Alpha " + F(a)); }
inline void SetColor(float r, float g, float b) { Calls().push_back("Color " + F(r) + " " + F(g) + " " + F(b)); }
inline void SetTextTransform(float sx, float sy, float) { TextScaleX() = sx; }
inline int CountChars(kd_font_t* font, const char* s) {
    int n = 0;
    for (; *s; s++)
        if (!(font && font->encoding == KD_FONT_UTF8 && ((unsigned char)*s & 0xC0) == 0x80)) n++;
    return n;
}
inline std::string Format(const char* format, va_list ap) { return RecFormat(format, ap); }
inline float GetTextWidthf(kd_font_t* font, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string t = Format(format, ap);
    va_end(ap);
    return 10.0f * CountChars(font, t.c_str()) * TextScaleX();
}
inline void GetTextSizef(kd_font_t* font, float* w, float* h, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string t = Format(format, ap);
    va_end(ap);
    *w = 10.0f * CountChars(font, t.c_str()) * TextScaleX();
    *h = 20.0f * TextScaleX();
}
inline float DrawTextf(kd_font_t* font, float x, float y, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string t = Format(format, ap);
    va_end(ap);
    Calls().push_back("Text " + F(x) + " " + F(y) + " scale " + F(TextScaleX()) + " '" + t + "'");
    return 0;
}
// What the platform answers a command with its parameter (null: the
// parameter was left out); by default nothing, as a platform without the
// command answers.
inline std::function<const char*(const std::string&, const char*)>& ExtensionReply() {
    static std::function<const char*(const std::string&, const char*)> f;
    return f;
}
// Recorded as "Extension <command>(<parameter>)", "Extension <command>" for
// a parameter left out.
inline const char* CallExtension(const char* c, const char* p) {
    Calls().push_back(std::string("Extension ") + c + (p ? "(" + std::string(p) + ")" : ""));
    return ExtensionReply() ? ExtensionReply()(c, p) : nullptr;
}
inline void PushTransform(nTransform*) { Calls().push_back("PushTransform"); }
inline void PopTransform() { Calls().push_back("PopTransform"); }

inline void InstallFakes(kodo_t& t) {
    t.LoadBitmap = LoadBitmap;
    t.GetBitmap = GetBitmap;
    t.ReleaseBitmap = ReleaseBitmap;
    t.GetFont = GetFont;
    t.DrawBitmapRS = DrawBitmapRS;
    t.DrawBitmap4V = DrawBitmap4V;
    t.SetAlpha = SetAlpha;
    t.SetColor = SetColor;
    t.SetTextTransform = SetTextTransform;
    t.GetTextWidthf = GetTextWidthf;
    t.GetTextSizef = GetTextSizef;
    t.DrawTextf = DrawTextf;
    t.CallExtension = CallExtension;
    ExtensionReply() = nullptr;
    t.PushTransform = PushTransform;
    t.PopTransform = PopTransform;
    TextScaleX() = 1;
}

// The recorded calls that start with `prefix`.
inline std::vector<std::string> CallsStarting(const std::string& prefix) {
    std::vector<std::string> r;
    for (auto& c : Calls())
        if (c.compare(0, prefix.size(), prefix) == 0) r.push_back(c);
    return r;
}

// Clicks reported through the widget hooks.
inline std::vector<UIComp*>& Clicks() {
    static std::vector<UIComp*> v;
    return v;
}
inline void RecordClick(UISet*, UIComp* c) { Clicks().push_back(c); }

// The screen manager as a test of screens starts it: a fresh Lua with the
// script functions and the widget kinds, the virtual screen's defaults,
// no screen stacked and no cursor locked.
inline void StartScreens() {
    lua_man.Initialize();
    ScreenMan::RegisterLuaFunctions();
    UIRegisterWidgetKinds();
    ui_screen = UIScreenValues();
    ui_template_set = nullptr;
    sman.stack.count = 0;
    sman.UnlockCursors();
}

}  // namespace wf

#endif
