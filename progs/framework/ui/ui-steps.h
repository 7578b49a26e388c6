// The UI library's steps in the framework's start-up and shutdown
// (manager.h): the games, the automated player, the screens and the
// timeline, each at its place.
#ifndef FRAMEWORK_UI_STEPS_H
#define FRAMEWORK_UI_STEPS_H

// Adds them; the program calls this before the engine starts (a second
// call adds nothing).
void AddUIManagerSteps();

#endif
