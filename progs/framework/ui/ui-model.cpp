// The model. See ui-model.h.
#include "ui/ui-model.h"

#include "models.h"
#include "ui/ui-props.h"
#include "ui/ui-widgets.h"

UICompModel::UICompModel() {
    type = UI_MODEL;
    interactive = false;
}

UICompModel::~UICompModel() { model_man.ReleaseModel(model); }

void UICompModel::SetModel(const char* file) {
    // The old model goes back first, so a model set again is not loaded
    // twice.
    model_man.ReleaseModel(model);
    model = file && *file ? model_man.LoadModel(file) : nullptr;
    UpdateDimensions();
}

void UICompModel::ShareModel(Model* m) {
    if (m == model) return;
    // The manager hands the same record out again, counting it.
    Model* taken = m && m->name ? model_man.LoadModel(m->name) : nullptr;
    model_man.ReleaseModel(model);
    model = taken;
    UpdateDimensions();
}

void UICompModel::UpdateDimensions() {
    width = model ? model->bounds_max.x - model->bounds_min.x : 0;
    height = model ? model->bounds_max.y - model->bounds_min.y : 0;
    if (!(width > 0)) width = 16;
    if (!(height > 0)) height = 16;
    CalculateDynamicScale();
    width *= dynamic_scale;
    height *= dynamic_scale;
}

void UICompModel::Draw() {
    if (ui_widget_hooks.resize_mode) UpdateDimensions();
    float A = GetStaticAlpha();
    if (!(A > 0)) return;
    UIDrawSetup(this, A);
    // The model is drawn about its own origin, which the layout places.
    align = UI_ALIGN_CENTER;
    if (!model) return;
    vec2_t S = GetStaticPos();
    kd->SetRenderStateb(KD_RS_DEPTH_TEST, true);
    kd->SetRenderStateb(KD_RS_DEPTH_WRITE, true);
    model->Draw(vec3_t{S.x, S.y, GetStaticPosZ()}, GetStaticAngle(), dynamic_scale);
    kd->SetRenderStateb(KD_RS_DEPTH_TEST, false);
    kd->SetRenderStateb(KD_RS_DEPTH_WRITE, false);
}

void UICompModel::ApplyCacheMode(int mode) {
    if (model && model->texture) UIApplyCacheModeToBitmap(model->texture, mode);
}

const UIKind& UICompModel::Kind() const {
    static constexpr UIPropRow rows[] = {
        UIProp("model.model", UI_TEXT, UI_READ | UI_EXPORT | UI_INHERIT)
            .OnSet([](UIComp* c, const UIPropValue& v, lua_State*) { static_cast<UICompModel*>(c)->SetModel(v.text); })
            .OnGet([](UIComp* c, lua_State* L) {
                Model* m = static_cast<UICompModel*>(c)->model;
                return lua_pushstring(L, m && m->name ? m->name : ""), 1;
            })
            .OnPut([](UIComp* c, UIComp* T, nString& out) {
                Model* m = static_cast<UICompModel*>(c)->model;
                if (m && m->name && m != static_cast<UICompModel*>(T)->model) UIAppendTextLine(out, "model.model", m->name);
            })
            .OnCopy([](UIComp* to, UIComp* from) {
                static_cast<UICompModel*>(to)->ShareModel(static_cast<UICompModel*>(from)->model);
            }),
    };
    static_assert(UINamedRows(rows) == UI_MODEL_NUM_PROPS, "one row per model property");
    static_assert(UIPropRowsValid(rows, "model."), "model property table");
    static constexpr UIKind kind = UIMakeKind(UI_MODEL, "UICompModel", "model.", rows, Make, UI_UNKNOWN_NAMES_COMP);
    return kind;
}
