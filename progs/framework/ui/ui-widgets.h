// What the widget kinds (button, check box, slider, edit box) share: the
// few answers they need from the screen manager, reached through hooks so
// that the kinds work and are testable before the manager exists; reading
// bitmap and font records; reading property values from a Lua stack with
// the same refusals as the base; the common draw set-up; and the layout
// lines for bitmaps.
#ifndef FRAMEWORK_UI_WIDGETS_H
#define FRAMEWORK_UI_WIDGETS_H

#include <lua.hpp>

#include "kodo.h"
#include "nstring.h"
#include "ui/ui-comps.h"
#include "ui/screen-manager.h"

// Filled by the screen manager. Null hooks answer "no": no click is sent,
// no component has focus.
struct UIWidgetHooks {
    // Reports a click on `comp` to the scripts and screen of `set`.
    void (*send_component_click)(UISet* set, UIComp* comp) = nullptr;
    // The UI set of the topmost screen, or null.
    UISet* (*top_screen_set)() = nullptr;
    // True when any cursor has `comp` as its focus component.
    bool (*has_focus)(UIComp* comp) = nullptr;
    bool resize_mode = false;    // the screen manager re-measures every frame
    bool editor_active = false;  // the UI editor is running
    bool edit_mode = false;      // the editor draws its guides
};
extern UIWidgetHooks ui_widget_hooks;

void UISendComponentClick(UISet* set, UIComp* comp);
bool UIHasFocus(UIComp* comp);
bool UIDeveloperMode();

// Bitmap records; null-safe. A placeholder is a null bitmap or one whose
// name starts with '!' (built into the engine, never counted or written).
int UIBitmapWidth(kd_bitmap_t* bm);
int UIBitmapHeight(kd_bitmap_t* bm);
const char* UIBitmapName(kd_bitmap_t* bm);  // "" for null
bool UIBitmapIsPlaceholder(kd_bitmap_t* bm);
// True when the bitmap is set, not a placeholder and has a size.
bool UIBitmapUsable(kd_bitmap_t* bm);

// Font records; null-safe.
const char* UIFontName(kd_font_t* font);  // "" for null
float UIFontLineHeight(kd_font_t* font);
bool UIFontIsUTF8(kd_font_t* font);
// Latin-1 fonts: the glyph of that byte draws or advances; UTF-8 fonts:
// a glyph with that code point exists.
bool UIFontHasGlyph(kd_font_t* font, int code);

// Stack readers for SetProperty values (index from 2); false for a value
// of the wrong kind, a missing one or one that is not finite.
bool UIReadNumber(lua_State* L, int i, float* out);
bool UIReadInteger(lua_State* L, int i, int* out);
// Boolean, or an integer compared with 0.
bool UIReadFlag(lua_State* L, int i, bool* out);
// Text (numbers convert), or null.
const char* UIReadString(lua_State* L, int i);
// The base's warning for a refused value; the property keeps its value.
void UIRefuse(lua_State* L, const UIComp* c, const char* prop, const char* expected, int index);
// Sets a bitmap property from the script's second argument, counting
// references; a missing name is refused. True when the bitmap changed.
bool UISetBitmapProperty(lua_State* L, UIComp* c, const char* prop, kd_bitmap_t** slot);
// Property names are compared exactly.
inline bool UIIsProperty(const char* a, const char* b) { return !strcmp(a, b); }

// Common draw set-up: colour, alpha A x colour alpha, blend, filter.
void UIDrawSetup(UIComp* c, float A);
// Pushes the rotation about the static position when the static angle is
// 0.000001 or more; true when something was pushed (pop it afterwards).
bool UIPushRotation(UIComp* c);
// Draws a bitmap centred on the box at scale S, odd sizes landing on
// whole pixels.
void UIDrawBitmapInBox(kd_bitmap_t* bm, float x, float y, float S);

// `shown_text` for a text: its localization when the component's features
// are enabled and it is localizable, else the text itself.
const char* UIShownText(UIComp* c, const char* text);
// The developer warning for code that sets text on a localizable loaded
// component.
void UIWarnDynamicText(UIComp* c, const char* text);

// `SetProperty ("<prop>", "<name>");` when `bm` is set, not a placeholder
// and not the template's bitmap.
void UIAppendBitmapLine(nString& out, const char* prop, kd_bitmap_t* bm, kd_bitmap_t* template_bm);
// `SetProperty ("<prop>", <quoted text>);`
void UIAppendTextLine(nString& out, const char* prop, const char* text);

// The part of a clone that every kind shares: name, type, inheriting, the
// source's template and parent.
UIComp* UICloneInto(UIComp* fresh, UIComp* source, const char* new_name);

// Reloads (cache mode 2) or releases (3) a bitmap that is set and not a
// placeholder.
void UIApplyCacheModeToBitmap(kd_bitmap_t* bm, int mode);

// Registers the button, check box, slider and edit box with
// UIComp::RegisterCompClass. Called once at start-up before any layout is
// read (the kinds live in a static library, so they cannot register
// themselves from static initialisers that the linker may drop).
void UIRegisterWidgetKinds();

#endif
