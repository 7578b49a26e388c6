// Event service, navigator, virtual keyboard, trace and input script.

#include "host_internal.h"

#include <bps/virtualkeyboard.h>
#include <host/host.h>
#include <host/service.h>

#include <X11/Xlib.h>
#include <glob.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace kodo_host {

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_queue_mutex;
std::deque<bps_event_t> g_queue;
bps_event_t g_current;  // the event handed out by the last bps_get_event

std::atomic<int> g_bps_refs{0};
std::atomic<bool> g_screen_events{false};
std::atomic<bool> g_navigator_events{false};
std::atomic<int> g_window_state{NAVIGATOR_WINDOW_FULLSCREEN};
Clock::time_point g_start;

// Signals: the handler only counts; bps_get_event turns new counts into
// exit requests. A third signal that the program has not acted on ends the
// process the ordinary way, so a stuck program can still be stopped.
// Lock-free, so safe in a signal handler, and safe to read from the thread
// that polls for events whichever thread the signal interrupted.
std::atomic<int> g_signal_count{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free counter");
int g_signals_seen = 0;
bool g_handlers_installed = false;
struct sigaction g_old_int, g_old_term;

void on_signal(int sig) {
    if (++g_signal_count >= 3) {
        signal(sig, SIG_DFL);
        raise(sig);
    }
}

void install_signal_handlers() {
    if (g_handlers_installed) return;
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &g_old_int);
    sigaction(SIGTERM, &sa, &g_old_term);
    g_handlers_installed = true;
}

void remove_signal_handlers() {
    if (!g_handlers_installed) return;
    sigaction(SIGINT, &g_old_int, nullptr);
    sigaction(SIGTERM, &g_old_term, nullptr);
    g_handlers_installed = false;
}

// ---- trace ---------------------------------------------------------------

std::mutex g_trace_mutex;
FILE *g_trace = nullptr;
bool g_trace_checked = false;

void trace_open_locked() {
    if (g_trace_checked) return;
    g_trace_checked = true;
    const char *path = getenv("KODO_HOST_TRACE");
    if (!path || !*path) return;
    g_trace = fopen(path, "a");
    if (!g_trace) report("cannot open trace file %s: %s", path, strerror(errno));
}

// ---- script --------------------------------------------------------------

enum class Cmd {
    TouchDown,
    TouchMove,
    TouchUp,
    Key,
    KeyDown,
    KeyUp,
    State,
    Swipe,
    Screenshot,
    Exit,
    Service,
    Wait,
    Frames,
    Reply,
    Wheel,
    RightClick,
    ExitAfter,
    XKey
};

struct ScriptLine {
    long long ms = 0;
    Cmd cmd = Cmd::Exit;
    int x = 0, y = 0, id = 0;
    int key = 0;
    int state = 0;
    int service_type = 0;
    _service_field service[4];
    std::string path;
    std::string wanted;    // wait: the text to find in the file; reply: the answer
    bool cancel = false;   // reply: a cancel rather than a text
    long long frames = 0;  // frames: how many to hold for; wait: the deadline
    std::string text;    // the line as written, for the trace
};

std::mutex g_script_mutex;
std::vector<ScriptLine> g_script;  // sorted by time, stable
size_t g_script_next = 0;
// How long "wait" lines have held the script so far: every later line runs
// that much after its own time, so a script keeps its spacing on a machine
// slow enough to make the program late.
long long g_script_held_ms = 0;
// A "keydown" line ran since the program last found no event waiting: its
// "keyup" waits for that, so the program sees the key held for a frame at
// least, however late the two lines come due.
bool g_key_went_down = false;
// Where the last satisfied wait matched, so that the next wait on the same
// file looks only after it: a run's waits follow its log in order, as the
// same line may come more than once.
std::string g_wait_file;
long g_wait_from = 0;
// A wait gives up after this many frames unless its line says otherwise
// (frames=<n>): counted in the program's frames, so a slow or stopped
// machine waits longer, while a run whose text never comes fails within
// its deadline rather than at the test's time-out. Generous beside the
// longest wait of the end-to-end runs (under a thousand frames: a level
// played out by a replay, a slow load).
const long long kWaitFrames = 10000;
// A wait ran out of frames: the rest of the script was dropped and the
// program told to exit; host_script_failed answers it.
bool g_script_failed = false;
// Frames the program has run: each time it has taken every pending event
// (bps_get_event answering none). A "frames" line holds until this has
// grown by its count since the line came due (-1: not due yet).
std::atomic<long long> g_frames{0};
long long g_frames_from = -1;

std::string trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool parse_ll(const std::string &s, long long lo, long long hi, long long *out) {
    if (s.empty()) return false;
    errno = 0;
    char *end = nullptr;
    long long v = strtoll(s.c_str(), &end, 0);
    if (errno || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parse_int(const std::string &s, int *out) {
    long long v;
    if (!parse_ll(s, -1000000000LL, 1000000000LL, &v)) return false;
    *out = static_cast<int>(v);
    return true;
}

struct KeyName {
    const char *name;
    int sym;
};

const KeyName kKeyNames[] = {
    {"RETURN", KEYCODE_RETURN},   {"ENTER", KEYCODE_RETURN},     {"BACKSPACE", KEYCODE_BACKSPACE},
    {"TAB", KEYCODE_TAB},         {"ESCAPE", KEYCODE_ESCAPE},    {"ESC", KEYCODE_ESCAPE},
    {"SPACE", KEYCODE_SPACE},     {"DELETE", KEYCODE_DELETE},    {"INSERT", KEYCODE_INSERT},
    {"LEFT", KEYCODE_LEFT},       {"RIGHT", KEYCODE_RIGHT},      {"UP", KEYCODE_UP},
    {"DOWN", KEYCODE_DOWN},       {"HOME", KEYCODE_HOME},        {"END", KEYCODE_END},
    {"PGUP", KEYCODE_PG_UP},      {"PGDOWN", KEYCODE_PG_DOWN},   {"PAUSE", KEYCODE_PAUSE},
    {"F1", KEYCODE_F1},           {"F2", KEYCODE_F2},            {"F3", KEYCODE_F3},
    {"F4", KEYCODE_F4},           {"F5", KEYCODE_F5},            {"F6", KEYCODE_F6},
    {"F7", KEYCODE_F7},           {"F8", KEYCODE_F8},            {"F9", KEYCODE_F9},
    {"F10", KEYCODE_F10},         {"F11", KEYCODE_F11},          {"F12", KEYCODE_F12},
};

// A single character stands for itself ("a", "A", "5"); longer tokens are
// key names or numeric codes ("13", "0x41").
bool parse_key(const std::string &tok, int *sym) {
    if (tok.size() == 1) {
        unsigned char c = static_cast<unsigned char>(tok[0]);
        if (c < 33 || c > 126) return false;
        *sym = c;
        return true;
    }
    std::string up;
    for (char c : tok) up += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const KeyName &k : kKeyNames)
        if (up == k.name) {
            *sym = k.sym;
            return true;
        }
    long long v;
    if (parse_ll(tok, 1, 0x10FFFF, &v)) {
        *sym = static_cast<int>(v);
        return true;
    }
    return false;
}

// A text in double quotes starting at text[*p] (\" and \\ stand for
// themselves inside), followed by a blank or the end; *p moves past it.
// The empty string on success, else the reason.
std::string parse_quoted(const std::string &text, size_t *p, std::string *value) {
    size_t n = text.size();
    bool closed = false;
    value->clear();
    for (++*p; *p < n && !closed;) {
        char c = text[(*p)++];
        if (c == '\\' && *p < n)
            *value += text[(*p)++];
        else if (c == '"')
            closed = true;
        else
            *value += c;
    }
    if (!closed) return "has no closing quote";
    if (*p < n && !isspace(static_cast<unsigned char>(text[*p]))) return "must be followed by a blank";
    return "";
}

// "<ms> service <type> [id=<v>] [x=<v>] [y=<v>] [fifth=<v>]": <type> one of
// the service result types, each <v> a whole number or a text in double
// quotes (\" and \\ stand for themselves inside). The empty string on
// success, else the reason.
std::string parse_service(const std::string &text, ScriptLine *out) {
    static const char *const kFields[] = {"id", "x", "y", "fifth"};
    size_t p = text.find("service") + strlen("service"), n = text.size();
    auto skip_blanks = [&] {
        while (p < n && isspace(static_cast<unsigned char>(text[p]))) ++p;
    };
    auto token_end = [&](size_t from) {
        while (from < n && !isspace(static_cast<unsigned char>(text[from]))) ++from;
        return from;
    };
    skip_blanks();
    size_t e = token_end(p);
    long long type;
    if (!parse_ll(text.substr(p, e - p), 0, 1000, &type) || !((type >= 19 && type <= 22) || (type >= 32 && type <= 35)))
        return "service needs a result type, 19-22 or 32-35";
    out->service_type = static_cast<int>(type);
    p = e;
    for (skip_blanks(); p < n; skip_blanks()) {
        size_t eq = text.find('=', p);
        std::string name = eq == std::string::npos ? text.substr(p) : text.substr(p, eq - p);
        int index = -1;
        for (int i = 0; i < 4; i++)
            if (name == kFields[i]) index = i;
        if (eq == std::string::npos || index < 0) return "expected id=, x=, y= or fifth=, not '" + name + "'";
        _service_field &f = out->service[index];
        p = eq + 1;
        if (p < n && text[p] == '"') {
            std::string why = parse_quoted(text, &p, &f.text);
            if (!why.empty()) return "text of '" + name + "' " + why;
            f.is_text = true;
        } else {
            e = token_end(p);
            if (!parse_ll(text.substr(p, e - p), -2147483648LL, 4294967295LL, &f.number))
                return "bad number for '" + name + "'";
            f.is_text = false;
            p = e;
        }
    }
    return "";
}

// Parses one non-comment line. Returns an empty string on success, else
// the reason it is refused.
std::string parse_line(const std::string &text, ScriptLine *out) {
    std::istringstream in(text);
    std::vector<std::string> tok;
    std::string t;
    while (in >> t) tok.push_back(t);
    if (tok.size() < 2) return "expected '<ms> <command> ...'";
    if (!parse_ll(tok[0], 0, 1000LL * 3600 * 24 * 365, &out->ms)) return "bad time '" + tok[0] + "'";
    const std::string &cmd = tok[1];
    size_t nargs = tok.size() - 2;
    if (cmd == "touch_down" || cmd == "touch_move" || cmd == "touch_up") {
        out->cmd = cmd == "touch_down" ? Cmd::TouchDown : cmd == "touch_move" ? Cmd::TouchMove : Cmd::TouchUp;
        if (nargs != 2 && nargs != 3) return cmd + " needs <x> <y> [id]";
        if (!parse_int(tok[2], &out->x) || !parse_int(tok[3], &out->y)) return "bad coordinates";
        out->id = 0;
        if (nargs == 3 && !parse_int(tok[4], &out->id)) return "bad touch id '" + tok[4] + "'";
        return "";
    }
    if (cmd == "key" || cmd == "keydown" || cmd == "keyup" || cmd == "xkey" || cmd == "xkeydown" || cmd == "xkeyup") {
        const bool x = cmd[0] == 'x';
        const std::string base = x ? cmd.substr(1) : cmd;
        out->cmd = x ? Cmd::XKey : base == "key" ? Cmd::Key : base == "keydown" ? Cmd::KeyDown : Cmd::KeyUp;
        out->id = base == "key" ? 0 : base == "keydown" ? 1 : 2;
        if (nargs != 1) return cmd + " needs one name or code";
        // "ctrl+" and "shift+" hold a modifier for the key's press.
        std::string name = tok[2];
        out->state = 0;
        for (;;) {
            std::string low;
            for (char c : name.substr(0, 6)) low += static_cast<char>(tolower(static_cast<unsigned char>(c)));
            if (name.size() > 5 && low.compare(0, 5, "ctrl+") == 0)
                out->state |= KEYMOD_CTRL, name = name.substr(5);
            else if (name.size() > 6 && low == "shift+")
                out->state |= KEYMOD_SHIFT, name = name.substr(6);
            else
                break;
        }
        if (x) {
            KeySym sym = XStringToKeysym(name.c_str());
            if (sym == NoSymbol) return "unknown X key symbol '" + name + "'";
            out->key = static_cast<int>(sym);
            return "";
        }
        if (!parse_key(name, &out->key)) return "unknown key '" + tok[2] + "'";
        return "";
    }
    if (cmd == "right_click") {
        out->cmd = Cmd::RightClick;
        if (nargs != 2) return "right_click needs <x> <y>";
        if (!parse_int(tok[2], &out->x) || !parse_int(tok[3], &out->y)) return "bad coordinates";
        return "";
    }
    if (cmd == "state") {
        out->cmd = Cmd::State;
        if (nargs != 1) return "state needs fullscreen, thumbnail or invisible";
        if (tok[2] == "fullscreen") out->state = NAVIGATOR_WINDOW_FULLSCREEN;
        else if (tok[2] == "thumbnail") out->state = NAVIGATOR_WINDOW_THUMBNAIL;
        else if (tok[2] == "invisible") out->state = NAVIGATOR_WINDOW_INVISIBLE;
        else return "unknown state '" + tok[2] + "'";
        return "";
    }
    if (cmd == "swipe" || cmd == "exit") {
        out->cmd = cmd == "swipe" ? Cmd::Swipe : Cmd::Exit;
        if (nargs != 0) return cmd + " takes no argument";
        return "";
    }
    if (cmd == "service") {
        out->cmd = Cmd::Service;
        return parse_service(text, out);
    }
    if (cmd == "wait") {
        out->cmd = Cmd::Wait;
        out->frames = kWaitFrames;
        size_t first = 2;
        if (nargs >= 1 && tok[2].compare(0, 7, "frames=") == 0) {
            if (!parse_ll(tok[2].substr(7), 1, 1000000, &out->frames)) return "bad frame deadline '" + tok[2] + "'";
            first = 3;
        }
        if (tok.size() < first + 2) return "wait needs [frames=<n>] <file-pattern> <text>";
        out->path = tok[first];
        size_t p = text.find(tok[first], text.find(tok[first - 1]) + tok[first - 1].size());
        out->wanted = trim(text.substr(p + tok[first].size()));
        return "";
    }
    if (cmd == "exit_after") {
        out->cmd = Cmd::ExitAfter;
        if (nargs < 3 || !parse_ll(tok[2], 1, 1000000, &out->frames))
            return "exit_after needs <count> <file-pattern> <text>";
        out->path = tok[3];
        size_t p = text.find(tok[3], text.find(tok[2], text.find("exit_after") + strlen("exit_after")) + tok[2].size());
        out->wanted = trim(text.substr(p + tok[3].size()));
        return "";
    }
    if (cmd == "reply") {
        out->cmd = Cmd::Reply;
        if (nargs == 1 && tok[2] == "cancel") {
            out->cancel = true;
            return "";
        }
        size_t p = text.find('"', text.find("reply"));
        if (p == std::string::npos) return "reply needs \"<text>\" or cancel";
        std::string why = parse_quoted(text, &p, &out->wanted);
        if (!why.empty()) return "reply text " + why;
        if (!trim(text.substr(p)).empty()) return "reply takes one text";
        return "";
    }
    if (cmd == "wheel") {
        out->cmd = Cmd::Wheel;
        if (nargs != 3) return "wheel needs <x> <y> <notches>";
        if (!parse_int(tok[2], &out->x) || !parse_int(tok[3], &out->y)) return "bad coordinates";
        if (!parse_int(tok[4], &out->id) || out->id == 0 || out->id < -100 || out->id > 100)
            return "bad notches '" + tok[4] + "' (-100..100, not 0)";
        return "";
    }
    if (cmd == "frames") {
        out->cmd = Cmd::Frames;
        if (nargs != 1 || !parse_ll(tok[2], 1, 1000000, &out->frames)) return "frames needs a count of 1 or more";
        return "";
    }
    if (cmd == "screenshot") {
        out->cmd = Cmd::Screenshot;
        // The path is the rest of the line, so it may contain spaces.
        size_t p = text.find("screenshot");
        out->path = trim(text.substr(p + strlen("screenshot")));
        if (out->path.empty()) return "screenshot needs a path";
        return "";
    }
    return "unknown command '" + cmd + "'";
}

int load_script_stream(std::istream &in, const char *name) {
    std::vector<ScriptLine> lines;
    std::string raw;
    int lineno = 0;
    while (std::getline(in, raw)) {
        ++lineno;
        std::string text = trim(raw);
        if (text.empty() || text[0] == '#') continue;
        ScriptLine line;
        std::string why = parse_line(text, &line);
        if (!why.empty()) {
            fprintf(stderr, "KODO host script %s:%d: %s; line skipped: %s\n", name, lineno, why.c_str(),
                    text.c_str());
            continue;
        }
        line.text = text;
        lines.push_back(std::move(line));
    }
    mark_script_in_use();
    std::lock_guard<std::mutex> lock(g_script_mutex);
    // Lines already run stay out; the new ones join the pending ones in
    // time order (file order among equal times).
    g_script.erase(g_script.begin(), g_script.begin() + static_cast<long>(g_script_next));
    g_script_next = 0;
    g_script.insert(g_script.end(), lines.begin(), lines.end());
    std::stable_sort(g_script.begin(), g_script.end(),
                     [](const ScriptLine &a, const ScriptLine &b) { return a.ms < b.ms; });
    return static_cast<int>(lines.size());
}

// An "exit_after" watch: once armed, the program is told to exit when the
// file has held the text `count` times, whatever the script's other lines
// are waiting for (a run that ends after so many levels keeps its other
// timed lines going meanwhile). Guarded by g_script_mutex, as the script.
struct ExitWatch {
    bool armed = false;
    ScriptLine line;
    long long seen = 0;
    long from = 0;  // where the next search starts in the file
    long long checked_ms = -1000000;
} g_exit_watch;

void arm_exit_watch(const ScriptLine &line) {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    g_exit_watch = ExitWatch();
    g_exit_watch.armed = true;
    g_exit_watch.line = line;
}

long long elapsed_ms();

// Whether the watched file now holds the text often enough; it is looked
// at four times a second, as it is a log that grows all through the run.
bool exit_watch_fired() {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    ExitWatch &w = g_exit_watch;
    if (!w.armed || elapsed_ms() - w.checked_ms < 250) return false;
    w.checked_ms = elapsed_ms();
    glob_t g;
    if (glob(w.line.path.c_str(), 0, nullptr, &g) != 0) return false;
    std::ifstream in(g.gl_pathv[0], std::ios::binary);
    globfree(&g);
    if (!in || !in.seekg(w.from)) return false;
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t end = 0;
    for (size_t at = rest.find(w.line.wanted); at != std::string::npos; at = rest.find(w.line.wanted, end)) {
        end = at + w.line.wanted.size();
        w.seen++;
    }
    w.from += static_cast<long>(end);
    if (w.seen < w.line.frames) return false;
    host_trace("script %s: seen %lld times", w.line.text.c_str(), w.seen);
    w.armed = false;
    return true;
}

void run_script_line(const ScriptLine &line) {
    host_trace("script %s", line.text.c_str());
    switch (line.cmd) {
    case Cmd::TouchDown:
    case Cmd::TouchMove:
    case Cmd::TouchUp: {
        _screen_event s;
        s.type = line.cmd == Cmd::TouchDown   ? SCREEN_EVENT_MTOUCH_TOUCH
                 : line.cmd == Cmd::TouchMove ? SCREEN_EVENT_MTOUCH_MOVE
                                              : SCREEN_EVENT_MTOUCH_RELEASE;
        s.pos[0] = line.x;
        s.pos[1] = line.y;
        s.touch_id = line.id;
        post_screen_event(s);
        break;
    }
    case Cmd::Key:
        deliver_key(line.key, true, line.state);
        deliver_key(line.key, false, line.state);
        break;
    case Cmd::KeyDown:
    case Cmd::KeyUp:
        if (line.cmd == Cmd::KeyDown) g_key_went_down = true;
        if (line.cmd != Cmd::KeyUp) deliver_key(line.key, true, line.state);
        if (line.cmd != Cmd::KeyDown) deliver_key(line.key, false, line.state);
        break;
    case Cmd::XKey:
        if (line.id == 1) g_key_went_down = true;
        if (!video_send_x_key(static_cast<unsigned long>(line.key), line.state, line.id))
            report("script line '%s': no window, or no key code for the symbol", line.text.c_str());
        break;
    case Cmd::RightClick:
        for (int buttons : {SCREEN_RIGHT_MOUSE_BUTTON, 0}) {
            _screen_event s;
            s.type = SCREEN_EVENT_POINTER;
            s.pos[0] = line.x;
            s.pos[1] = line.y;
            s.buttons = buttons;
            post_screen_event(s);
        }
        break;
    case Cmd::State:
        set_window_state(line.state, true);
        break;
    case Cmd::Swipe:
        post_navigator(NAVIGATOR_SWIPE_DOWN);
        break;
    case Cmd::Exit:
        post_navigator(NAVIGATOR_EXIT);
        break;
    case Cmd::ExitAfter: arm_exit_watch(line); break;
    case Cmd::Screenshot:
        host_screenshot(line.path.c_str());  // traces its own result
        break;
    case Cmd::Wait:
    case Cmd::Frames: break;  // run_due_script holds the script until the text is there
    case Cmd::Reply: queue_reply(line.cancel, line.wanted); break;
    case Cmd::Wheel: {
        _screen_event s;
        s.type = SCREEN_EVENT_POINTER;
        s.pos[0] = line.x;
        s.pos[1] = line.y;
        s.wheel = line.id;
        post_screen_event(s);
        break;
    }
    case Cmd::Service: {
        bps_event_t ev;
        ev.domain = DOMAIN_SERVICE;
        ev.service_type = line.service_type;
        for (int i = 0; i < 4; i++) ev.service[i] = line.service[i];
        post_event(ev);
        break;
    }
    }
}

// Rewrites the file named by KODO_HOST_PROGRESS with the frame count, so
// that a watcher can tell a slow run that is still going from one that
// has stopped.
void write_progress(long long frames) {
    static const char *path = getenv("KODO_HOST_PROGRESS");
    if (!path || !*path) return;
    FILE *f = fopen(path, "w");
    if (!f) return;
    fprintf(f, "%lld\n", frames);
    fclose(f);
}

long long elapsed_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - g_start).count();
}

// Whether the first file matching the pattern holds the text after where
// the last wait on it matched; a match moves that place past it.
bool wait_satisfied(const ScriptLine &line) {
    glob_t g;
    if (glob(line.path.c_str(), 0, nullptr, &g) != 0) return false;
    std::string file = g.gl_pathv[0];
    globfree(&g);
    if (file != g_wait_file) {
        g_wait_file = file;
        g_wait_from = 0;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in || !in.seekg(g_wait_from)) return false;
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = rest.find(line.wanted);
    if (at == std::string::npos) return false;
    g_wait_from += static_cast<long>(at + line.wanted.size());
    return true;
}

// Runs due script lines until one of them has queued an event, so that a
// screenshot line sees the frames drawn after the events before it. A due
// "wait" line stops the lines after it until its text appears.
void run_due_script() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(g_queue_mutex);
            if (!g_queue.empty()) return;
        }
        ScriptLine line;
        long long held = -1;
        std::string gave_up;
        long long deadline = 0;
        do {
            std::lock_guard<std::mutex> lock(g_script_mutex);
            if (g_script_next >= g_script.size()) return;
            long long late = elapsed_ms() - (g_script[g_script_next].ms + g_script_held_ms);
            if (late < 0) return;
            const ScriptLine &next = g_script[g_script_next];
            if ((next.cmd == Cmd::KeyUp || (next.cmd == Cmd::XKey && next.id == 2)) && g_key_went_down) return;
            if (next.cmd == Cmd::Wait) {
                if (g_frames_from < 0) g_frames_from = g_frames;
                if (!wait_satisfied(next)) {
                    if (g_frames - g_frames_from < next.frames) return;
                    gave_up = next.text;
                    deadline = next.frames;
                    g_script_failed = true;
                    g_script_next = g_script.size();
                    g_frames_from = -1;
                    break;
                }
                g_frames_from = -1;
                g_script_held_ms += late;
                held = late;
            }
            if (next.cmd == Cmd::Frames) {
                if (g_frames_from < 0) g_frames_from = g_frames;
                if (g_frames - g_frames_from < next.frames) return;
                g_frames_from = -1;
                g_script_held_ms += late;
                held = late;
            }
            line = g_script[g_script_next++];
        } while (false);
        if (!gave_up.empty()) {
            // The run cannot go on as written: it ends at once, failed,
            // with a line that says which text never came.
            report(
                "script line '%s' failed: the text did not come within %lld frames; the rest of the "
                "script is dropped and the program told to exit",
                gave_up.c_str(), deadline);
            host_trace("script %s: not found in time", gave_up.c_str());
            post_navigator(NAVIGATOR_EXIT);
            return;
        }
        run_script_line(line);
        if (held >= 0) host_trace("script held %lld ms", held);
    }
}

bool pop_event(bps_event_t *out) {
    std::lock_guard<std::mutex> lock(g_queue_mutex);
    if (g_queue.empty()) return false;
    *out = g_queue.front();
    g_queue.pop_front();
    return true;
}

void poll_sources() {
    if (video_running()) video_pump();
    int count = g_signal_count;
    while (g_signals_seen < count) {
        ++g_signals_seen;
        post_navigator(NAVIGATOR_EXIT);
    }
    run_due_script();
    if (exit_watch_fired()) post_navigator(NAVIGATOR_EXIT);
}

}  // namespace

void report(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    fputs("KODO host: ", stderr);
    vfprintf(stderr, fmt, ap);
    fputc('\n', stderr);
    va_end(ap);
}

bool bps_running() { return g_bps_refs > 0; }

void post_event(const bps_event_t &ev) {
    if (ev.domain == DOMAIN_SCREEN && !g_screen_events) return;
    if (ev.domain == DOMAIN_NAVIGATOR && !g_navigator_events) return;
    std::lock_guard<std::mutex> lock(g_queue_mutex);
    if (g_bps_refs <= 0) return;
    g_queue.push_back(ev);
}

void post_screen_event(const _screen_event &sev) {
    bps_event_t ev;
    ev.domain = DOMAIN_SCREEN;
    ev.code = 0;
    ev.screen = sev;
    post_event(ev);
}

void post_navigator(unsigned int code, int window_state) {
    bps_event_t ev;
    ev.domain = DOMAIN_NAVIGATOR;
    ev.code = code;
    ev.window_state = window_state;
    post_event(ev);
}

int current_window_state() { return g_window_state; }

void set_window_state(int state, bool force) {
    if (state == g_window_state && !force) return;
    g_window_state = state;
    post_navigator(NAVIGATOR_WINDOW_STATE, state);
}

void deliver_key(int sym, bool down, int mods) {
    if (sym == KEYCODE_F9) {
        if (down)
            set_window_state(g_window_state == NAVIGATOR_WINDOW_FULLSCREEN ? NAVIGATOR_WINDOW_THUMBNAIL
                                                                           : NAVIGATOR_WINDOW_FULLSCREEN,
                             false);
        return;
    }
    if (sym == KEYCODE_F10) {
        if (down) post_navigator(NAVIGATOR_SWIPE_DOWN);
        return;
    }
    _screen_event s;
    s.type = SCREEN_EVENT_KEYBOARD;
    s.key_flags = (down ? KEY_DOWN : 0) | KEY_SYM_VALID | KEY_CAP_VALID;
    s.key_sym = sym;
    s.key_mods = mods;
    post_screen_event(s);
}

}  // namespace kodo_host

using namespace kodo_host;

namespace {

// The xdg-open processes running. A script that asks for pages without
// end starts one while none runs, or one a second up to four at once (an
// xdg-open that starts the browser may run until the browser is closed,
// and the player may tap another link meanwhile), and ten in any minute
// (an xdg-open that hands the page to a running browser ends at once):
// not a process, a thread and a browser tab per call.
std::mutex g_openers_mutex;
int g_openers = 0;
Clock::time_point g_last_opener;
constexpr int kOpeningsPerMinute = 10;
std::deque<Clock::time_point> g_openings;  // those of the last minute

bool may_start_opener() {
    std::lock_guard<std::mutex> lock(g_openers_mutex);
    Clock::time_point now = Clock::now();
    while (!g_openings.empty() && now - g_openings.front() >= std::chrono::minutes(1)) g_openings.pop_front();
    if (g_openers >= 4 || (g_openers > 0 && now - g_last_opener < std::chrono::seconds(1)) ||
        (int)g_openings.size() >= kOpeningsPerMinute)
        return false;
    g_openers++;
    g_last_opener = now;
    g_openings.push_back(now);
    return true;
}

void opener_ended() {
    std::lock_guard<std::mutex> lock(g_openers_mutex);
    g_openers--;
}

// An http:// or https:// link goes to the desktop's browser: xdg-open with
// the link as its one argument, no shell, not waited for; a thread of its
// own reaps it. Nothing is started while an input script drives the host,
// so tests never open a browser. False when refused for the others
// still opening.
bool open_web_link(const char *uri) {
    if (strncmp(uri, "http://", 7) != 0 && strncmp(uri, "https://", 8) != 0) {
        host_trace("url not opened: not an http:// or https:// link");
        return true;
    }
    // Counted before anything else, so that a scripted run meets the
    // bounds as a player would.
    if (!may_start_opener()) {
        host_trace("url not opened: others are still being opened, or ten were this minute");
        return false;
    }
    const char *script = getenv("KODO_HOST_SCRIPT");
    if ((script && *script) || host_script_pending() > 0) {
        opener_ended();
        host_trace("url not opened: an input script runs");
        return true;
    }
    char *argv[] = {const_cast<char *>("xdg-open"), const_cast<char *>(uri), nullptr};
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
    if (rc != 0) {
        opener_ended();
        host_trace("url not opened: xdg-open could not start (%s)", strerror(rc));
        return true;
    }
    host_trace("url opened by xdg-open (pid %d)", static_cast<int>(pid));
    std::thread([pid] {
        waitpid(pid, nullptr, 0);
        opener_ended();
    }).detach();
    return true;
}

}  // namespace

// ---- event service -------------------------------------------------------

extern "C" {

int bps_initialize(void) {
    if (g_bps_refs++ > 0) return BPS_SUCCESS;
    // glibc raises its mmap threshold each time a large block is freed, so
    // the images decoded for every level end up inside the heap, between
    // long-lived small blocks, and the heap never shrinks: a 60-minute run
    // through the levels grew by 250 MB this way. A fixed threshold keeps
    // large blocks in their own mappings, which go back to the system when
    // freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    g_start = Clock::now();
    g_signals_seen = g_signal_count;
    g_window_state = NAVIGATOR_WINDOW_FULLSCREEN;
    const char *script = getenv("KODO_HOST_SCRIPT");
    if (script && *script && host_script_load(script) < 0)
        report("cannot read input script %s: %s", script, strerror(errno));
    return BPS_SUCCESS;
}

int bps_shutdown(void) {
    if (g_bps_refs <= 0) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    if (--g_bps_refs > 0) return BPS_SUCCESS;
    remove_signal_handlers();
    g_screen_events = false;
    g_navigator_events = false;
    std::lock_guard<std::mutex> lock(g_queue_mutex);
    g_queue.clear();
    return BPS_SUCCESS;
}

int bps_get_event(bps_event_t **event, int timeout_ms) {
    if (!event) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    *event = nullptr;
    if (g_bps_refs <= 0) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0);
    for (;;) {
        if (pop_event(&g_current)) {
            *event = &g_current;
            return BPS_SUCCESS;
        }
        poll_sources();
        if (pop_event(&g_current)) {
            *event = &g_current;
            return BPS_SUCCESS;
        }
        // Nothing waiting: the program's frame has taken all its events.
        g_key_went_down = false;
        if (timeout_ms == 0) {
            if (++g_frames % 30 == 0) write_progress(g_frames);
            return BPS_SUCCESS;
        }
        if (timeout_ms > 0 && Clock::now() >= deadline) return BPS_SUCCESS;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int bps_event_get_domain(bps_event_t *event) { return event ? event->domain : BPS_FAILURE; }

unsigned int bps_event_get_code(bps_event_t *event) { return event ? event->code : 0; }

void bps_free(void *ptr) { free(ptr); }

// ---- navigator -----------------------------------------------------------

int navigator_get_domain(void) { return DOMAIN_NAVIGATOR; }

int navigator_request_events(int) {
    if (g_bps_refs <= 0) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    g_navigator_events = true;
    // SIGINT/SIGTERM become exit requests only while someone listens.
    install_signal_handlers();
    return BPS_SUCCESS;
}

int navigator_stop_events(int) {
    g_navigator_events = false;
    remove_signal_handlers();
    return BPS_SUCCESS;
}

int navigator_rotation_lock(bool) { return g_bps_refs > 0 ? BPS_SUCCESS : (errno = EINVAL, BPS_FAILURE); }

int navigator_invoke(const char *uri, char **err) {
    if (err) *err = nullptr;
    if (!uri || !*uri) {
        errno = EINVAL;
        if (err) *err = strdup("no URI given");
        return BPS_FAILURE;
    }
    host_trace("url %s", uri);
    if (open_web_link(uri)) return BPS_SUCCESS;
    errno = EBUSY;
    if (err) *err = strdup("other pages are still being opened, or ten were this minute; this one is dropped");
    return BPS_FAILURE;
}

navigator_window_state_t navigator_event_get_window_state(bps_event_t *event) {
    if (!event || event->domain != DOMAIN_NAVIGATOR) return NAVIGATOR_WINDOW_FULLSCREEN;
    return static_cast<navigator_window_state_t>(event->window_state);
}

// ---- virtual keyboard ----------------------------------------------------

int virtualkeyboard_request_events(int) { return g_bps_refs > 0 ? BPS_SUCCESS : (errno = EINVAL, BPS_FAILURE); }

void virtualkeyboard_change_options(int layout, int enter) {
    host_trace("keyboard options layout=%d enter=%d", layout, enter);
}

void virtualkeyboard_show(void) { host_trace("keyboard show"); }

void virtualkeyboard_hide(void) { host_trace("keyboard hide"); }

// ---- screen domain -------------------------------------------------------

int screen_get_domain(void) { return DOMAIN_SCREEN; }

int screen_request_events(screen_context_t ctx) {
    if (!ctx || g_bps_refs <= 0) {
        errno = EINVAL;
        return BPS_FAILURE;
    }
    g_screen_events = true;
    return BPS_SUCCESS;
}

int screen_stop_events(screen_context_t) {
    g_screen_events = false;
    return BPS_SUCCESS;
}

screen_event_t screen_event_get_event(bps_event_t *event) {
    if (!event || event->domain != DOMAIN_SCREEN) return nullptr;
    return &event->screen;
}

int screen_get_event_property_iv(screen_event_t ev, int pname, int *param) {
    if (!ev || !param) {
        errno = EINVAL;
        return -1;
    }
    switch (pname) {
    case SCREEN_PROPERTY_TYPE: *param = ev->type; return 0;
    case SCREEN_PROPERTY_POSITION:
    case SCREEN_PROPERTY_SOURCE_POSITION:
        param[0] = ev->pos[0];
        param[1] = ev->pos[1];
        return 0;
    case SCREEN_PROPERTY_TOUCH_ID: *param = ev->touch_id; return 0;
    case SCREEN_PROPERTY_BUTTONS: *param = ev->buttons; return 0;
    case SCREEN_PROPERTY_KEY_FLAGS: *param = ev->key_flags; return 0;
    case SCREEN_PROPERTY_KEY_SYM:
    case SCREEN_PROPERTY_KEY_CAP: *param = ev->key_sym; return 0;
    case SCREEN_PROPERTY_KEY_MODIFIERS: *param = ev->key_mods; return 0;
    case SCREEN_PROPERTY_MOUSE_WHEEL: *param = ev->wheel; return 0;
    default: errno = EINVAL; return -1;
    }
}

// ---- service results -----------------------------------------------------

int service_get_domain(void) { return DOMAIN_SERVICE; }

int service_store_available(void) {
    const char *store = getenv("KODO_HOST_STORE");
    return store && strcmp(store, "open") == 0 ? 1 : 0;
}

int service_event_get_type(bps_event_t *event) {
    return event && event->domain == DOMAIN_SERVICE ? event->service_type : 0;
}

int service_event_get_field(bps_event_t *event, int index, const char **text, long long *number) {
    if (!event || event->domain != DOMAIN_SERVICE || index < 0 || index > 3) return -1;
    const _service_field &f = event->service[index];
    if (f.is_text) {
        if (text) *text = f.text.c_str();
        return 1;
    }
    if (number) *number = f.number;
    return 0;
}

// ---- host facilities -----------------------------------------------------

int host_script_load(const char *path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    std::ifstream in(path);
    if (!in) {
        if (!errno) errno = ENOENT;
        return -1;
    }
    return load_script_stream(in, path);
}

int host_script_load_text(const char *text, const char *name) {
    if (!text) {
        errno = EINVAL;
        return -1;
    }
    std::istringstream in(text);
    return load_script_stream(in, name ? name : "(text)");
}

int host_script_pending(void) {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    return static_cast<int>(g_script.size() - g_script_next);
}

int host_script_failed(void) {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    return g_script_failed;
}

void host_script_clear(void) {
    std::lock_guard<std::mutex> lock(g_script_mutex);
    g_script.clear();
    g_script_next = 0;
    g_script_held_ms = 0;
    g_key_went_down = false;
    g_wait_file.clear();
    g_wait_from = 0;
    g_frames_from = -1;
    g_script_failed = false;
    g_exit_watch = ExitWatch();
}

void host_trace_reopen(void) {
    std::lock_guard<std::mutex> lock(g_trace_mutex);
    if (g_trace) fclose(g_trace);
    g_trace = nullptr;
    g_trace_checked = false;
}

void host_trace(const char *fmt, ...) {
    std::lock_guard<std::mutex> lock(g_trace_mutex);
    trace_open_locked();
    if (!g_trace) return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(g_trace, fmt, ap);
    va_end(ap);
    fputc('\n', g_trace);
    fflush(g_trace);
}

}  // extern "C"
