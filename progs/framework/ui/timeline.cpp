// Minimal timeline: see timeline.h.
#include "ui/timeline.h"

#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"

Timeline timeline;

bool Timeline::Init() {
    kd->PrintDebugf(3, "Timeline::Init.\n");
    return true;
}

bool Timeline::LoadTimeline(const char* file) {
    kd->PrintDebugf(3, "Timeline::LoadTimeline('%s').\n", file ? file : "");
    FreeTimeline();
    filename.Set(file ? file : "");
    DMDatabase* db = file ? dman.GetDatabase(file) : nullptr;
    // Each node of the file's arrays is one event.
    if (db)
        for (int i = 0; i < db->GetNumberOfArrays(); i++) num_events += db->GetArray(i)->GetSize();
    return num_events > 0;
}

void Timeline::FreeTimeline() { num_events = 0; }
