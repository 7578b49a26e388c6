// The steps the program adds to the framework's start-up, as prog.cpp
// does before the engine starts it.
#include "fw-support.h"
#include "services/service-steps.h"
#include "ui/ui-steps.h"

void FwAddProgramSteps() {
    AddUIManagerSteps();
    AddServiceManagerSteps();
}
