// The player services' calls of the screen manager: see service-screens.h.
#include "services/service-screens.h"

#include "framework-kd.h"
#include "ui/screen-manager.h"
#include "ui/screen.h"
#include "ui/ui-button.h"
#include "ui/ui-image.h"
#include "ui/ui-textbox.h"

namespace {

// Screens are looked up without the manager's "not found" popup: the game
// may leave any of these screens out.
bool Exists(const char* name) { return Screen::PeekScreen(name) != nullptr; }
bool InStack(const char* name) { return sman.IsScreenInStack(name); }
void Push(const char* name) { sman.PushScreen(Screen::PeekScreen(name), 0); }
void Pop(const char* name) { sman.PopScreen(Screen::PeekScreen(name), true); }
void Message(const char* name, const char* message, const char* value) {
    sman.SendScreenMessage(nullptr, Screen::PeekScreen(name), message, value);
}
kd_font_t* Font() { return sman.default_font; }
// The loading indicator's scale.
float Scale() { return ui_screen.scale_cover; }
void VirtualSize(int* width, int* height) {
    *width = ui_screen.virtual_width;
    *height = ui_screen.virtual_height;
}

struct Box {
    float x0, y0, x1, y1;
    bool Meets(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

bool Blank(const char* text) {
    for (; text && *text; text++)
        if (*text != ' ' && *text != '\n') return false;
    return true;
}

// A text drawn at a point with an alignment, as a box.
Box TextBox(kd_font_t* font, const char* text, float x, float y, int align, float scale) {
    float w = 0, h = 0;
    kd->SetTextTransform(scale, scale, 0);
    kd->GetTextSizef(font, &w, &h, "%s", text);
    kd->SetTextTransform(1, 1, 0);
    if (align & UI_ALIGN_HCENTER) x -= w * 0.5f;
    if (align & UI_ALIGN_RIGHT) x -= w;
    if (align & UI_ALIGN_VCENTER) y -= h * 0.5f;
    if (align & UI_ALIGN_BOTTOM) y -= h;
    return {x, y, x + w, y + h};
}

// What the player reads or presses on the screens in view (from the top
// down to the first that covers the screen): buttons with their words,
// fields, lists, check boxes, sliders, texts that are not blank and what
// the program draws in the place of an image without a picture.
bool Hides(float x, float y, float width, float height) {
    const Box banner = {x, y, x + width, y + height};
    for (int depth = 0; depth < sman.GetNumberOfScreensInStack(); depth++) {
        Screen* screen = sman.PeekScreen(depth);
        UISet* set = screen ? screen->uiset : nullptr;
        for (int i = 0; set && i < set->GetNumberOfComps(); i++) {
            UIComp* c = set->GetCompByIndex(i);
            if (!c || !c->IsVisible() || !(c->GetStaticAlpha() > 0.05f)) continue;
            const vec2_t p = c->GetAlignedPos();
            const Box own = {p.x, p.y, p.x + c->width, p.y + c->height};
            switch (c->type) {
                case UI_BUTTON: {
                    if (banner.Meets(own)) return true;
                    // A kind the program did not register is a bare component.
                    UICompButton* b = dynamic_cast<UICompButton*>(c);
                    if (!b || !b->font || Blank(b->shown_text)) break;
                    const float s = b->GetDynamicScale();
                    const vec2_t at = {p.x + c->width * 0.5f + s * b->text_offset.x,
                                       p.y + c->height * 0.5f + s * b->text_offset.y};
                    if (banner.Meets(
                            TextBox(b->font, b->shown_text, at.x, at.y, b->text_align, s * b->text_scale_idle)))
                        return true;
                    break;
                }
                case UI_TEXTBOX: {
                    UICompTextbox* t = dynamic_cast<UICompTextbox*>(c);
                    if (t && !Blank(t->shown_text) && banner.Meets(own)) return true;
                    break;
                }
                case UI_IMAGE: {
                    // An image without a picture is a place the program
                    // draws into itself (a game's counters).
                    UICompImage* image = dynamic_cast<UICompImage*>(c);
                    if (!(image && image->bitmap) && banner.Meets(own)) return true;
                    break;
                }
                case UI_SLIDER:
                case UI_EDITBOX:
                case UI_CHECKBOX:
                case UI_LISTBOX:
                    if (banner.Meets(own)) return true;
                    break;
                default: break;
            }
        }
        if (!screen || screen->covers_screen || depth + 1 >= sman.GetNumberOfScreensInStack()) break;
    }
    return false;
}

}  // namespace

ServiceScreens service_screens_of_sman = {Exists, InStack, Push, Pop, Message, Font, Scale, VirtualSize, Hides};
ServiceScreens* service_screens = &service_screens_of_sman;

void ServicePushScreen(const char* name) {
    if (!service_screens->InStack(name)) service_screens->Push(name);
}

void ServicePopScreen(const char* name) {
    if (service_screens->InStack(name)) service_screens->Pop(name);
}
