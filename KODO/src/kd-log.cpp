// Log, console and popups.
//
// Every message of the engine and the program goes through KD_Printf or
// KD_PrintDebugf into the console: numbered, timed, filtered by level,
// kept for the on-screen console and appended to the run's log file
// "user://logs/kodo-NNNN.log" (one past the highest there; see NextLogNumber).
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "kd-console.h"
#include "kd-file.h"

kdConsole kd_con;

static void (*log_sink)(int, const char*, void*) = nullptr;
static void* log_sink_user = nullptr;
// Sees exactly the lines that the log file gets, when they get there.
static void (*file_sink)(int, const char*, void*) = nullptr;
static void* file_sink_user = nullptr;

// Shared format buffer, used under PRINT.
static char print_buffer[KD_PRINT_BUFFER];

// Set while this thread holds PRINT: a message raised from inside the log
// itself (a file operation that reports a fault) must not lock again.
static thread_local bool print_busy = false;

static nArray<char*> shown_popups;
static nArray<KD_ConsoleLine> popup_queue;

// Lines printed before the console starts (the interface check, the
// settings files' own reports) wait here and go to the log once it opens.
// Bounded: a program that prints without end before start-up keeps its
// first lines.
static nArray<KD_ConsoleLine> early_lines;
static bool console_started = false;
static bool replaying_early_lines = false;  // the sink saw them when printed
enum { KD_MAX_EARLY_LINES = 256 };

static void DropEarlyLines() {
    for (int i = 0; i < early_lines.count; i++) free(early_lines[i].text);
    early_lines.Free();
}

// Both lists live for the whole run; their texts go at exit, before the
// lists themselves (objects of one file are destroyed in reverse order).
static struct PopupTextsAtExit {
    ~PopupTextsAtExit() {
        for (int i = 0; i < shown_popups.count; i++) free(shown_popups[i]);
        shown_popups.count = 0;
        for (int i = 0; i < popup_queue.count; i++) free(popup_queue[i].text);
        popup_queue.count = 0;
        DropEarlyLines();
    }
} popup_texts_at_exit;

void KDI_SetLogSink(void (*sink)(int, const char*, void*), void* user) {
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    log_sink = sink;
    log_sink_user = user;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
}

void KDI_SetLogFileSink(void (*sink)(int, const char*, void*), void* user) {
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    file_sink = sink;
    file_sink_user = user;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
}

// A script that prints without end must not fill the player's disk: a
// run's log file takes at most KD_LOG_MAX_BYTES, and stops sooner when
// the disk it is on has less than KD_LOG_DISK_RESERVE free (looked at
// every KD_LOG_LOOK_EVERY bytes), which the player's saves keep. One last
// line says that the rest is dropped. The newest KD_LOG_FILES_KEPT log
// files are kept, this run's included.
enum : long {
    KD_LOG_MAX_BYTES = 4L << 20,
    KD_LOG_DISK_RESERVE = 16L << 20,
    KD_LOG_LOOK_EVERY = 64L << 10,
    KD_LOG_FILES_KEPT = 10
};
static long log_bytes = 0;     // in this run's file
static long log_looked = 0;    // log_bytes when the free space was last looked at
static bool log_full = false;  // the last line is written

// The line to write in place of one of `bytes`: the line itself (null)
// while there is room, the last line once, then nothing ("").
static const char* LogRoom(size_t bytes, const char* name, FILE* spare) {
    if (log_full) return "";
    bool look = log_bytes == 0 || log_bytes - log_looked >= KD_LOG_LOOK_EVERY;
    log_bytes += (long)bytes;
    bool low = false;
    if (look) {
        log_looked = log_bytes;
        struct statvfs fs;
        char* native = spare ? nullptr : KD_ConvertStaticPathToNativeOSPath(name, true);
        int got = spare ? fstatvfs(fileno(spare), &fs) : native ? statvfs(native, &fs) : -1;
        free(native);
        low = got == 0 && (unsigned long long)fs.f_bavail * fs.f_frsize < (unsigned long long)KD_LOG_DISK_RESERVE;
    }
    if (!low && log_bytes <= KD_LOG_MAX_BYTES) return nullptr;
    log_full = true;
    static char last[128];
    if (low)
        snprintf(last, sizeof last, "The disk has less than %ld MB free: the rest of this run's log is dropped.",
                 KD_LOG_DISK_RESERVE >> 20);
    else
        snprintf(last, sizeof last, "This run's log has reached %ld MB: the rest of it is dropped.",
                 KD_LOG_MAX_BYTES >> 20);
    return last;
}

// The number of a log file's name ("kodo-0012.log"); 0 for any other name.
static int LogNumberOf(const char* name) {
    int n = 0;
    char again[32];
    if (sscanf(name, "kodo-%4d", &n) != 1 || n < 1) return 0;
    snprintf(again, sizeof again, "kodo-%.4d.log", n);
    return strcmp(again, name) == 0 ? n : 0;
}

// The number for this run's log: one past the highest there. Older ones
// beyond the newest KD_LOG_FILES_KEPT go (all of them, once the numbers
// run out). The folder is opened by the rule of kd-native-file.h and the
// files deleted in it: a "logs" that is a link to another folder is not
// listed, and nothing of that folder's goes.
static int NextLogNumber(const char* native) {
    DIR* dir = native ? KDI_OpenNativeFolder(native) : nullptr;
    int highest = 0;
    for (dirent* e; dir && (e = readdir(dir));)
        if (LogNumberOf(e->d_name) > highest) highest = LogNumberOf(e->d_name);
    int next = highest >= 9999 ? 1 : highest + 1;
    if (dir) rewinddir(dir);
    for (dirent* e; dir && (e = readdir(dir));) {
        int n = LogNumberOf(e->d_name);
        if (n && (next == 1 || n <= next - KD_LOG_FILES_KEPT)) unlinkat(dirfd(dir), e->d_name, 0);
    }
    if (dir) closedir(dir);
    return next;
}

// The log's first lines, in the log file or its spare.
static const char* LogHeader() {
    static char header[96];
    kd_date_t d;
    KDT_GetDate(&d);
    snprintf(header, sizeof header,
             "KODO (core version %.4d)\n-------------------------\nLogging started on %.2d-%.2d-%.2d.", 2958, d.year,
             d.month, d.day);
    return header;
}

// A file in the temporary folder ($TMPDIR, else /tmp) that only this
// run writes; null when none can be made.
static FILE* OpenSpareLog(char* name, size_t size) {
    const char* dir = getenv("TMPDIR");
    snprintf(name, size, "%s/kodo-log-XXXXXX.log", dir && *dir ? dir : "/tmp");
    int fd = mkstemps(name, 4);
    if (fd < 0) return nullptr;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    FILE* f = fdopen(fd, "w");
    if (!f) close(fd);
    return f;
}

// The copy of the log on stderr (developer mode's, or the log itself when
// no file would open) stops at the log file's bound too, with one line:
// stderr is often a file as well.
static long echo_bytes = 0;

static void EchoToStderr(const char* head, const char* text) {
    if (echo_bytes > KD_LOG_MAX_BYTES) return;
    size_t len = strlen(text);
    echo_bytes += (long)(strlen(head) + len + 1);
    if (echo_bytes > KD_LOG_MAX_BYTES) {
        fprintf(stderr, "This run's copy of the log on stderr has reached %ld MB: the rest of it is dropped.\n",
                KD_LOG_MAX_BYTES >> 20);
    } else {
        fputs(head, stderr);
        fputs(text, stderr);
        if (!len || text[len - 1] != '\n') fputc('\n', stderr);
    }
    fflush(stderr);
}

// ---------------------------------------------------------------------------
// Console

kdConsole::~kdConsole() { Free(); }

void kdConsole::Init() {
    enabled = false;
    open = false;
    sequence = 0;
    logName[0] = 0;
    logToStderr = false;
    if (spareLog) fclose(spareLog);
    spareLog = nullptr;
    memset(counters, 0, sizeof counters);
    input[0] = 0;
    cursor = 0;
    scroll = 0;
    historyCursor = 0;
    blink = 0;
    displayLevel = (int16_t)kd_state.verbose_level;
    toggleKey = kd_state.console_toggle_key;
    // Called under no lock at start-up; later lines wait for PRINT. The
    // lines the opening of the log prints (a link refused on the way to
    // it) wait with the early ones, and go to whichever log opened.
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    console_started = false;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    bool on = OpenLog();
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    console_started = true;
    enabled = on;
    nArray<KD_ConsoleLine> waiting = early_lines;
    early_lines = nArray<KD_ConsoleLine>();
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    if (enabled) {
        KDI_LockCoreMutex(KD_MUTEX_PRINT);
        print_busy = true;
        replaying_early_lines = true;
        for (int i = 0; i < waiting.count; i++) AddPiece((short)waiting[i].level, waiting[i].text);
        replaying_early_lines = false;
        print_busy = false;
        KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    }
    for (int i = 0; i < waiting.count; i++) free(waiting[i].text);
    waiting.Free();
}

bool kdConsole::OpenLog() {
    if (!kd_state.console_enabled) return false;

    logging = kd_state.logging;
    log_bytes = log_looked = echo_bytes = 0;
    log_full = false;
    if (logging) {
        // Made without the line KD_CreateDirectory prints: the lines printed
        // here are those of a fault (a link refused), which the log keeps.
        char* folder = KD_ConvertStaticPathToNativeOSPath("user://logs/", true);
        if (folder) KDI_MakeNativeFolders(folder);
        int n = NextLogNumber(folder);
        free(folder);
        KD_GetPathEx(logName, sizeof logName, 1, "logs/kodo-%.4d.log", n);
        kd_file_t* f = logName[0] ? KD_OpenFile(logName, "wb") : nullptr;
        if (!f) {
            // Asked for, but with nowhere to go (a player folder that
            // cannot be written, which start-up has told on stderr): the
            // log goes to a file of its own, named in one line, so that
            // stderr does not carry the whole log; to stderr only when
            // even that cannot be made.
            logging = false;
            char spare[PATH_MAX];
            spareLog = OpenSpareLog(spare, sizeof spare);
            if (spareLog) {
                fprintf(stderr, "The log file '%s' cannot be opened; the log goes to '%s'.\n", logName, spare);
                fputs(LogHeader(), spareLog);
                fflush(spareLog);
            } else {
                logToStderr = true;
                fprintf(stderr, "The log file '%s' cannot be opened; the log goes to stderr.\n", logName);
            }
            logName[0] = 0;
        } else {
            KD_fprintf(f, "%s", LogHeader());
            KD_CloseFile(f);
        }
    }
    return true;
}

void kdConsole::AddString(short level, const char* text) {
    if (!text) return;
    if (enabled && kd_state.developer_mode) EchoToStderr("", text);
    // A text with more after a line end is stored as one line per piece.
    const char* nl = strchr(text, '\n');
    if (nl && nl[1]) {
        const char* piece = text;
        while (*piece) {
            const char* end = strchr(piece, '\n');
            size_t len = end ? (size_t)(end - piece) : strlen(piece);
            if (len) {
                char* copy = (char*)malloc(len + 1);
                if (copy) {
                    memcpy(copy, piece, len);
                    copy[len] = 0;
                    AddPiece(level, copy);
                    free(copy);
                }
            }
            if (!end) break;
            piece = end + 1;
        }
        return;
    }
    AddPiece(level, text);
}

static void FillDate(int32_t* date) {
    kd_date_t d;
    KDT_GetDate(&d);
    date[0] = d.year;
    date[1] = d.month;
    date[2] = d.day;
    date[3] = d.hour;
    date[4] = d.minute;
    date[5] = d.second;
}

static void FreeLine(line_t& l) {
    free(l.text);
    free(l.thread);
    l.text = l.thread = nullptr;
}

void kdConsole::AddPiece(short level, const char* text) {
    if ((uint16_t)level > 7) level = KD_LOG_ERROR;
    if (log_sink && *text && !replaying_early_lines) log_sink(level, text, log_sink_user);
    if (!enabled) {
        if (!console_started && *text && early_lines.count < KD_MAX_EARLY_LINES) {
            KD_ConsoleLine kept;
            kept.level = level;
            kept.text = nStringDuplicate(text);
            if (kept.text) early_lines.InsertLast(kept);
        }
        return;
    }
    counters[level]++;
    if (level < displayLevel || !*text) return;

    bool main = KD_IsMainThread();
    const char* threadName = "MAIN";
    if (!main) {
        kd_thread_info_t* info = KDT_GetCurrentThreadInfo();
        threadName = info && info->name ? info->name : "?";
    }
    line_t l;
    l.level = (unsigned char)level;
    l.number = ++sequence;
    FillDate(l.date);
    l.text = nStringDuplicate(text);
    l.thread = nStringDuplicate(threadName);
    lines.InsertLast(l);
    if (lines.count > KD_CONSOLE_MAX_LINES) {
        FreeLine(lines[0]);
        FreeLine(lines[1]);
        lines.RemoveIndex(0);
        lines.RemoveIndex(0);
        line_t marker;
        marker.level = KD_LOG_SYSTEM;
        marker.number = 0;
        FillDate(marker.date);
        marker.text = nStringDuplicate("...");
        marker.thread = nullptr;
        lines.InsertFirst(marker);
    }

    // Developer mode echoes every line to stderr already.
    if (logToStderr && !kd_state.developer_mode) {
        char number[16];
        snprintf(number, sizeof number, "%.4d: ", l.number);
        EchoToStderr(number, text);
    }
    if (!logging && !spareLog) return;
    char head[128];
    if (main)
        snprintf(head, sizeof head, "%.4d: [%.2d:%.2d.%.2d] ", l.number, l.date[3], l.date[4], l.date[5]);
    else
        snprintf(head, sizeof head, "%.4d: [%.2d:%.2d.%.2d] [%s]> ", l.number, l.date[3], l.date[4], l.date[5],
                 threadName);
    size_t len = strlen(text);
    const char* end = !len || text[len - 1] != '\n' ? "\n" : "";
    if (const char* last = LogRoom(strlen(head) + len + strlen(end), logName, spareLog)) {
        if (!*last) return;
        text = last;
        end = "\n";
    }
    if (spareLog) {
        if (file_sink) file_sink(level, text, file_sink_user);
        fprintf(spareLog, "%s%s%s", head, text, end);
        fflush(spareLog);
        return;
    }
    kd_file_t* f = KD_OpenFile(logName, "a");
    if (!f) return;
    if (file_sink) file_sink(level, text, file_sink_user);
    KD_fprintf(f, "%s%s%s", head, text, end);
    KD_FlushFile(f);
    KD_CloseFile(f);
}

void kdConsole::Toggle() {
    if (!enabled) {
        open = false;
        return;
    }
    open = !open;
    kd_parms.console_open = open;
    if (kd_prog) kd_prog->parms.console_open = open;
}

void kdConsole::Update(float dt) {
    if (!enabled) return;
    openness += (open ? 4.0f : -4.0f) * dt;
    if (openness < 0) openness = 0;
    if (openness > 1) openness = 1;
    blink += dt;
    if (blink > 1) blink -= 1;
}

void kdConsole::InsertText(const char* text) {
    if (!text) return;
    int len = (int)strlen(input);
    if (cursor < 0) cursor = 0;
    if (cursor > len) cursor = len;
    for (const char* p = text; *p && len < KD_CONSOLE_INPUT - 1; p++) {
        if ((unsigned char)*p < 32) continue;
        memmove(input + cursor + 1, input + cursor, (size_t)(len - cursor) + 1);
        input[cursor++] = *p;
        len++;
    }
}

void kdConsole::EnterLine() {
    char line[KD_CONSOLE_INPUT + 2];
    snprintf(line, sizeof line, "%s\n", input);
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    print_busy = true;
    AddString(0, line);
    print_busy = false;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    if (browsing) {
        if (history.count) {
            free(history[history.count - 1]);
            history.RemoveIndex(history.count - 1);
        }
        browsing = false;
    }
    history.InsertLast(nStringDuplicate(input));
    historyCursor = history.count;
    // The event carries the text; it stays valid until the next line.
    static char entered[KD_CONSOLE_INPUT];
    memcpy(entered, input, sizeof entered);
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = KD_EVENT_CONSOLE_LINE;
    e.id = (intptr_t)entered;
    KDI_SendEvent(&e);
    input[0] = 0;
    cursor = 0;
}

bool kdConsole::ProcessEvent(kd_event_t* event) {
    if (!enabled || !event) return false;
    int len = (int)strlen(input);
    switch (event->type) {
        case KD_EVENT_CHAR: {
            int c = (int)(event->id & 0xff);
            if (c == 8) {
                if (cursor > 0) {
                    memmove(input + cursor - 1, input + cursor, (size_t)(len - cursor) + 1);
                    cursor--;
                }
            } else if (c == 13) {
                EnterLine();
            } else if (c > 31 && len < KD_CONSOLE_INPUT - 1) {
                char s[2] = {(char)c, 0};
                InsertText(s);
            }
            break;
        }
        case KD_EVENT_KEY_DOWN: {
            int key = (int)event->id;
            bool control = KD_GetKeyStatei(17) != 0;
            if (key == 36) cursor = 0;
            if (key == 35) cursor = len;
            if (key == 37 && cursor > 0) cursor--;
            if (key == 39 && cursor < len) cursor++;
            if (key == 33) scroll += 4;
            if (key == 34) scroll -= 4;
            if (history.count && key == 38) {
                if (!browsing) {
                    history.InsertLast(nStringDuplicate(input));
                    browsing = true;
                    if (--historyCursor < 0) historyCursor = 0;
                }
                if (historyCursor >= history.count) historyCursor = history.count - 1;
                snprintf(input, sizeof input, "%s", history[historyCursor]);
                cursor = (int)strlen(input);
                // Wraps from the oldest entry to the newest.
                if (--historyCursor < 0) historyCursor = history.count - 1;
            } else if (history.count && key == 40) {
                if (historyCursor >= 0 && historyCursor < history.count) {
                    snprintf(input, sizeof input, "%s", history[historyCursor]);
                    cursor = (int)strlen(input);
                    if (++historyCursor >= history.count) historyCursor = 0;
                }
            }
            if (control && key == 86 && pasteArmed) {
                InsertText(KD_CallExtension("Clipboard_GetText", nullptr));
                pasteArmed = false;
            } else if (control && key == 67) {
                nString all("");
                KDI_LockCoreMutex(KD_MUTEX_PRINT);
                for (int i = 0; i < lines.count; i++) all.Append(lines[i].text);
                KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
                KD_CallExtension("Clipboard_SetText", all.c_str());
            }
            if (!control) pasteArmed = true;
            break;
        }
        case KD_EVENT_WHEEL:
            scroll += event->wheel / 120;
            break;
        default:
            break;
    }
    return true;
}

void kdConsole::PrintStats() {
    if (!enabled) return;
    KD_PrintDebugf(KD_LOG_INFO, "KODO log: %d errors, %d warnings, %d infos.\n", counters[2], counters[1], counters[0]);
    KD_PrintDebugf(KD_LOG_INFO, "%d files left open..\n", kd_state.open_file_handles.load());
}

void kdConsole::Free() {
    if (spareLog) fclose(spareLog);
    spareLog = nullptr;
    for (int i = 0; i < lines.count; i++) FreeLine(lines[i]);
    lines.Free();
    for (int i = 0; i < history.count; i++) free(history[i]);
    history.Free();
    browsing = false;
    enabled = false;
    open = false;
}

bool KDI_ConsoleHandleEvent(kd_event_t* event) {
    if (!event) return false;
    // Key id 0 names no key (an unknown name); the platform sends character
    // 0 for keys it does not translate.
    if (event->type == KD_EVENT_CHAR && kd_con.toggleKey != 0 &&
        (unsigned char)event->id == (unsigned char)kd_con.toggleKey) {
        kd_con.Toggle();
        return true;
    }
    if (kd_con.open && event->type != KD_EVENT_CONSOLE_LINE) return kd_con.ProcessEvent(event);
    return false;
}

void KDI_InitConsole() { kd_con.Init(); }

void KDI_KeepEarlyLogLines() {
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    DropEarlyLines();
    console_started = false;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
}
void KDI_PrintConsoleStatistics() { kd_con.PrintStats(); }
void KDI_FreeConsole() { kd_con.Free(); }

// ---------------------------------------------------------------------------
// Printing

static void AddFormatted(int level, const char* format, va_list ap) {
    if (print_busy) {
        // Raised from inside the log: show it, but do not re-enter.
        vfprintf(stderr, format, ap);
        return;
    }
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    print_busy = true;
    // Longer messages are cut to the buffer, never dropped.
    vsnprintf(print_buffer, sizeof print_buffer, format ? format : "", ap);
    kd_con.AddString((short)level, print_buffer);
    print_busy = false;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
}

void KD_Printf(const char* format, ...) {
    if (kd_state.verbose_level != 0) return;
    va_list ap;
    va_start(ap, format);
    AddFormatted(0, format, ap);
    va_end(ap);
}

void KD_PrintDebugf(int level, const char* format, ...) {
    if (level < kd_state.verbose_level) return;
    va_list ap;
    va_start(ap, format);
    AddFormatted(level, format, ap);
    va_end(ap);
}

void KDD_PrintDebug(int level, const char* text) {}

// ---------------------------------------------------------------------------
// Popups

void KD_Popupf(int level, const char* format, ...) {
    if (!kd_prog || !kd_state.developer_mode || level < kd_state.verbose_level) return;
    if (print_busy) return;
    char text[KD_PRINT_BUFFER];
    va_list ap;
    va_start(ap, format);
    const char* f = format ? format : "";
    vsnprintf(text, sizeof text, f, ap);
    va_end(ap);

    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    print_busy = true;
    if (kd_state.initialised) kd_con.AddString((short)level, text);
    bool seen = false;
    for (int i = 0; i < shown_popups.count && !seen; i++) seen = strcmp(shown_popups[i], text) == 0;
    bool main = KD_IsMainThread();
    if (!seen) {
        shown_popups.InsertLast(nStringDuplicate(text));
        if (!main) {
            KD_ConsoleLine queued;
            queued.level = level;
            queued.text = nStringDuplicate(text);
            popup_queue.InsertLast(queued);
        }
    }
    print_busy = false;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    if (!seen && main) KD_Printf("KD: %s", text);
}

void KDI_FlushPopups() {
    if (print_busy) return;
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    nArray<KD_ConsoleLine> pending = popup_queue;
    popup_queue.count = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
    for (int i = 0; i < pending.count; i++) {
        KD_Printf("KD: %s", pending[i].text);
        free(pending[i].text);
    }
}

// Forgets the popups shown so far (tests start each case afresh).
void KDI_ResetPopups() {
    KDI_LockCoreMutex(KD_MUTEX_PRINT);
    for (int i = 0; i < shown_popups.count; i++) free(shown_popups[i]);
    shown_popups.Free();
    for (int i = 0; i < popup_queue.count; i++) free(popup_queue[i].text);
    popup_queue.Free();
    KDI_UnlockCoreMutex(KD_MUTEX_PRINT);
}

// ---------------------------------------------------------------------------

// Formats the whole text, however long, so that no value is ever cut.
int KD_fprintf(kd_file_t* file, const char* format, ...) {
    if (!format) return 0;
    char small[1024];
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(again);
        return n;
    }
    if (n < (int)sizeof small) {
        if (n) KD_fwrite(small, 1, (unsigned)n, file);
    } else {
        char* big = (char*)malloc((size_t)n + 1);
        if (big) {
            vsnprintf(big, (size_t)n + 1, format, again);
            KD_fwrite(big, 1, (unsigned)n, file);
            free(big);
        }
    }
    va_end(again);
    return n;
}
