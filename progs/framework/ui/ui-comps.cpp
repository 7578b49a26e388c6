// UI component base: record, types, cloning, inheriting, bitmap rules and
// geometry. See ui-comps.h.
#include "ui/ui-comps.h"

#include <math.h>
#include <string.h>

UISet* ui_template_set = nullptr;

static const float UI_ANGLE_EPS = 0.000001f;

static const char* const type_strings[] = {
    "Unknown",  "Button",     "Slider",    "Editbox",  "Checkbox",  "Listbox", "Path",
    "Emitter",  "Scriptable", "TouchField", "TouchGrid", "NinePatch", "Textbox", "Rectangle",
    "Image",    "Marker",     "Ruler",     "Ad",       "Model"};

static_assert(sizeof type_strings / sizeof type_strings[0] == UI_NUM_TYPES, "one type string per type number");

static UIComp::Factory factories[UI_NUM_TYPES] = {};

UIComp* UISet::GetComp(const char* comp_name) const {
    if (!comp_name) return nullptr;
    for (int i = 0; i < comps.count; i++)
        if (comps.data[i] && nStringsMatch(comps.data[i]->name, comp_name)) return comps.data[i];
    return nullptr;
}

UIComp::UIComp() {
    tags = nStringDuplicate("");
}

UIComp::~UIComp() {
    free(name);
    free(tags);
    free(required_features);
    for (int i = 0; i < UI_NUM_HANDLERS; i++) Drop(handlers[i]);
}

void UIComp::Drop(SharedText*& s) {
    if (s && --s->refs == 0) {
        free(s->text);
        delete s;
    }
    s = nullptr;
}

void UIComp::SetHandler(int i, const char* file) {
    if (i < 0 || i >= UI_NUM_HANDLERS) return;
    Drop(handlers[i]);
    if (file) handlers[i] = new SharedText{nStringDuplicate(file), 1};
}

void UIComp::ShareHandler(int i, const UIComp* from) {
    if (i < 0 || i >= UI_NUM_HANDLERS || !from) return;
    SharedText* s = from->handlers[i];
    if (s) s->refs++;
    Drop(handlers[i]);
    handlers[i] = s;
}

int UIComp::GetCompType(const char* type_name) {
    if (!type_name) return UI_UNKNOWN;
    for (int t = 1; t < UI_NUM_TYPES; t++)
        if (nStringsMatchIncaseSensitive(type_name, type_strings[t])) return t;
    return UI_UNKNOWN;
}

const char* UIComp::GetCompTypeString(int t) { return t > 0 && t < UI_NUM_TYPES ? type_strings[t] : "Unknown"; }

void UIComp::RegisterCompClass(int t, Factory factory) {
    if (t > 0 && t < UI_NUM_TYPES) factories[t] = factory;
}

UIComp* UIComp::Create(const char* type_name, const char* comp_name, UISet* templates, const char* file) {
    int t = GetCompType(type_name);
    UIComp* c = (t && factories[t]) ? factories[t]() : nullptr;
    if (!c) c = new UIComp();
    // The start-up makes "DefaultUnknown" on purpose; only other names are
    // a layout's slip.
    if (!t && !(type_name && strstr(type_name, "Unknown")))
        kd->Popupf(1, "Unknown component type '%s' in %s/%s.\n", type_name ? type_name : "", file ? file : "",
                   comp_name ? comp_name : "");
    free(c->name);
    c->name = nStringDuplicate(comp_name ? comp_name : "");
    c->is_loaded = false;
    c->type = t;
    if (templates) {
        char tname[64];
        snprintf(tname, sizeof tname, "Default%s", GetCompTypeString(t));
        UIComp* tmpl = templates->GetComp(tname);
        if (tmpl && tmpl != c) c->InheritFrom(tmpl);
    }
    return c;
}

void UIComp::Update(float dt) {
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
}

void UIComp::DrawInfoBox(vec2_t pos) {
    kd_font_t* font = kd->GetFont("core/console.sft");
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(0.8f);
    kd->DrawRect(pos.x - 5, pos.y - 5, 400, 200);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    if (!font) return;
    float line = kd->GetTextHeightf(font, "X");
    if (line <= 0) line = 16;
    float y = pos.y;
    kd->DrawTextf(font, pos.x, y, "Name: '%s'", name ? name : "");
    y += line;
    if (parent) {
        kd->DrawTextf(font, pos.x, y, "Parent: '%s'", parent->name ? parent->name : "");
        y += line;
    }
    static const char* const pt[3] = {"ABSOLUTE", "RELATIVE_TO_PARENT", "RELATIVE_TO_SCREEN"};
    kd->DrawTextf(font, pos.x, y, "X: %g  Y: %g type: %s", position.x, position.y,
                  position_type >= 0 && position_type < 3 ? pt[position_type] : "ABSOLUTE");
}

// ---------------------------------------------------------------------------
// Bitmap cache rules.

kd_bitmap_t* UIComp::GetCachedBitmapPointer(const char* bitmap_name, bool flag) {
    if (features_enabled && cache_mode == UI_CACHE_PRELOAD)
        return kd->LoadBitmap(bitmap_name, ui_screen.cache_flags[flag ? 0 : 1]);
    return kd->LoadBitmap(bitmap_name, 0);
}

void UIComp::IncreaseBitmapReferenceCount(kd_bitmap_t* bm) {
    if (!bm) return;
    // The record's name is its first field; loading by name with a cache
    // mode takes one reference and brings the pixels back when they went.
    const char* bm_name = *(const char* const*)bm;
    if (!bm_name || bm_name[0] == '!') return;
    kd->LoadBitmap(bm_name, ui_screen.cache_flags[1]);
}

void UIComp::ReplaceBitmapApplyingReferenceCounting(kd_bitmap_t** slot, const char* bitmap_name) {
    if (!slot) return;
    kd_bitmap_t* record = GetCachedBitmapPointer(bitmap_name, false);
    if (OwnerSetLoaded() && features_enabled) {
        if (*slot) {
            kd->ReleaseBitmap(*slot);
            *slot = kd->GetBitmap("!NONE");
        }
        if (cache_mode != UI_CACHE_PRELOAD && OwnerSetLoaded()) {
            *slot = kd->LoadBitmap(bitmap_name, ui_screen.cache_flags[1]);
            return;
        }
    }
    *slot = record;
}

// ---------------------------------------------------------------------------
// Geometry.

float UIComp::GetStaticScale() { return (inherit_scale && parent) ? scale * parent->GetStaticScale() : scale; }

float UIComp::GetStaticAngle() { return (inherit_angle && parent) ? angle + parent->GetStaticAngle() : angle; }

float UIComp::GetStaticAlpha() { return (parent ? alpha * parent->GetStaticAlpha() : alpha) * fading_akey; }

float UIComp::GetStaticPosZ() {
    float own = (position.z + position_offset.z) * (float)ui_screen.virtual_height;
    return parent ? parent->GetStaticPosZ() + own : own;
}

void UIComp::CalculateDynamicScale() {
    const UIScreenValues& s = ui_screen;
    float vw = (float)s.virtual_width, vh = (float)s.virtual_height;
    // A zero size would give an infinite factor; such a component keeps 1.
    bool sized = width > 0 && height > 0;
    switch (scale_type) {
        case UI_SCALE_FIT_INSIDE_SCREEN: scale_type_factor = sized ? fminf(vw / width, vh / height) : 1; break;
        case UI_SCALE_FIT_TO_COVER_SCREEN: scale_type_factor = sized ? fmaxf(vw / width, vh / height) : 1; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_WIDTH: scale_type_factor = s.scale_width; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_HEIGHT: scale_type_factor = s.scale_height; break;
        case UI_SCALE_RELATIVE_TO_SCREEN_SIZE: scale_type_factor = s.scale_ref; break;
        case UI_SCALE_RELATIVE_TO_PARENT: scale_type_factor = parent ? parent->scale_type_factor : s.scale_ref; break;
        default: scale_type_factor = 1; break;
    }
    dynamic_scale = GetStaticScale() * scale_type_factor;
}

// One axis of a relative position: size x (position + offset), or with
// snapping the position rounded to a whole pixel plus the offset.
static float RelativeAxis(float size, float pos, float offset, bool snap) {
    if (snap) return (float)(int)(0.5f + size * pos) + size * offset;
    return size * (pos + offset);
}

vec2_t UIComp::GetStaticPos() {
    const UIScreenValues& s = ui_screen;
    vec2_t p;
    if (parent) {
        UIComp* P = parent;
        // Asked once: each level asking twice would double the work per
        // level of the chain.
        const vec2_t parent_pos = P->GetStaticPos();
        p = parent_pos;
        vec2_t scroll = P->GetScrollOffset();
        p.x -= (float)(int)scroll.x * P->dynamic_scale;
        p.y -= (float)(int)scroll.y * P->dynamic_scale;
        if (parent_anchor & UI_ALIGN_HCENTER) p.x += P->width / 2;
        if (parent_anchor & UI_ALIGN_RIGHT) p.x += P->width;
        if (parent_anchor & UI_ALIGN_VCENTER) p.y += P->height / 2;
        if (parent_anchor & UI_ALIGN_BOTTOM) p.y += P->height;
        if (position_type == UI_POS_RELATIVE_TO_SCREEN) {
            p.x += RelativeAxis((float)s.virtual_width, position.x, position_offset.x, snap_position_to_pixels);
            p.y += RelativeAxis((float)s.virtual_height, position.y, position_offset.y, snap_position_to_pixels);
        } else if (position_type == UI_POS_RELATIVE_TO_PARENT) {
            p.x += RelativeAxis(P->width, position.x, position_offset.x, snap_position_to_pixels);
            p.y += RelativeAxis(P->height, position.y, position_offset.y, snap_position_to_pixels);
        } else {
            p.x += position.x + position_offset.x;
            p.y += position.y + position_offset.y;
        }
        return RotateAround(p, parent_pos);
    }
    if (screen_origin == UI_ORIGIN_VIRTUAL) {
        p.x = s.virtual_x;
        p.y = s.virtual_y;
    } else {
        p.x = p.y = 0;
    }
    if (position_type == UI_POS_RELATIVE_TO_PARENT || position_type == UI_POS_RELATIVE_TO_SCREEN) {
        p.x += RelativeAxis((float)s.virtual_width, position.x, position_offset.x, snap_position_to_pixels);
        p.y += RelativeAxis((float)s.virtual_height, position.y, position_offset.y, snap_position_to_pixels);
    } else {
        p.x += position.x + position_offset.x;
        p.y += position.y + position_offset.y;
    }
    bool actual = screen_origin == UI_ORIGIN_ACTUAL;
    int w = actual ? s.actual_width : s.virtual_width;
    int h = actual ? s.actual_height : s.virtual_height;
    if (parent_anchor & UI_ALIGN_HCENTER) p.x += (float)(w / 2);
    if (parent_anchor & UI_ALIGN_RIGHT) p.x += (float)w;
    if (parent_anchor & UI_ALIGN_VCENTER) p.y += (float)(h / 2);
    if (parent_anchor & UI_ALIGN_BOTTOM) p.y += (float)h;
    return p;
}

vec2_t UIComp::RotateByParent(vec2_t p) { return parent ? RotateAround(p, parent->GetStaticPos()) : p; }

vec2_t UIComp::RotateAround(vec2_t p, vec2_t c) {
    if (!parent || !inherit_angle) return p;
    float a = parent->GetStaticAngle();
    float dx = p.x - c.x, dy = p.y - c.y;
    float ca = cosf(a), sa = sinf(a);
    return vec2_t{c.x + dx * ca - dy * sa, c.y + dx * sa + dy * ca};
}

vec2_t UIComp::GetAlignedPos() {
    vec2_t p = GetStaticPos();
    if (align & UI_ALIGN_HCENTER) p.x -= width / 2;
    if (align & UI_ALIGN_RIGHT) p.x -= width;
    if (align & UI_ALIGN_VCENTER) p.y -= height / 2;
    if (align & UI_ALIGN_BOTTOM) p.y -= height;
    return p;
}

vec2_t UIComp::GetCenterPos() {
    float a = GetStaticAngle();
    if (fabsf(a) < UI_ANGLE_EPS) {
        vec2_t p = GetAlignedPos();
        return vec2_t{p.x + width / 2, p.y + height / 2};
    }
    vec2_t p = GetStaticPos();
    float ca = cosf(a), sa = sinf(a);
    vec2_t u = {width * ca, width * sa}, v = {-height * sa, height * ca};
    vec2_t c = {p.x + (u.x + v.x) / 2, p.y + (u.y + v.y) / 2};
    if (align & UI_ALIGN_HCENTER) c.x -= u.x / 2, c.y -= u.y / 2;
    if (align & UI_ALIGN_RIGHT) c.x -= u.x, c.y -= u.y;
    if (align & UI_ALIGN_VCENTER) c.x -= v.x / 2, c.y -= v.y / 2;
    if (align & UI_ALIGN_BOTTOM) c.x -= v.x, c.y -= v.y;
    return c;
}

vec2_t UIComp::GetBoundingRectangleSize() {
    float a = GetStaticAngle();
    float ca = fabsf(cosf(a)), sa = fabsf(sinf(a));
    return vec2_t{width * ca + height * sa, width * sa + height * ca};
}

bool UIComp::IsInView() {
    const UIScreenValues& s = ui_screen;
    float left, top, w, h;
    if (fabsf(angle) < UI_ANGLE_EPS) {
        vec2_t p = GetAlignedPos();
        left = p.x, top = p.y, w = width, h = height;
    } else {
        vec2_t c = GetCenterPos(), b = GetBoundingRectangleSize();
        left = c.x - b.x / 2, top = c.y - b.y / 2, w = b.x, h = b.y;
    }
    if (left + w < s.virtual_x || top + h < s.virtual_y) return false;
    if (left > s.virtual_x + (float)s.virtual_width || top > s.virtual_y + (float)s.virtual_height) return false;
    return true;
}

bool UIComp::IsPointOver(const vec2_t& pt) {
    float a = GetStaticAngle();
    if (fabsf(a) < UI_ANGLE_EPS) {
        vec2_t p = GetAlignedPos();
        return pt.x >= p.x && pt.x <= p.x + width && pt.y >= p.y && pt.y <= p.y + height;
    }
    vec2_t p = GetStaticPos();
    float dx = pt.x - p.x, dy = pt.y - p.y;
    float ca = cosf(-a), sa = sinf(-a);
    float lx = dx * ca - dy * sa, ly = dx * sa + dy * ca;
    if (align & UI_ALIGN_HCENTER) lx += width / 2;
    if (align & UI_ALIGN_VCENTER) ly += height / 2;
    if (align & UI_ALIGN_RIGHT) lx += width;
    if (align & UI_ALIGN_BOTTOM) ly += height;
    return lx >= 0 && lx <= width && ly >= 0 && ly <= height;
}

bool UIComp::IsPointOverExpandedArea(const vec2_t& pt, float margin) {
    float e = margin * dynamic_scale;
    for (int j = -1; j <= 1; j++)
        for (int i = -1; i <= 1; i++)
            if (IsPointOver(vec2_t{pt.x - (float)i * e, pt.y - (float)j * e})) return true;
    return false;
}

bool UIComp::IsVisible() {
    if (!visible || (fading && !(fading_akey > 0)) || !features_enabled) return false;
    return parent ? parent->IsVisible() : true;
}

bool UIComp::IsActive() {
    if (!active || fading) return false;
    return parent ? parent->IsActive() : true;
}

bool UIComp::IsInteractive() { return interactive && IsVisible() && IsActive(); }

vec2_t UIComp::MapScreenSpacePointToObjectSpace(vec2_t p) {
    if (!parent || !inherit_angle) return p;
    float a = -parent->GetStaticAngle();
    vec2_t c = parent->GetStaticPos();
    float dx = p.x - c.x, dy = p.y - c.y;
    return vec2_t{c.x + dx * cosf(a) - dy * sinf(a), c.y + dx * sinf(a) + dy * cosf(a)};
}

vec2_t UIComp::MapObjectSpacePointToScreenSpace(vec2_t p) { return RotateByParent(p); }

void UIComp::ConvertPositionType(int new_type) {
    const UIScreenValues& s = ui_screen;
    float vw = (float)s.virtual_width, vh = (float)s.virtual_height;
    if (position_type == UI_POS_RELATIVE_TO_PARENT && parent) {
        position.x *= parent->width;
        position.y *= parent->height;
    } else if (position_type == UI_POS_RELATIVE_TO_SCREEN || position_type == UI_POS_RELATIVE_TO_PARENT) {
        position.x *= vw;
        position.y *= vh;
    }
    position_type = new_type;
    if (position_type == UI_POS_RELATIVE_TO_PARENT && parent && parent->width > 0 && parent->height > 0) {
        position.x /= parent->width;
        position.y /= parent->height;
    } else if ((position_type == UI_POS_RELATIVE_TO_SCREEN || position_type == UI_POS_RELATIVE_TO_PARENT) && vw > 0 &&
               vh > 0) {
        // A zero-sized virtual screen would make the position infinite.
        position.x /= vw;
        position.y /= vh;
    }
}

// ---------------------------------------------------------------------------
// Align words.

int ParseAlignFlags(const char* text) {
    if (!text) return 0;
    int f = 0;
    if (strstr(text, "BOTTOM")) f |= UI_ALIGN_BOTTOM;
    if (strstr(text, "RIGHT")) f |= UI_ALIGN_RIGHT;
    if (strstr(text, "VCENTER")) f |= UI_ALIGN_VCENTER;
    if (strstr(text, "HCENTER")) f |= UI_ALIGN_HCENTER;
    // A lone "CENTER" (not the end of "VCENTER" or "HCENTER") means both
    // centres, also beside other words: the writer puts "CENTER" after
    // "BOTTOM" and "RIGHT", so "BOTTOMCENTER" must read back as 14.
    for (const char* s = strstr(text, "CENTER"); s; s = strstr(s + 1, "CENTER"))
        if (s == text || (s[-1] != 'V' && s[-1] != 'H')) f |= UI_ALIGN_CENTER;
    return f;
}

const char* GetAlignFlagsAsString(int flags) {
    static thread_local char buffer[64];
    buffer[0] = 0;
    if (flags & UI_ALIGN_BOTTOM) strcat(buffer, "BOTTOM");
    if (flags & UI_ALIGN_RIGHT) strcat(buffer, "RIGHT");
    if ((flags & UI_ALIGN_CENTER) == UI_ALIGN_CENTER)
        strcat(buffer, "CENTER");
    else if (flags & UI_ALIGN_VCENTER)
        strcat(buffer, "VCENTER");
    else if (flags & UI_ALIGN_HCENTER)
        strcat(buffer, "HCENTER");
    return buffer;
}
