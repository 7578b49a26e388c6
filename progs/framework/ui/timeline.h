// The timeline of game events, as far as framework start-up needs it.
//
// Minimal here: Init, loading the file name and the data of a timeline
// through the data manager, freeing it and telling its file name. The
// timeline adds the event list and its processing, the transitions and
// the loader thread, the current event saved in the profile, the save and
// load decisions it hands to the game manager, and its script functions.
#ifndef FRAMEWORK_TIMELINE_H
#define FRAMEWORK_TIMELINE_H

#include "nstring.h"

class Timeline {
public:
    // Registers the timeline's script functions; true.
    bool Init();
    // False when the file gives no events (it stays the current file all
    // the same, so a later save names it).
    bool LoadTimeline(const char* file);
    void FreeTimeline();
    const char* GetTimelineFilename() const { return filename.c_str(); }
    // Stand-ins until the timeline lands: the program's start-up and
    // shutdown call them; they keep the type and save nothing.
    enum TransitionType { FADE_BLACK = 0 };
    void SetDefaultTransitionType(int type) { default_transition = type; }
    bool SaveGameState() { return false; }
    int default_transition = FADE_BLACK;
    int GetNumEvents() const { return num_events; }

private:
    nString filename;
    int num_events = 0;
};

extern Timeline timeline;

#endif
