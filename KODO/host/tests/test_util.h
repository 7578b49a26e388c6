// Helpers shared by the host layer's tests.
#pragma once

#include <bps/bps.h>
#include <bps/mmrenderer.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <host/service.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace host_test {

// A copy of what an event carried, so it outlives the next bps_get_event.
struct Ev {
    int domain = 0;
    unsigned code = 0;
    int type = 0, x = 0, y = 0, id = 0, buttons = 0, flags = 0, sym = 0;
    int window_state = -1;
    int mmr_state = -1;
    int mmr_error = -1;
    // Service results: "n:<number>" or "t:<text>" for id, x, y, fifth.
    std::string service[4];
};

inline Ev copy_event(bps_event_t *e) {
    Ev r;
    r.domain = bps_event_get_domain(e);
    r.code = bps_event_get_code(e);
    if (r.domain == screen_get_domain()) {
        screen_event_t se = screen_event_get_event(e);
        int pos[2] = {0, 0};
        screen_get_event_property_iv(se, SCREEN_PROPERTY_TYPE, &r.type);
        screen_get_event_property_iv(se, SCREEN_PROPERTY_POSITION, pos);
        r.x = pos[0];
        r.y = pos[1];
        screen_get_event_property_iv(se, SCREEN_PROPERTY_TOUCH_ID, &r.id);
        screen_get_event_property_iv(se, SCREEN_PROPERTY_BUTTONS, &r.buttons);
        screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_FLAGS, &r.flags);
        screen_get_event_property_iv(se, SCREEN_PROPERTY_KEY_SYM, &r.sym);
    } else if (r.domain == navigator_get_domain()) {
        r.window_state = navigator_event_get_window_state(e);
    } else if (r.domain == mmrenderer_get_domain()) {
        r.mmr_state = mmrenderer_event_get_state(e);
        const mmr_error_info_t *err = mmrenderer_event_get_error(e);
        r.mmr_error = err ? static_cast<int>(err->error_code) : -1;
    } else if (r.domain == service_get_domain()) {
        r.type = service_event_get_type(e);
        for (int i = 0; i < 4; i++) {
            const char *text = nullptr;
            long long number = 0;
            int kind = service_event_get_field(e, i, &text, &number);
            r.service[i] = kind == 1 ? std::string("t:") + text : "n:" + std::to_string(number);
        }
    }
    return r;
}

// Polls (timeout 0, as the engine does) for up to ms milliseconds, or until
// `want` events have arrived.
inline std::vector<Ev> collect(int ms, size_t want = 1000000) {
    std::vector<Ev> out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < want && std::chrono::steady_clock::now() < end) {
        bps_event_t *e = nullptr;
        bps_get_event(&e, 0);
        if (e) out.push_back(copy_event(e));
        else std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return out;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::string make_temp_dir() {
    char tmpl[] = "/tmp/kodo_host_test_XXXXXX";
    char *d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

inline std::string run(const std::string &cmd) {
    std::string out;
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    return out;
}

// Reads one value ("RMS     amplitude", "Rough   frequency", ...) from the
// statistics sox prints for the left channel of a raw 22050 Hz stereo s16
// file (its frequency estimate is only right for one channel).
inline double sox_stat(const std::string &raw, const std::string &key) {
    std::string out = run("sox -t raw -r 22050 -e signed -b 16 -c 2 '" + raw + "' -n remix 1 stat");
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        size_t c = line.find(':');
        if (c == std::string::npos) continue;
        std::string name = line.substr(0, c);
        std::string compact;
        for (char ch : name)
            if (ch != ' ') compact += ch;
        std::string want;
        for (char ch : key)
            if (ch != ' ') want += ch;
        if (compact == want) return atof(line.c_str() + c + 1);
    }
    return -1;
}

}  // namespace host_test
