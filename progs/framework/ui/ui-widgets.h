// What the widget kinds share: the few answers they need from the screen
// manager, reached through hooks so that the kinds work and are testable
// before the manager exists; reading bitmap and font records; the common
// draw set-up; and the localized form of their texts.
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
    // True when any cursor in use is locked to `comp` (pressed on it).
    bool (*is_locked)(UIComp* comp) = nullptr;
    bool resize_mode = false;    // the screen manager re-measures every frame
    bool editor_active = false;  // the UI editor is running
    bool edit_mode = false;      // the editor draws its guides
};
extern UIWidgetHooks ui_widget_hooks;

void UISendComponentClick(UISet* set, UIComp* comp);
bool UIHasFocus(UIComp* comp);
bool UIIsLocked(UIComp* comp);
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

// Common draw set-up: colour, alpha A x colour alpha, blend, filter.
void UIDrawSetup(UIComp* c, float A);
// Pushes the rotation about the static position when the static angle is
// 0.000001 or more; true when something was pushed (pop it afterwards).
bool UIPushRotation(UIComp* c);
// Draws a bitmap centred on the box at scale S, odd sizes landing on
// whole pixels.
void UIDrawBitmapInBox(kd_bitmap_t* bm, float x, float y, float S);

// Draws a text from (x, y) within `room` pixels, the text transform at
// `scale`: a long one is drawn a little narrower, and one that still does
// not fit is cut at a whole character and ends in "...". The transform is
// (scale, scale) again afterwards.
void UIDrawFittedText(kd_font_t* font, float x, float y, float room, float scale, const char* text);

// `shown_text` for a text: its localization when the component's features
// are enabled and it is localizable, else the text itself.
const char* UIShownText(UIComp* c, const char* text);
// The developer warning for code that sets text on a localizable loaded
// component.
void UIWarnDynamicText(UIComp* c, const char* text);

// Puts the bitmap of `bm`'s name into the slot, counting references by
// the cache rules; null empties the slot, releasing what it held.
void UIReplaceBitmap(UIComp* c, kd_bitmap_t** slot, kd_bitmap_t* bm);

// Reloads (cache mode 2) or releases (3) a bitmap that is set and not a
// placeholder.
void UIApplyCacheModeToBitmap(kd_bitmap_t* bm, int mode);

// The UI editor's resize drag: the distance of the mouse from the static
// position on each axis, doubled on an axis the alignment centres, divided
// by `per`.
vec2_t UIEditDragSize(UIComp* c, float per);

// Registers the widget kinds with UIComp::RegisterCompClass. Called once at start-up before any layout is
// read (the kinds live in a static library, so they cannot register
// themselves from static initialisers that the linker may drop).
void UIRegisterWidgetKinds();

#endif
