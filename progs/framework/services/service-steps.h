// The player services' steps in the framework's start-up, frames, events
// and shutdown (manager.h), each at its place: a service that starts, draws
// or takes engine events adds one line here.
#ifndef FRAMEWORK_SERVICE_STEPS_H
#define FRAMEWORK_SERVICE_STEPS_H

// Adds them; the program calls this before the engine starts (a second
// call adds nothing).
void AddServiceManagerSteps();

#endif
