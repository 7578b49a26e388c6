// The platform's screen events (touch, pointer, keyboard) as engine
// events.
#include <bps/screen.h>
#include <screen/screen.h>

#include "kd-internal.h"
#include "qnx-kodo.h"

static bool pointer_button_down = false;
static bool right_button_down = false;

// A key symbol as the engine's key id, the codes kodo.h names (KD_KEY_*):
// a letter as its capital's code whatever Shift says (a keyboard sends 'a'
// for the key A), digits unchanged, backspace 8, tab 9, return 13, shift
// 16, control 17, alt 18, escape 27, space 32, page up 33, page down 34, end 35,
// home 36, the arrows 37 (left) to 40 (down), insert 45, delete 46, the
// numeric pad's digits 96 to 105 and its * + - . / 106, 107, 109, 110,
// 111, F1 to F5 112 to 116 (the developer's overlays); anything else 0.
static int KeyFromSymbol(int sym) {
    if (sym >= 'a' && sym <= 'z') return sym - 'a' + 'A';
    if ((sym >= '0' && sym <= '9') || (sym >= 'A' && sym <= 'Z')) return sym;
    if (sym >= KEYCODE_KP_0 && sym <= KEYCODE_KP_0 + 9) return 96 + (sym - KEYCODE_KP_0);
    if (sym >= KEYCODE_F1 && sym <= KEYCODE_F5) return 112 + (sym - KEYCODE_F1);
    switch (sym) {
        case KEYCODE_KP_MULTIPLY: return 106;
        case KEYCODE_KP_PLUS: return 107;
        case KEYCODE_KP_MINUS: return 109;
        case KEYCODE_KP_DECIMAL: return 110;
        case KEYCODE_KP_DIVIDE: return 111;
        case KEYCODE_LEFT_SHIFT:
        case KEYCODE_RIGHT_SHIFT: return 16;
        case KEYCODE_LEFT_CTRL:
        case KEYCODE_RIGHT_CTRL: return 17;
        case KEYCODE_LEFT_ALT:
        case KEYCODE_RIGHT_ALT: return 18;
        case KEYCODE_PG_UP: return 33;
        case KEYCODE_PG_DOWN: return 34;
        case KEYCODE_END: return 35;
        case KEYCODE_HOME: return 36;
        case KEYCODE_INSERT: return 45;
        case KEYCODE_DELETE: return 46;
        case KEYCODE_BACKSPACE: return 8;
        case KEYCODE_TAB: return 9;
        case KEYCODE_RETURN: return 13;
        case KEYCODE_ESCAPE: return 27;
        case KEYCODE_SPACE: return 32;
        case KEYCODE_LEFT: return 37;
        case KEYCODE_UP: return 38;
        case KEYCODE_RIGHT: return 39;
        case KEYCODE_DOWN: return 40;
        default: return 0;
    }
}

// The character a key types: the symbol itself for the printable ones
// (a lower-case 'a' without Shift, "(", '"'), the numeric pad's digit or
// sign, the key's own code for the control keys that type (backspace,
// tab, return, escape); 0 for the other keys without an id; none (-1)
// for the modifiers, the keys that move or edit and the function keys.
static int CharFromSymbol(int sym, int key) {
    if (key == 0) return sym > 32 && sym < 256 ? sym : 0;
    if ((key >= 16 && key <= 18) || (key >= 33 && key <= 40) || key == 45 || key == 46 || key >= 112) return -1;
    if (key >= 96 && key <= 105) return '0' + (key - 96);
    if (key >= 106 && key <= 111) return "*+,-./"[key - 106];
    return sym < 256 ? sym : key;
}

void KDQ_ResetScreenEventState() {
    pointer_button_down = false;
    right_button_down = false;
}

// SHIFT (16) and CONTROL (17) are keys of their own, held from their press
// to their release. The modifiers an event reports besides count for that
// event too (a Shift pressed before the window had the keyboard, a
// script's "ctrl+E"): a modifier the key table does not hold yet is held,
// with a pressed key's state 3, while the event is handled, and let go
// after it; one that is held already stays as it is.
struct HeldModifiers {
    bool shift = false, ctrl = false;
};

static HeldModifiers HoldModifiers(int mods) {
    HeldModifiers held;
    held.shift = (mods & KEYMOD_SHIFT) && !kd_state.key_states[16];
    held.ctrl = (mods & KEYMOD_CTRL) && !kd_state.key_states[17];
    if (held.shift) KD_SetKeyStatei(16, 3);
    if (held.ctrl) KD_SetKeyStatei(17, 3);
    return held;
}

static void LetGo(HeldModifiers held) {
    if (held.shift) KD_SetKeyStatei(16, 0);
    if (held.ctrl) KD_SetKeyStatei(17, 0);
}

void HandleScreenEvent(bps_event_t* event) {
    screen_event_t se = screen_event_get_event(event);
    if (!se) return;
    int type = 0;
    if (screen_get_event_property_iv(se, SCREEN_PROPERTY_TYPE, &type) != 0) return;
    int pos[2] = {0, 0};
    int touch_id = 0;

    switch (type) {
        case SCREEN_EVENT_MTOUCH_TOUCH:
        case SCREEN_EVENT_MTOUCH_MOVE:
        case SCREEN_EVENT_MTOUCH_RELEASE:
            screen_get_event_property_iv(se, SCREEN_PROPERTY_SOURCE_POSITION, pos);
            // Every id is passed on: the engine keeps a previous position
            // for the ids that have key-state slots, and the program decides
            // which touches it follows.
            screen_get_event_property_iv(se, SCREEN_PROPERTY_TOUCH_ID, &touch_id);
            if (type == SCREEN_EVENT_MTOUCH_MOVE)
                KDI_SendMouseMoveEvent(touch_id, (float)pos[0], (float)pos[1]);
            else
                KDI_SendMouseButtonEvent(type == SCREEN_EVENT_MTOUCH_TOUCH ? KD_EVENT_BUTTON_DOWN : KD_EVENT_BUTTON_UP,
                                         touch_id, KD_KEY_TOUCH, (float)pos[0], (float)pos[1]);
            break;

        case SCREEN_EVENT_POINTER: {
            int buttons = 0, mods = 0;
            screen_get_event_property_iv(se, SCREEN_PROPERTY_SOURCE_POSITION, pos);
            screen_get_event_property_iv(se, SCREEN_PROPERTY_BUTTONS, &buttons);
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_MODIFIERS, &mods);
            const HeldModifiers held = HoldModifiers(mods);
            KDI_SendMouseMoveEvent(0, (float)pos[0], (float)pos[1]);
            int notches = 0;
            if (screen_get_event_property_iv(se, SCREEN_PROPERTY_MOUSE_WHEEL, &notches) == 0 && notches)
                KDI_SendMouseWheelEvent(KD_EVENT_WHEEL, 0, notches * 120, (float)pos[0], (float)pos[1]);
            if (buttons == SCREEN_LEFT_MOUSE_BUTTON && !pointer_button_down) {
                KDI_SendMouseButtonEvent(KD_EVENT_BUTTON_DOWN, 0, KD_KEY_MOUSE_BUTTON_0, (float)pos[0],
                                         (float)pos[1]);
                pointer_button_down = true;
            } else if (buttons != SCREEN_LEFT_MOUSE_BUTTON && pointer_button_down) {
                KDI_SendMouseButtonEvent(KD_EVENT_BUTTON_UP, 0, KD_KEY_MOUSE_BUTTON_0, (float)pos[0], (float)pos[1]);
                pointer_button_down = false;
            }
            // The right button (MOUSE_BUTTON_1) on its own: menus of the
            // developer's tools.
            const bool right = (buttons & SCREEN_RIGHT_MOUSE_BUTTON) != 0;
            if (right != right_button_down) {
                KDI_SendMouseButtonEvent(right ? KD_EVENT_BUTTON_DOWN : KD_EVENT_BUTTON_UP, 0, KD_KEY_MOUSE_BUTTON_1,
                                         (float)pos[0], (float)pos[1]);
                right_button_down = right;
            }
            LetGo(held);
            break;
        }

        case SCREEN_EVENT_KEYBOARD: {
            int flags = 0, sym = 0;
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_FLAGS, &flags);
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_SYM, &sym);
            int key = KeyFromSymbol(sym);
            // A key is held from its press to its release: the game-pad
            // cursor steps on while Tab is down. A key that is not one of
            // the engine's (0) has no state to hold, so it comes and goes
            // with its press. The modifiers count for the press, where the
            // developer's commands read them.
            if (flags & KEY_DOWN) {
                int typed = CharFromSymbol(sym, key);
                int mods = 0;
                screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_MODIFIERS, &mods);
                const HeldModifiers held = key == 16 || key == 17 ? HeldModifiers{} : HoldModifiers(mods);
                KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, key);
                if (typed >= 0) KDI_SendCharEvent(typed);
                if (!key) KDI_SendKeyEvent(KD_EVENT_KEY_UP, key);
                LetGo(held);
            } else if (key) {
                KDI_SendKeyEvent(KD_EVENT_KEY_UP, key);
            }
            break;
        }

        default:
            break;
    }
}
