// Prompts and file dialogs (host/dialog.h): answered by the input script's
// queued replies, or shown by `zenity` on a desktop.

#include "host_internal.h"

#include <host/dialog.h>
#include <host/host.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

extern char **environ;

namespace kodo_host {

namespace {

struct Reply {
    bool cancel;
    std::string text;
};

std::atomic<bool> g_script_in_use{false};
std::mutex g_reply_mutex;
std::deque<Reply> g_replies;

// The next queued reply of the script; false when none is queued.
bool take_reply(Reply *out) {
    std::lock_guard<std::mutex> lock(g_reply_mutex);
    if (g_replies.empty()) return false;
    *out = g_replies.front();
    g_replies.pop_front();
    return true;
}

// The full path of an executable named `name` on PATH; empty when none.
std::string find_on_path(const char *name) {
    const char *path = getenv("PATH");
    std::string all = path ? path : "";
    size_t from = 0;
    while (from <= all.size()) {
        size_t to = all.find(':', from);
        if (to == std::string::npos) to = all.size();
        std::string dir = all.substr(from, to - from);
        if (!dir.empty()) {
            std::string file = dir + "/" + name;
            struct stat st;
            if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0) return file;
        }
        from = to + 1;
    }
    return "";
}

// The chooser's filter arguments from "<name>\0<patterns>\0...\0".
void add_filters(const char *filters, std::vector<std::string> *args) {
    if (!filters) return;
    for (const char *p = filters; *p;) {
        const char *name = p;
        const char *patterns = name + strlen(name) + 1;
        if (!*patterns) break;
        std::string spec = std::string(name) + " | ";
        // The patterns of one filter are separated by ';'; zenity takes blanks.
        for (const char *c = patterns; *c; c++) spec += *c == ';' ? ' ' : *c;
        args->push_back("--file-filter=" + spec);
        p = patterns + strlen(patterns) + 1;
    }
}

std::vector<std::string> zenity_args(int kind, const char *title, const char *text, const char *filters) {
    std::vector<std::string> args = {"zenity"};
    args.push_back(std::string("--title=") + (title ? title : ""));
    if (kind == HOST_DIALOG_TEXT) {
        args.push_back("--entry");
        args.push_back(std::string("--text=") + (title ? title : ""));
        args.push_back(std::string("--entry-text=") + (text ? text : ""));
        return args;
    }
    args.push_back("--file-selection");
    if (kind == HOST_DIALOG_SAVE_FILE) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    // A trailing '/' makes the chooser open the folder itself.
    if (text && *text) args.push_back(std::string("--filename=") + text + (text[strlen(text) - 1] == '/' ? "" : "/"));
    add_filters(filters, &args);
    return args;
}

// Runs the program with the arguments (no shell), waits for it and
// collects what it writes. 1 with the answer when it ended with status 0,
// 0 when it ended otherwise (cancelled), -1 when it could not be started.
int run_dialog(const std::string &program, const std::vector<std::string> &args, std::string *answer) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (err != 0) {
        close(fds[0]);
        errno = err;
        return -1;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        answer->append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
}

}  // namespace

void mark_script_in_use() { g_script_in_use = true; }

void queue_reply(bool cancel, const std::string &text) {
    std::lock_guard<std::mutex> lock(g_reply_mutex);
    g_replies.push_back(Reply{cancel, text});
}

}  // namespace kodo_host

using namespace kodo_host;

extern "C" int host_dialog(int kind, const char *title, const char *text, const char *filters, char *reply,
                           size_t size) {
    if (!reply || size == 0 || kind < HOST_DIALOG_TEXT || kind > HOST_DIALOG_SAVE_FILE) return -1;
    reply[0] = 0;
    std::string answer;
    int got;
    if (g_script_in_use) {
        Reply r;
        if (!take_reply(&r)) {
            report("prompt '%s': the input script queued no reply; nothing entered", title ? title : "");
            return 0;
        }
        host_trace("dialog '%s' %s", title ? title : "", r.cancel ? "cancelled" : r.text.c_str());
        if (r.cancel) return 0;
        answer = r.text;
        got = 1;
    } else {
        const char *display = getenv("DISPLAY");
        std::string program = find_on_path("zenity");
        if (!display || !*display || program.empty()) return -1;
        got = run_dialog(program, zenity_args(kind, title, text, filters), &answer);
        if (got < 0) {
            report("cannot start %s: %s", program.c_str(), strerror(errno));
            return -1;
        }
        if (got == 0) return 0;
    }
    snprintf(reply, size, "%s", answer.c_str());
    return got;
}
