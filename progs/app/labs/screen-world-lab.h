// The world lab: the developer's level editor. A simulation of its own in
// editor mode (nothing is damaged, destroyed or joined to the worm) where
// the actor definitions of "actors.xml" are placed, moved, turned and
// given movements, boss paths and world bounds, then saved as a world
// file and played at once in the game screen. Two screens open over it:
// the strip of shapes to place and the world's parameters.
#ifndef APP_LABS_SCREEN_WORLD_LAB_H
#define APP_LABS_SCREEN_WORLD_LAB_H

#include "labs/lab-files.h"
#include "nstring.h"
#include "physics/actor.h"
#include "physics/physics-manager.h"
#include "ui/screen.h"

class UICompTouchField;

enum { LAB_MODE_CREATE = 0, LAB_MODE_EDIT = 1 };

class ScreenWorldLab : public Screen {
public:
    ScreenWorldLab();
    bool PreLoad() override;
    void Enter() override;
    void Leave() override;
    void Update(float dt) override;
    void Draw(float dt) override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t* event) override;

    // The index wraps around the list; with no shapes nothing is current
    // (one line), so placing then does nothing.
    void SetShape(int index);
    void SetMode(int m);
    void ClearSelection();
    // Destroys the actor, first letting go of every selection that
    // refers to it.
    void DestroyActor(Actor* actor);
    void Reset();
    // Each false with a popup: a load keeps the world being built, a save
    // the file on disk.
    bool LoadWorldFile(const char* file);
    bool SaveWorldFile(const char* file);
    // The ideal time in "Time" when it is one a world file may hold;
    // otherwise the last valid one stays, and the box shows it again (one
    // line says so). Without the box (the UI editor deleted it), the
    // level's own.
    int TimeFromBox();
    // Fits the bounds around every body with fixtures, at least one
    // screen wide and high (OneScreen); an empty world keeps its bounds.
    // The popup's text says which.
    void CalculateBounds();
    // The smallest world: one reference screen, in metres.
    vec2_t OneScreen() const;
    // The whole world on the screen with a margin for the bounds' corners
    // and labels.
    void FitCamera();
    // The engine name of a dialog's answer: "://" names are kept, native
    // paths under the user or bundled tree are converted, the rest refused
    // with one line (false).
    static bool NameFromDialog(const char* answer, nString* out);
    // The world's name with ".xml" added unless it ends in it (in any
    // case) or names a folder (LabNamesFolder).
    static void WithXmlExtension(const char* name, nString* out);

    PhysicsSimulation world;
    LabShapeList shapes;
    ActorShape* current_shape = nullptr;
    uint8_t running = 0;
    int shape_index = 0;
    float placement_angle = 0;
    Actor* selected_actor = nullptr;
    Actor* selected_mover = nullptr;
    // The boss path point being dragged: its actor and index.
    Actor* path_owner = nullptr;
    int path_index = -1;
    int selected_corner = 0;
    // How far the dragged actor trails the pointer, kept off a full
    // square metre; nothing once the button is up.
    vec2_t drag_lag = {0, 0};
    // "Last:": the last world file loaded or saved, and a refusal since.
    LabStatus status;
    int mode = LAB_MODE_CREATE;
    // Set by a Leave that may be the UI editor's reload of the layout (L),
    // which leaves and enters the lab at once: the world and the text of
    // "Time" wait for the Enter that follows. An Enter that finds the lab
    // still shown in the stack is that reload; any other starts afresh.
    bool level_kept = false;
    nString kept_time;

    // The pointer's and the keys' commands, in world metres. A placement
    // or a drag the next load would leave out (past the most actors a
    // world, or a square metre, may hold) is refused with a line.
    void Place(vec2_t p);
    void Pick(vec2_t p);
    void Drag(vec2_t from, vec2_t to);
    // Whether an actor may stand at `p` with the others (all but
    // `except`) where they are, as WorldSpots counts them; if not, and
    // `refused` is given, one line ends with it.
    bool SpotHasRoom(vec2_t p, const Actor* except, const char* refused);
    void DragCorner(vec2_t to);
    // A key of the table; false when it is not one (or the "Time" box has
    // the keys).
    bool Key(int key);

private:
    void KeyboardCamera(float dt);
    void Load();
    void Save();
    bool TimeBoxFocused();
};

class ScreenWorldLabObjectSelector : public Screen {
public:
    ScreenWorldLabObjectSelector();
    bool PreLoad() override;
    void Enter() override;
    void Draw(float dt) override;
    int ProcessUICompClick(UIComp*, int) override { return 1; }
    int ProcessEvent(kd_event_t* event) override;
    // The shape whose cell holds screen x, or -1.
    int CellAt(float x);

    vec2_t press = {0, 0};

private:
    UICompTouchField* Field();
};

class ScreenWorldLabParms : public Screen {
public:
    ScreenWorldLabParms();
    bool PreLoad() override;
    void Enter() override;
    void Leave() override;
    void Draw(float dt) override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t*) override { return 1; }
};

extern ScreenWorldLab screen_WorldLab;
extern ScreenWorldLabObjectSelector screen_WorldLabObjectSelector;
extern ScreenWorldLabParms screen_WorldLabParms;

#endif
