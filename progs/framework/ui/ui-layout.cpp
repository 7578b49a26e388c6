// Reading and writing UI layout files. See ui-layout.h.
#include "ui/ui-layout.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "atomic-file.h"
#include "localization.h"
#include "lua-args.h"
#include "manager.h"
#include "ui/ui-props.h"

// Layout files are hand-written; anything bigger is not one.
static const long UI_LAYOUT_MAX_BYTES = 16L << 20;

bool UILayoutRunString(UISet* set, const char* text, size_t length, const char* chunk_name) {
    if (!set || !set->L || !text) return false;
    lua_State* L = set->L;
    UILayoutRegisterFunctions(L);
    nString chunk("@");
    chunk.Append(chunk_name ? chunk_name : set->file.c_str());
    int top = lua_gettop(L);
    bool ok = true;
    if (LuaLoadText(L, text, length, chunk.c_str()) != 0) {
        const char* msg = lua_tostring(L, -1);
        ReportDataFault("UI layout '%s' does not compile: %s\n", chunk_name ? chunk_name : "", msg ? msg : "");
        ok = false;
    } else if (LuaManager::PCall(L, 0, 0) != 0) {
        const char* msg = lua_tostring(L, -1);
        ReportDataFault("UI layout '%s' stopped with an error; the components made before it are kept: %s\n",
                        chunk_name ? chunk_name : "", msg ? msg : "(error object is not a text)");
        ok = false;
    }
    lua_settop(L, top);
    return ok;
}

bool UILayoutRun(UISet* set, const char* file) {
    if (!set || !file) return false;
    kd_file_t* f = kd->OpenFile(file, "rb");
    if (!f) {
        ReportDataFault("UI layout '%s' not found or not readable.\n", file);
        return false;
    }
    long size = 0;
    if (kd->fseek(f, 0, SEEK_END)) size = kd->ftell(f);
    kd->fseek(f, 0, SEEK_SET);
    if (size < 0 || size > UI_LAYOUT_MAX_BYTES) {
        kd->CloseFile(f);
        ReportDataFault("UI layout '%s' is not readable (size %ld).\n", file, size);
        return false;
    }
    char* buffer = (char*)malloc((size_t)size + 1);
    if (!buffer) {
        kd->CloseFile(f);
        return false;
    }
    unsigned int got = size ? kd->fread(buffer, 1, (unsigned int)size, f) : 0;
    kd->CloseFile(f);
    buffer[got] = 0;
    bool ok = UILayoutRunString(set, buffer, got, file);
    free(buffer);
    return ok;
}

nString UILayoutExportText(UISet* set) {
    nString out("");
    if (!set) return out;
    UIAppendf(out, "-- %s\n\n", set->file.c_str());
    if (!set->events_file.IsEmpty()) {
        out.Append("UIEvents (");
        UIAppendQuoted(out, set->events_file.text);
        out.Append(");\n\n");
    }
    for (int i = 0; i < set->comps.count; i++) {
        if (!set->comps[i]) continue;
        set->comps[i]->ExportLua(out);
        out.Append("\n");
    }
    return out;
}

static bool Readable(const char* path) {
    kd_file_t* f = kd->OpenFile(path, "rb");
    if (!f) return false;
    kd->CloseFile(f);
    return true;
}

nString UILayoutTargetPath(const char* file) {
    nString path;
    if (!file) file = "";
    // Developers' saves go to "res://" names: the engine's path layer
    // writes them under "user://" (the bundled tree is never written) and,
    // in developer mode, reads them back from there first.
    kd_parms_t* parms = Manager::GetParms();
    if (loc_man.IsActive() && parms && parms->locale && *parms->locale)
        path.Format("res://data-%s/%s", parms->locale, file);
    else
        path.Format("res://data/%s", file);
    int n = kd->GetNumberOfSearchPaths();
    // A search path for UI sources ("...-ui/") takes the file first.
    for (int i = n - 1; i >= 0; i--) {
        const char* sp = kd->GetSearchPath(i);
        if (!sp) continue;
        size_t len = strlen(sp);
        // The last path element is what follows the last '/' before the
        // closing one.
        size_t end = len && sp[len - 1] == '/' ? len - 1 : len;
        size_t start = end;
        while (start > 0 && sp[start - 1] != '/') start--;
        nString last;
        last.Set(sp + start);
        if (strstr(last.c_str(), "-ui/")) {
            path.Format("%s%s", sp, file);
            break;
        }
    }
    // An existing copy of the file is overwritten where it is found. Its
    // search path keeps its scheme: without it the name would be relative
    // to the working folder, outside both trees.
    for (int i = 0; i < n; i++) {
        const char* sp = kd->GetSearchPath(i);
        if (!sp) continue;
        nString candidate;
        candidate.Set(sp);
        candidate.Append(file);
        if (candidate.Length() >= 512) continue;
        if (Readable(candidate.c_str())) {
            path = candidate;
            break;
        }
    }
    return path;
}

bool UILayoutExportTo(UISet* set, const char* path) {
    if (!set || !path) return false;
    const char* slash = strrchr(path, '/');
    if (slash) {
        nString dir;
        dir.Set(path);
        dir.text[slash - path] = 0;
        nString target;
        // Plain relative paths live under "res://"; a path with a scheme
        // names its folder itself.
        if (strstr(dir.text, "://"))
            target = dir;
        else
            target.Format("res://%s", dir.text);
        kd->CreateDirectory(target.c_str());
    }
    nString text = UILayoutExportText(set);
    kd->Printf("Exporting UISet to '%s'..\n", path);
    if (!AtomicWriteFile(path, text.c_str(), (unsigned int)text.Length())) {
        kd->Popupf(1, "Unable to save to file '%s'.\n", path);
        return false;
    }
    return true;
}

bool UILayoutExportAs(UISet* set, const char* file) {
    if (!set || !file) return false;
    nString path = UILayoutTargetPath(file);
    return UILayoutExportTo(set, path.c_str());
}

bool UILayoutExport(UISet* set) { return set && UILayoutExportAs(set, set->file.c_str()); }

void UILayoutDeleteComps(UISet* set) {
    if (!set) return;
    // Children first is not needed: a component never reaches its parent
    // on destruction.
    for (int i = 0; i < set->comps.count; i++) delete set->comps[i];
    for (int i = 0; i < set->removed.count; i++) delete set->removed[i];
    set->comps.Free();
    set->removed.Free();
    set->current = nullptr;
}
