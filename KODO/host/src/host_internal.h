// Shared between the parts of the host platform layer; not installed.
#pragma once

#include <bps/bps.h>
#include <bps/mmrenderer.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <screen/screen.h>

#include <cstdint>
#include <string>

struct _screen_event {
    int type = SCREEN_EVENT_NONE;
    int pos[2] = {0, 0};
    int touch_id = 0;
    int buttons = 0;
    int key_flags = 0;
    int key_sym = 0;
    int key_mods = 0;
    int wheel = 0;  // pointer: wheel notches, away from the person positive
};

// A field of a service result (host/service.h): a number or a text.
struct _service_field {
    bool is_text = false;
    long long number = 0;
    std::string text;
};

struct bps_event_t {
    int domain = 0;
    unsigned int code = 0;
    _screen_event screen;
    int window_state = 0;
    mmr_state_t mmr_state = MMR_STATE_IDLE;
    mmr_error_info_t mmr_error = {0, 0};
    int service_type = 0;         // engine event type of a service result
    _service_field service[4];    // id, x, y, the fifth word
};

namespace kodo_host {

enum Domain { DOMAIN_SCREEN = 1, DOMAIN_NAVIGATOR = 2, DOMAIN_MMRENDERER = 3, DOMAIN_SERVICE = 4 };

// Event queue (thread-safe). Screen and navigator events are dropped
// unless the program asked for them.
void post_event(const bps_event_t &ev);
void post_screen_event(const _screen_event &sev);
void post_navigator(unsigned int code, int window_state = 0);

// Window state as the navigator reports it; set_window_state posts an
// event when the state changes, or always when force is set.
int current_window_state();
void set_window_state(int state, bool force);

// A key pressed or released by a person or the script. F9 and F10 are the
// host's own keys (thumbnail toggle, swipe down) and never reach the
// program.
void deliver_key(int sym, bool down, int mods);

// Video side (host_screen.cpp).
bool video_running();
void video_pump();  // translates pending SDL events into the queue
void video_window_size(int *w, int *h);
// Sends a key to the window as X events (the modifiers' keys pressed
// around it, CONTROL then SHIFT) and reads them back through the window's
// own key translation. which: 0 press and release, 1 press, 2 release.
// False when there is no window or the key has no key code.
bool video_send_x_key(unsigned long keysym, int mods, int which);

// Whether bps_initialize is in force.
bool bps_running();

// Prompts (host_dialog.cpp). Once a script is loaded the prompts answer
// from the replies it queues, never from a dialog program.
void mark_script_in_use();
void queue_reply(bool cancel, const std::string &text);

// Formats errno-style failures for stderr.
void report(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kodo_host
