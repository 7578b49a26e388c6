// A copy of the engine's interface table whose message slots record what
// the framework says, for framework tests. Install() points the program's
// `kd` at the copy; the destructor puts the previous table back.
#ifndef RECORDING_KD_H
#define RECORDING_KD_H

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "kodo.h"

#include "framework-kd.h"

struct Recorded {
    std::vector<std::string> popups;   // "level|text"
    std::vector<std::string> debug;    // "level|text"
    std::vector<std::string> prints;
    std::vector<std::string> calls;    // free for the test's own slots
    void Clear() {
        popups.clear();
        debug.clear();
        prints.clear();
        calls.clear();
    }
    bool PopupContains(const std::string& s) const { return Has(popups, s); }
    bool DebugContains(const std::string& s) const { return Has(debug, s); }
    static bool Has(const std::vector<std::string>& v, const std::string& s) {
        for (const auto& x : v)
            if (x.find(s) != std::string::npos) return true;
        return false;
    }
};

inline Recorded& rec() {
    static Recorded r;
    return r;
}

inline std::string RecFormat(const char* format, va_list ap) {
    char text[4096];
    vsnprintf(text, sizeof text, format ? format : "", ap);
    return text;
}

inline void RecPopupf(int lvl, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    rec().popups.push_back(std::to_string(lvl) + "|" + RecFormat(format, ap));
    va_end(ap);
}

inline void RecPrintDebugf(int lvl, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    rec().debug.push_back(std::to_string(lvl) + "|" + RecFormat(format, ap));
    va_end(ap);
}

inline void RecPrintf(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    rec().prints.push_back(RecFormat(format, ap));
    va_end(ap);
}

class RecordingKd {
public:
    kodo_t table;
    explicit RecordingKd(kodo_t* base) : saved(kd) {
        table = *base;
        table.Popupf = RecPopupf;
        table.PrintDebugf = RecPrintDebugf;
        table.Printf = RecPrintf;
        rec().Clear();
    }
    void Install() { kd = &table; }
    ~RecordingKd() { kd = saved; }

private:
    kodo_t* saved;
};

#endif
