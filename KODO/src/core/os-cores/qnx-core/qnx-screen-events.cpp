// The platform's screen events (touch, pointer, keyboard) as engine
// events.
#include <bps/screen.h>
#include <screen/screen.h>

#include "kd-internal.h"
#include "qnx-kodo.h"

static bool pointer_button_down = false;
static bool right_button_down = false;

// A key symbol as the engine's key id: letters and digits unchanged,
// backspace 8, tab 9, return 13, escape 27, space 32, page up 33, page down
// 34, the arrows 37 (left) to 40 (down), delete 46, anything else 0.
static int KeyFromSymbol(int sym) {
    if ((sym >= 'a' && sym <= 'z') || (sym >= '0' && sym <= '9') || (sym >= 'A' && sym <= 'Z')) return sym;
    switch (sym) {
        case KEYCODE_PG_UP: return 33;
        case KEYCODE_PG_DOWN: return 34;
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

// The character a key types: the key's own for letters, digits and the
// control keys that type (backspace, tab, return, escape, space); the
// symbol itself for the other printable ones ("(", '"', ...), which have no
// key id; 0 for the other keys without one; none (-1) for the keys that
// move or edit.
static int CharFromSymbol(int sym, int key) {
    if (key == 0) return sym > 32 && sym < 256 ? sym : 0;
    if ((key >= 33 && key <= 40) || key == 46) return -1;
    return key;
}

void KDQ_ResetScreenEventState() {
    pointer_button_down = false;
    right_button_down = false;
}

// The platform tells the modifiers with each key rather than as keys of
// their own: SHIFT (16) and CONTROL (17) are held for the key's events,
// with the state a pressed key has (3: down, and its press not yet read).
static void HoldModifiers(int mods, int value) {
    if (mods & KEYMOD_SHIFT) KD_SetKeyStatei(16, value);
    if (mods & KEYMOD_CTRL) KD_SetKeyStatei(17, value);
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
            int buttons = 0;
            screen_get_event_property_iv(se, SCREEN_PROPERTY_SOURCE_POSITION, pos);
            screen_get_event_property_iv(se, SCREEN_PROPERTY_BUTTONS, &buttons);
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
            break;
        }

        case SCREEN_EVENT_KEYBOARD: {
            int flags = 0, sym = 0;
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_FLAGS, &flags);
            if (!(flags & KEY_DOWN)) break;  // releases are ignored
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_SYM, &sym);
            int key = KeyFromSymbol(sym);
            int typed = CharFromSymbol(sym, key);
            int mods = 0;
            screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_MODIFIERS, &mods);
            HoldModifiers(mods, 3);
            KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, key);
            if (typed >= 0) KDI_SendCharEvent(typed);
            KDI_SendKeyEvent(KD_EVENT_KEY_UP, key);
            HoldModifiers(mods, 0);
            break;
        }

        default:
            break;
    }
}
