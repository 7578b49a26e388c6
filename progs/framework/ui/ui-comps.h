// The base of every UI component: its record, type numbers, the virtual
// interface that the widget kinds override, cloning and inheriting from
// templates, the bitmap cache rules, and the geometry (layout, scale,
// visibility and hit tests), which is computed on demand from the parent
// chain and the screen values in `ui_screen`.
//
// Properties by name, and the slots served from each kind's property
// table (setting, getting, writing, inheriting, cloning, taking and
// releasing bitmaps), live in ui-props.cpp; reading and writing layout
// files in ui-layout.cpp.
#ifndef FRAMEWORK_UI_COMPS_H
#define FRAMEWORK_UI_COMPS_H

#include <lua.hpp>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"
#include "ui/screen.h"

struct UICursor;
struct UIKind;

enum UICompType {
    UI_UNKNOWN = 0,
    UI_BUTTON = 1,
    UI_SLIDER,
    UI_EDITBOX,
    UI_CHECKBOX,
    UI_LISTBOX,
    UI_PATH,
    UI_EMITTER,
    UI_SCRIPTABLE,
    UI_TOUCHFIELD,
    UI_TOUCHGRID,
    UI_NINEPATCH,
    UI_TEXTBOX,
    UI_RECTANGLE,
    UI_IMAGE,
    UI_MARKER,
    UI_RULER,
    UI_AD,
    UI_MODEL,
    UI_NUM_TYPES
};

enum UIAlign { UI_ALIGN_RIGHT = 1, UI_ALIGN_BOTTOM = 2, UI_ALIGN_VCENTER = 4, UI_ALIGN_HCENTER = 8, UI_ALIGN_CENTER = 12 };

enum UIPositionType { UI_POS_ABSOLUTE = 0, UI_POS_RELATIVE_TO_PARENT = 1, UI_POS_RELATIVE_TO_SCREEN = 2 };

enum UIScaleType {
    UI_SCALE_ACTUAL_SIZE = 0,
    UI_SCALE_FIT_INSIDE_SCREEN,
    UI_SCALE_FIT_TO_COVER_SCREEN,
    UI_SCALE_STRETCH_TO_COVER_SCREEN,
    UI_SCALE_RELATIVE_TO_SCREEN_WIDTH,
    UI_SCALE_RELATIVE_TO_SCREEN_HEIGHT,
    UI_SCALE_RELATIVE_TO_SCREEN_SIZE,
    UI_SCALE_RELATIVE_TO_PARENT
};

enum UICacheMode { UI_CACHE_PRELOAD = 0, UI_CACHE_LOAD_ON_ENTER, UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE, UI_CACHE_IGNORE_LOADING };

enum UIScreenOrigin { UI_ORIGIN_VIRTUAL = 0, UI_ORIGIN_ACTUAL = 1 };

struct UIVec3 {
    float x, y, z;
};

// The Lua files a component runs at those moments, in their order.
enum {
    UI_HANDLER_ON_LOAD,
    UI_HANDLER_ON_CLICK,
    UI_HANDLER_ON_ENTER,
    UI_HANDLER_ON_LEAVE,
    UI_HANDLER_ON_DRAW,
    UI_HANDLER_ON_UPDATE,
    UI_NUM_HANDLERS
};

// The names the base answers to (ui-props.cpp holds their table).
enum { UI_BASE_NUM_PROPS = 61 };

class UIComp {
public:
    UIComp();
    // Virtual, unlike a plain record: components are destroyed through
    // base pointers, and a widget's own strings must be freed too.
    virtual ~UIComp();
    UIComp(const UIComp&) = delete;
    UIComp& operator=(const UIComp&) = delete;

    static int GetCompType(const char* type_name);
    static const char* GetCompTypeString(int type);

    // Widget kinds register how they are built; an unregistered type is
    // built as a plain component.
    typedef UIComp* (*Factory)();
    static void RegisterCompClass(int type, Factory factory);
    // Builds a component of the named type, named `comp_name`, from the
    // type's template ("Default<type>") of `templates` when it holds one.
    // An unknown type gives a plain component of type 0 and a warning that
    // names `file`.
    static UIComp* Create(const char* type_name, const char* comp_name, UISet* templates, const char* file);

    virtual UIComp* Clone(const char* new_name);
    virtual void Update(float dt);
    virtual void Draw() {}
    virtual void DrawInfoBox(vec2_t pos);
    virtual void Precalculate() {}
    // 2 takes the bitmaps of the kind's table, 3 releases them.
    virtual void ApplyCacheMode(int mode);
    virtual void EditUpdate(float) {}
    // Appends the component's layout lines.
    virtual void ExportLua(nString& out);
    virtual int GetProperty(const char* prop, lua_State* L);
    virtual int SetProperty(const char* prop, lua_State* L);
    virtual vec2_t GetStaticPos();
    virtual float GetStaticPosZ();
    virtual vec2_t GetAlignedPos();
    virtual vec2_t GetCenterPos();
    virtual vec2_t GetBoundingRectangleSize();
    virtual float GetStaticAlpha();
    virtual float GetStaticAngle();
    virtual float GetStaticScale();
    virtual float GetDynamicScale() { return dynamic_scale; }
    virtual vec2_t MapScreenSpacePointToObjectSpace(vec2_t p);
    virtual vec2_t MapObjectSpacePointToScreenSpace(vec2_t p);
    virtual bool IsPointOver(const vec2_t& pt);
    virtual bool IsPointOverExpandedArea(const vec2_t& pt, float margin);
    virtual bool IsInteractive();
    virtual bool IsActive();
    virtual bool IsVisible();
    virtual bool IsInView();
    virtual int InheritFrom(UIComp* source);
    virtual int ProcessClick() { return 0; }
    virtual int ProcessCursorMove(UICursor*, int, float) { return 0; }
    virtual int ProcessCursorMove(UICursor*, const vec2_t&, float) { return 0; }
    virtual int ProcessChar(int) { return 0; }
    virtual int ProcessKey(int) { return 0; }
    virtual int ProcessMouseWheel(float) { return 0; }
    virtual int ProcessEvent(kd_event_t*) { return 0; }
    virtual void OnScreenEnter(Screen*) {}
    virtual void OnScreenLeave(Screen*) {}
    virtual void UpdateDimensions() {}
    virtual void CalculateDynamicScale();
    virtual void ReplaceBitmapApplyingReferenceCounting(kd_bitmap_t** slot, const char* bitmap_name);

    // The kind's property table; a widget class answers its own. The base
    // table is every component's, looked up first.
    virtual const UIKind& Kind() const;
    static const UIKind& BaseKind();

    // Scroll offset of a container whose children scroll with it (touch
    // field and touch grid override it); zero for every other kind.
    virtual vec2_t GetScrollOffset() { return vec2_t{0, 0}; }

    void ConvertPositionType(int new_type);
    vec2_t RotateByParent(vec2_t p);
    // The parent's rotation applied round `centre`, the parent's position.
    vec2_t RotateAround(vec2_t p, vec2_t centre);
    kd_bitmap_t* GetCachedBitmapPointer(const char* bitmap_name, bool flag);
    void IncreaseBitmapReferenceCount(kd_bitmap_t* bm);

    // The UI set of the owning screen, or null.
    UISet* OwnerSet() const { return owner ? owner->uiset : nullptr; }
    bool OwnerSetLoaded() const { return OwnerSet() && OwnerSet()->cache_applied; }
    // Handler file names, shared (not copied) by inheritance: the texts
    // are reference-counted so that a template may go before its copies.
    const char* GetHandler(int i) const { return handlers[i] ? handlers[i]->text : nullptr; }
    void SetHandler(int i, const char* file);
    // Takes the same handler text as `from` (inheriting).
    void ShareHandler(int i, const UIComp* from);

    int type = 0;
    char* name = nullptr;
    bool is_loaded = false;
    char* tags = nullptr;
    char* required_features = nullptr;
    bool features_enabled = true;
    Screen* owner = nullptr;
    UIComp* template_comp = nullptr;  // the `template` of the record
    UIComp* parent = nullptr;
    uint16_t parent_anchor = 0;
    uint16_t screen_origin = UI_ORIGIN_VIRTUAL;
    bool inherit_scale = true;
    bool inherit_angle = true;
    bool snap_position_to_pixels = false;
    bool interactive = true;
    bool custom_draw = false;
    uint16_t cache_mode = UI_CACHE_LOAD_ON_ENTER_RELEASE_ON_LEAVE;
    uint16_t draw_mode = 0;
    float alpha = 1.0f;
    float width = 16, height = 16;
    int align = 0;
    float scale = 1.0f;
    float angle = 0.0f;
    bool fading = false;
    float fading_akey = 1.0f;
    float phase = 0.0f;
    float time_cursor_over = 0.0f;
    float time_cursor_locked = 0.0f;
    float expanded_hit_area = 0.0f;
    bool active = true;
    bool visible = true;
    int position_type = UI_POS_RELATIVE_TO_PARENT;
    UIVec3 position = {0, 0, 0.1f};
    UIVec3 position_offset = {0, 0, 0};
    color_t color = {1, 1, 1, 1};
    int scale_type = UI_SCALE_RELATIVE_TO_SCREEN_SIZE;
    bool localize = true;
    int blend_mode = 0;
    int pixel_filter = 1;
    kd_sound_t* snd_over = nullptr;
    kd_sound_t* snd_press = nullptr;
    kd_sound_t* snd_release = nullptr;
    float dynamic_scale = 1.0f;
    float scale_type_factor = 1.0f;
    // The enter cache pass has taken the bitmaps and no leave pass has
    // released them (UISet::ApplyCacheModeOnEnter).
    bool bitmaps_held = false;

private:
    struct SharedText {
        char* text;
        int refs;
    };
    static void Drop(SharedText*& s);
    SharedText* handlers[UI_NUM_HANDLERS] = {};
};

// The deepest chain of parents a component may have: every layout query
// (position, scale, alpha) walks it, recursively.
enum { UI_MAX_PARENT_DEPTH = 64 };

// Makes `p` the parent of `c` (null: none). Refused, with one level-1 line
// naming the component (after `where`, a script's "file:line"), when the
// chain would reach `c` itself or be deeper than UI_MAX_PARENT_DEPTH; the
// children of `c` in `set` (when given) count too. Every setter of a
// parent goes through here.
bool UISetCompParent(UIComp* c, UIComp* p, const UISet* set, const char* where);

// Align words: "BOTTOM" 2, "RIGHT" 1, "VCENTER" 4, "HCENTER" 8, and
// "CENTER" on its own 12; found as substrings, so every text that
// GetAlignFlagsAsString makes reads back as the same flags.
int ParseAlignFlags(const char* text);
// "BOTTOM", "RIGHT", then "CENTER", "VCENTER" or "HCENTER", run together.
// The text stays valid until the next call on the same thread.
const char* GetAlignFlagsAsString(int flags);

#endif
