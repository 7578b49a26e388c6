// The developer console: the store of recent log lines, the numbered log
// file, the input line and its history. Lines are added under core mutex
// PRINT; readers on the main thread (the overlay that draws the console)
// take the same lock while they walk `lines`.
#ifndef KD_CONSOLE_H
#define KD_CONSOLE_H

#include "kd-internal.h"

enum { KD_CONSOLE_MAX_LINES = 8192, KD_CONSOLE_INPUT = 512, KD_PRINT_BUFFER = 4096 };

struct line_t {
    unsigned char level;
    int32_t number;  // 0 for the "..." marker
    int32_t date[6];  // year, month, day, hour, minute, second
    char* text;
    char* thread;  // "MAIN" for the main thread; null for the marker
};

// An entry of the popup queue.
struct KD_ConsoleLine {
    int level;
    char* text;
};

class kdConsole {
public:
    bool enabled = false;
    bool open = false;
    float openness = 0;
    kd_font_t* font = nullptr;
    int32_t scroll = 0;
    int32_t sequence = 0;
    bool logging = false;
    bool logToStderr = false;  // logging asked for, neither log file would open
    // The log's place when the player's folder takes no file: a file of
    // its own in the temporary folder, named once on stderr.
    FILE* spareLog = nullptr;
    char logName[260] = "";
    int toggleKey = -89;
    int32_t counters[8] = {};
    int16_t displayLevel = 0;
    char input[KD_CONSOLE_INPUT] = "";
    int32_t cursor = 0;
    nArray<char*> history;
    bool browsing = false;
    int32_t historyCursor = 0;
    float blink = 0;
    bool pasteArmed = true;
    nArray<line_t> lines;

    ~kdConsole();
    void Init();
    // Called with core mutex PRINT held.
    void AddString(short level, const char* text);
    bool ProcessEvent(kd_event_t* event);
    void Toggle();
    void Update(float dt);
    // Draws the console over the frame (kd-overlays.cpp).
    void Draw();
    void PrintStats();
    void Free();

private:
    void AddPiece(short level, const char* text);
    bool OpenLog();  // true when the console is on
    void EnterLine();
    void InsertText(const char* text);
};

extern kdConsole kd_con;

// Routes an event to the console first: the toggle character, and every
// event but console lines while the console is open. True when consumed.
bool KDI_ConsoleHandleEvent(kd_event_t* event);

// Forgets the popups shown so far and drops queued ones.
void KDI_ResetPopups();
void KDD_PrintDebug(int level, const char* text);

#endif
