// The model: a 3D model of the framework's model manager drawn at the
// component's place, turned by its angle and scaled by its dynamic scale,
// with depth testing on for the draw. Every component that holds the
// model holds a reference of its own, so a copy can outlive the original
// (or the other way round) without drawing a freed model.
#ifndef FRAMEWORK_UI_MODEL_H
#define FRAMEWORK_UI_MODEL_H

#include "ui/ui-comps.h"

class Model;

enum { UI_MODEL_NUM_PROPS = 1 };

class UICompModel : public UIComp {
public:
    UICompModel();
    ~UICompModel() override;
    static UIComp* Make() { return new UICompModel(); }

    const UIKind& Kind() const override;
    void Update(float) override {}
    void Draw() override;
    // Takes (2) or releases (3) the model's texture.
    void ApplyCacheMode(int mode) override;
    // Always drawn: a model reaches beyond its box in depth and turn.
    bool IsInView() override { return true; }
    // The model's extent in x and y (16 for none or a flat one), scaled.
    void UpdateDimensions() override;

    // Releases the model held, then takes the one of that file (null: none).
    void SetModel(const char* file);
    // Holds `m` too (a reference of this component's own), releasing what
    // it held.
    void ShareModel(Model* m);

    Model* model = nullptr;
};

#endif
