// What the player services ask of the screen manager: the screens they
// push, pop and message by name ("PurchaseInProgress", "IAPPopup",
// "Unlocks", "Achievements"), and the font, scale and virtual size the
// achievement bar is drawn with and what it must not cover. The services reach the screen manager
// only through this table; `service_screens` is never null, and tests put
// a table of their own in its place.
#ifndef FRAMEWORK_SERVICE_SCREENS_H
#define FRAMEWORK_SERVICE_SCREENS_H

#include "kodo.h"

struct ServiceScreens {
    // A screen of that name is registered.
    bool (*Exists)(const char* name);
    bool (*InStack)(const char* name);
    // On top of the stack (callers check InStack first).
    void (*Push)(const char* name);
    // An animated pop; nothing for a screen that is not stacked.
    void (*Pop)(const char* name);
    // A screen message with no sender screen.
    void (*Message)(const char* name, const char* message, const char* value);
    // The screen manager's default font (null: nothing is drawn), the scale
    // its loading indicator is drawn with, and the virtual screen size.
    kd_font_t* (*Font)();
    float (*Scale)();
    void (*VirtualSize)(int* width, int* height);
    // Whether the rectangle (virtual units) would hide a button, a field
    // or a text of the screens in view; null: nothing is hidden.
    bool (*Hides)(float x, float y, float width, float height);
};

extern ServiceScreens* service_screens;

// The table of the screen manager itself.
extern ServiceScreens service_screens_of_sman;

// Pushes the screen on top unless it is stacked already (the screen
// manager would refuse it with a warning).
void ServicePushScreen(const char* name);
void ServicePopScreen(const char* name);

#endif
