// The player services' calls of the screen manager: see service-screens.h.
#include "services/service-screens.h"

#include "framework-kd.h"
#include "ui/screen-manager.h"
#include "ui/screen.h"

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

}  // namespace

ServiceScreens service_screens_of_sman = {Exists, InStack, Push, Pop, Message, Font, Scale, VirtualSize};
ServiceScreens* service_screens = &service_screens_of_sman;

void ServicePushScreen(const char* name) {
    if (!service_screens->InStack(name)) service_screens->Push(name);
}

void ServicePopScreen(const char* name) {
    if (service_screens->InStack(name)) service_screens->Pop(name);
}
