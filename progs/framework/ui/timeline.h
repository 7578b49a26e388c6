// The timeline: the program's progression through the events of a
// timeline file ("timeline.xml" at start-up).
//
// Each event (a node of the file's array "timeline") names the screens
// that must be on the stack while it runs, optionally a game and a level
// to start, and parameters ("parm_<name>") for its key screen. Starting an
// event hands it to the transition screen (timeline-screens.h), which pops
// the old screens, loads and pushes the new ones and delivers the event:
// the parameters as screen messages, the game's level start, the custom
// event processor, and a save of the player's position in the active
// profile ("!SAVE_STATE" and "!TIMELINES", written by the game manager).
// Ending an event starts the next one in file order, or the target of a
// "JUMP" node that follows it.
//
// Everything here runs on the main thread; the transition's loader thread
// never reaches the timeline.
#ifndef FRAMEWORK_TIMELINE_H
#define FRAMEWORK_TIMELINE_H

#include <stdio.h>

#include "kodo.h"
#include "nstring.h"

class DMArray;
class DMNode;
class Screen;

// How a transition looks. Only FADE_BLACK and DYNAMIC reach the
// transition screen: AUTOMATIC is DYNAMIC when the first listed screen is
// already stacked and FADE_BLACK otherwise; DEFAULT is the timeline's
// default type (itself FADE_BLACK, DYNAMIC or AUTOMATIC).
enum TimelineTransitionType {
    TRANSITION_FADE_BLACK = 0,  // the transition screen fades to black and back
    TRANSITION_DYNAMIC = 1,     // the screens' own animations; the transition draws nothing
    TRANSITION_AUTOMATIC = 2,
    TRANSITION_DEFAULT = 3,
};

// What the developer's timeline screen shows of an event. "n/a" stands
// for a missing game or screens list.
struct TimelineEventInfo {
    const char* type = nullptr;
    const char* game = nullptr;
    const char* screens = nullptr;
};

// A game may follow the timeline through one of these.
class TimelineProcessor {
public:
    virtual ~TimelineProcessor() {}
    // An event was delivered.
    virtual void ProcessTimelineEvent(DMNode* node) {}
    // Writes the event's section of the HTML export; false leaves it to
    // the timeline's plain heading.
    virtual bool ExportTimelineEvent(FILE* stream, DMNode* node) { return false; }
    // Called once before the events ahead of a target are simulated.
    virtual void ResetSimulation() {}
    // Each event ahead of the target, in file order.
    virtual void SimulateTimelineEvent(const char* target_id, DMNode* node) {}
};

class Timeline {
public:
    // Registers the ten script functions; true.
    bool Init();
    // Makes the file the active timeline. False when it gives no array
    // "timeline"; the file then stays the timeline's name all the same,
    // so that a later save names it.
    bool LoadTimeline(const char* file);
    void FreeTimeline();
    // Null while nothing is loaded.
    const char* GetTimelineFilename() const { return loaded ? filename.text : nullptr; }
    int GetNumEvents() const;

    void SetDefaultTransitionType(int type) { default_transition = type; }
    // The event types the program shows, comma-separated ("JUMP" is always
    // known): an event of another type cannot start, and is reported at
    // load. Null (the default) takes any type.
    void SetKnownEventTypes(const char* types) { known_types.Set(types); }
    int GetDefaultTransitionType() const { return default_transition; }
    void SetCustomEventProcessor(TimelineProcessor* p) { processor = p; }

    bool EventExists(const char* id) const;
    const char* GetEventType(const char* id) const;
    // Leaves `info` as it was when the event or its type is missing.
    void GetEventInfo(TimelineEventInfo* info, const char* id) const;
    // The id after `id` in file order (the first after the last); a JUMP
    // node there stands for its target. Null for an unknown id.
    const char* GetNextEventId(const char* id) const;
    Screen* GetKeyScreenForEvent(const char* id) const;

    // Starts an event through the transition screen; null is the first
    // event. `type` is a TimelineTransitionType.
    void StartEvent(const char* id, bool resume, int type);
    // Delivers an event: called by the transition once the old screens
    // are gone. False when it could not start (unknown, or its game's
    // level did not load): it is then neither current nor saved.
    bool SendEventParametersToKeyScreen(const char* id);
    // Starts the next event; nothing while a transition runs.
    void EndEvent();
    // The event being played afresh (before any, the saved one), its save
    // game deleted; or the saved event resumed.
    void RestartEvent();
    void ResumeSavedEvent();
    // An event begun by name (the level selection, a level's Replay),
    // resumed if saved: it never moves the place on (MovesPlace).
    void BeginOffStory(const char* id);
    void SimulateGameToTimelineEvent(const char* id);
    bool SavedEventExists() const;
    // Saves the player's position: the resume point (the event delivered
    // last, or the one after it once the player is done with it); true.
    bool SaveGameState();
    // The event after the current one becomes the resume point, and is
    // saved (a won level: a restart goes on past it).
    void SaveAtNextEvent();
    void ExportHTML(const char* path);
    // Developer shortcuts: 'C' ends the current event. The screen manager
    // calls neither.
    int ProcessEvent(kd_event_t* event);
    void Update(float dt);

    // The delivered event's id, or null. An owned copy: it outlives a
    // switch of timelines and a release of the database.
    const char* GetCurrentEventId() const { return current_event.text; }
    unsigned int GetEventStartTime() const { return event_start_time; }
    bool GetResumeFlag() const { return resume; }

    // The events array of the loaded timeline (looked up anew on each
    // call, so a released database is read again rather than left
    // dangling); null when none.
    DMArray* GetEvents() const;

    // Saves a position through the game manager (nothing for null, which
    // would erase the position saved before, nor for an event that is not
    // the next along the story, or without a place its first: MovesPlace)
    // and logs whether it was saved.
    void SavePosition(const char* event_id);
    bool MovesPlace(const char* id) const;

private:
    void StartSavedEvent(bool resume_it);
    void SwitchToSavedTimeline();
    void CheckEvents(DMArray* events) const;
    bool KnownType(const char* type) const;
    nString WhyEventCannotStart(const DMNode* node) const;

    nString filename;
    bool loaded = false;
    TimelineProcessor* processor = nullptr;
    nString current_event;
    nString resume_point;
    // The event BeginOffStory started last, until another event starts.
    nString begun_off_story;
    nString known_types;
    unsigned int event_start_time = 0;
    bool resume = false;
    int default_transition = TRANSITION_AUTOMATIC;
};

extern Timeline timeline;

#endif
