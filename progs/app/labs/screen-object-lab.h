// The object lab: the developer's editor of actor definitions. It lists
// the files of "actors.xml" and the materials of "materials.xml", shows
// the chosen shape's picture magnified on a grid, lets the pointer edit
// its collision circle or polygon, five sliders set its physical values,
// and Save writes the definition back.
#ifndef APP_LABS_SCREEN_OBJECT_LAB_H
#define APP_LABS_SCREEN_OBJECT_LAB_H

#include "labs/lab-files.h"
#include "physics/actor-shapes.h"
#include "ui/screen.h"

class ScreenObjectLab : public Screen {
public:
    ScreenObjectLab();
    bool PreLoad() override;
    void Enter() override;
    void Update(float) override {}
    void Draw(float dt) override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t* event) override;

    void SelectShape(const char* file);
    void RefreshSliders();
    // Empties the polygon (the circle keeps its values).
    void ResetShape();
    // Writes the shape to its file; false, with one line and popup naming
    // the file and why, for a shape that could not be read, a file no
    // actor definition may be written to (LabSaveRefusal) or an outline
    // the reader refused (the file keeps it). The status line says which.
    bool SaveShape();
    // A press at p (shape pixels): picks the circle's centre or a vertex
    // within the pick radius, else adds a vertex while there is room.
    void Press(vec2_t p);
    void RemoveLastVertex();
    // The picture's size in pixels; a shape without one gets 64 x 64.
    void GridSize(float* w, float* h) const;

    ActorShape* edited_shape = nullptr;
    float grid_scale = 1;
    vec2_t grid_origin = {0, 0};
    vec2_t* dragged_point = nullptr;
    // The file of the selected shape, as "actors.xml" lists it.
    nString selected_file;
    LabShapeList shapes;
    // Under the tool bar: the last file saved, and a Save refused since.
    LabStatus status;

private:
    vec2_t ShapePoint(const kd_event_t* e) const;
    void DrawGrid();
};

extern ScreenObjectLab screen_ObjectLab;

#endif
