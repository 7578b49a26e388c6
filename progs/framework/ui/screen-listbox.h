// What the screen manager asks of a list box: the script functions that
// fill one and the screen browser's list. Kept in one place, so that the
// rest of the manager does not depend on the list box's class.
//
// Each takes a component of type LISTBOX (checked by the caller); one that
// is not a list box (the kinds not registered) is left alone.
#ifndef FRAMEWORK_UI_SCREEN_LISTBOX_H
#define FRAMEWORK_UI_SCREEN_LISTBOX_H

#include <lua.hpp>

#include "kodo.h"
#include "nstring.h"

class UIComp;

void UIListboxClear(UIComp* box);
// Appends a line whose text is taken as it is (no format); `id` may be null.
void UIListboxAddLine(UIComp* box, kd_bitmap_t* bm, const char* text, const char* id);
void UIListboxSetLastLineTextRight(UIComp* box, const char* text);
void UIListboxSetLastLineBitmap(UIComp* box, kd_bitmap_t* bm);
void UIListboxScroll(UIComp* box, bool down);
// The id of the selected line ("" when there is none); `L` is a state to
// read it through.
nString UIListboxSelectedId(UIComp* box, lua_State* L);

#endif
