// The player services' calls of the screen manager: see service-screens.h.
#include "services/service-screens.h"

#include "framework-kd.h"
#include "ui/screen-manager.h"

namespace {

// The screen stack arrives with the screen manager's stack and registry;
// until then there is no screen to push, pop or message.
bool Exists(const char*) { return false; }
bool InStack(const char*) { return false; }
void Push(const char*) {}
void Pop(const char*) {}
void Message(const char*, const char*, const char*) {}
kd_font_t* Font() { return nullptr; }
float Scale() { return 1.0f; }
void VirtualSize(int* width, int* height) {
    *width = sman.virtual_width;
    *height = sman.virtual_height;
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
