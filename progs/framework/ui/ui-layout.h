// UI layout files: Lua text of `UIEvents`, `CreateComp` and `SetProperty`
// statements, run in a UI set's own Lua state, and written back by the
// UI editor with only what each component changes from its template.
//
// Reading never stops the program: a script that does not compile or
// fails while running is reported with its file and line, and the set
// keeps the components made before the fault. Writing replaces the file
// as a whole or not at all.
#ifndef FRAMEWORK_UI_LAYOUT_H
#define FRAMEWORK_UI_LAYOUT_H

#include <lua.hpp>

#include "nstring.h"
#include "ui/ui-comps.h"

// Registers "CreateComp", "SetProperty" and "UIEvents" in one state: the
// screen manager's script functions of those names (screen-bindings.cpp),
// which every state opened after start-up has already.
void UILayoutRegisterFunctions(lua_State* L);

// Runs a layout file (through the engine's files) in the set's state.
// False, with a warning naming the file and line, when it cannot be read,
// compiled or run.
bool UILayoutRun(UISet* set, const char* file);
// The same for a text in memory; `chunk_name` names it in messages.
bool UILayoutRunString(UISet* set, const char* text, size_t length, const char* chunk_name);

// The text of the whole set as the writer produces it. Converts ABSOLUTE
// components to RELATIVE_TO_PARENT in memory (see UIComp::ExportLua).
nString UILayoutExportText(UISet* set);
// Where the set's file is written (search paths, language folder).
nString UILayoutTargetPath(const char* file);
// Writes the set under another file name (UISet::ExportLua).
bool UILayoutExportAs(UISet* set, const char* file);
// Writes the set's file. False after the warning "Unable to save to
// file '%s'.\n" when it cannot be written; the old file is then kept.
bool UILayoutExport(UISet* set);
// Writes the set's text to an explicit path (tests and tools).
bool UILayoutExportTo(UISet* set, const char* path);

// Destroys the components of a set, those taken out of it too, and
// empties it (the set's owner does this; a set never destroys its
// components itself).
void UILayoutDeleteComps(UISet* set);

#endif
