// The UI editor's commands with answers from the input: keys of every
// command (with and without SHIFT and CONTROL), the menu's items, right
// clicks, and the prompts' replies (the names of the set's components, type
// and template names, or raw bytes with quotes and backslashes), on a
// screen holding one component of every kind with parents among them.
// After the commands no parent chain may loop, and the set's written text
// must read back.
// The engine is not started: everything runs on the null interface table,
// but for the prompts, which answer from the input.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "luaman.h"
#include "ui/screen-editor.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        n--;
        return *p++;
    }
    std::string Bytes(size_t len) {
        std::string s;
        while (len-- && n) s += (char)Byte();
        return s;
    }
};

Input* input = nullptr;
std::string reply;

const char* const kReplies[] = {"",
                                " c1",
                                "c0",
                                "c1",
                                "c5",
                                "c12",
                                "c13",
                                "IMAGE",
                                "Button",
                                "NoSuchType",
                                "DefaultButton",
                                "Nothing",
                                "C:\\\\w\\\\data-hd\\\\ui\\\\a.png",
                                "/w/data/ui/b.png",
                                "q\"u\\o'te",
                                "c13_clone"};

// A prompt: cancelled, a known word, or bytes of the input.
const char* Answer(const char* command, const char*) {
    if (!input || !command) return nullptr;
    uint8_t k = input->Byte();
    if (k % 5 == 0) return nullptr;
    if (k % 5 == 4)
        reply = input->Bytes(input->Byte() % 24);
    else
        reply = kReplies[(k / 5) % (sizeof kReplies / sizeof kReplies[0])];
    return reply.c_str();
}

const char* kLayout =
    "for t, name in ipairs ({'Unknown', 'Button', 'Slider', 'Editbox', 'Checkbox', 'Listbox', 'Path',\n"
    "  'Emitter', 'Scriptable', 'TouchField', 'TouchGrid', 'NinePatch', 'Textbox', 'Rectangle', 'Image',\n"
    "  'Marker', 'Ruler', 'Ad', 'Model'}) do\n"
    "  CreateComp (name, 'c' .. (t - 1));\n"
    "  SetProperty ('position', t / 20, t / 20);\n"
    "  if t > 13 then SetProperty ('parent', 'c13'); end\n"
    "end\n";

struct FuzzScreen : Screen {
    explicit FuzzScreen(const char* n) : Screen(n) {
        uiset = new UISet("ui/fuzz.lua", this);
        if (uiset->L) UILayoutRunString(uiset, kLayout, strlen(kLayout), "ui/fuzz.lua");
        preloaded = true;
    }
    ~FuzzScreen() override {
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
};

const int kKeys[] = {'A', 'B', 'C', 'E', 'F', 'I', 'J', 'K', 'N', 'P', 'R', 'W', 'Z',
                     'L', 'S', 9,   32,  37,  38,  39,  40,  46,  27,  97,  101, 105};
const char* const kItems[] = {"RELOAD_UI", "save_ui",   "BROWSE_BITMAP", "ADD_NEW_COMP",
                              "EDIT_NAME", "EDIT_TEXT", "SET_PARENT",    "NONE"};

void CheckNoLoops(UISet* set) {
    for (int i = 0; set && i < set->comps.count; i++) {
        int depth = 0;
        for (UIComp* c = set->comps[i]; c; c = c->parent)
            if (++depth > set->comps.count + 1) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    static kodo_t table;
    static bool ready = false;
    if (!ready) {
        ready = true;
        table = *kd;
        table.CallExtension = Answer;
        kd = &table;
        lua_man.Initialize();
        ScreenMan::RegisterLuaFunctions();
        UIRegisterWidgetKinds();
    }
    Input in{data, size};
    input = &in;
    {
        FuzzScreen fuzz("Fuzz");
        if (!fuzz.uiset->L) return 0;
        sman.PushScreen(&fuzz);
        for (int op = 0; op < 48 && in.n; op++) {
            uint8_t what = in.Byte();
            kd->SetKeyStatei(16, (what & 0x40) ? 3 : 0);
            kd->SetKeyStatei(17, (what & 0x80) ? 3 : 0);
            kd_event_t e{};
            if (what % 8 == 7) {
                ui_edit_menu.ProcessClick(kItems[in.Byte() % 8]);
                continue;
            }
            if (what % 8 == 6) {
                e.type = (what & 0x20) ? KD_EVENT_BUTTON_DOWN : KD_EVENT_POINTER_MOVE;
                e.button = (what & 0x10) ? 511 : 510;
                e.x = in.Byte() * 4;
                e.y = in.Byte() * 3;
            } else {
                e.type = KD_EVENT_KEY_DOWN;
                e.id = kKeys[in.Byte() % (sizeof kKeys / sizeof kKeys[0])];
            }
            sman.ProcessEditModeEvent(&e);
            CheckNoLoops(fuzz.uiset);
        }
        kd->SetKeyStatei(16, 0);
        kd->SetKeyStatei(17, 0);
        // What the editor would write reads back.
        nString text = UILayoutExportText(fuzz.uiset);
        UISet copy("ui/copy.lua", nullptr);
        if (copy.L) UILayoutRunString(&copy, text.c_str(), text.Length(), "ui/copy.lua");
        CheckNoLoops(&copy);
        UILayoutDeleteComps(&copy);
        ui_edit_menu.SetVisible(false);
        ui_edit_menu.Reset();
        sman.edit_selection = sman.isolated_comp = nullptr;
        sman.Shutdown();
        sman.UnlockCursors();
    }
    input = nullptr;
    return 0;
}
