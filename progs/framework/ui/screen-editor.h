// The UI editor's pieces beside the screen manager's command handler
// (ScreenMan::ProcessEditModeEvent, screen-editor.cpp): the right-click
// menu and the helpers the commands share.
#ifndef FRAMEWORK_UI_SCREEN_EDITOR_H
#define FRAMEWORK_UI_SCREEN_EDITOR_H

#include "kodo.h"
#include "nstring.h"

class UIComp;
class UISet;

// A menu of text lines that opens at a point and shrinks away.
class PopMenu {
public:
    struct Item {
        int kind;  // 1 a command, 0 a separator or inactive line
        char* id;
        char* label;
    };
    typedef bool (*ClickHandler)(const char* id);

    PopMenu() {}
    virtual ~PopMenu() { Reset(); }
    PopMenu(const PopMenu&) = delete;
    PopMenu& operator=(const PopMenu&) = delete;

    // True when the menu is done with the click (it then closes).
    virtual bool ProcessClick(const char*) { return true; }

    void AddItem(int kind, const char* id, const char* label);
    bool RemoveItem(const char* id);
    void Reset();
    void UpdateSize();
    void SetPos(vec2_t p);
    void SetVisible(bool b) { visible = b; }
    void SetClickHandler(ClickHandler fn) { click_handler = fn; }
    void Update(float dt);
    // The item under the point while the menu is open, else -1.
    int GetItemAtPoint(vec2_t p) const;
    void Draw();
    // A press of the first mouse button: on an item it is the handler's
    // or ProcessClick's; off the menu it closes it. True for such a press.
    bool ProcessEvent(const kd_event_t& e);

    vec2_t pos = {0, 0}, pos_set = {0, 0};
    float phase = 0, text_width = 0;
    float row_height = 0, bg_width = 0, bg_height = 0;
    float margin = 4;
    bool visible = false;
    nArray<Item> items;
    ClickHandler click_handler = nullptr;
};

// The editor's menu: each command is the key that does the same.
class PopMenuEdit : public PopMenu {
public:
    bool ProcessClick(const char* id) override;
};

// The screen manager's one menu.
extern PopMenuEdit ui_edit_menu;

// What follows the data folder in a browsed path, '\\' read as '/': with
// `any_data_folder` the folder is the first whose name starts with "data"
// ("data-hd" too) and the name starts after its '/'; otherwise it must be
// "data/" itself. False when the path has no such folder.
bool UIEditorDataName(const char* path, bool any_data_folder, nString* out);
// Whether `candidate` is `comp` or one of its descendants.
bool UIEditorIsSelfOrDescendant(const UIComp* candidate, const UIComp* comp);
// Gives the component a new parent (null: none) keeping its place on the
// screen, for every position type.
void UIEditorReparent(UIComp* comp, UIComp* new_parent);

#endif
