// One round of a kill test: a forked child saves again and again and is
// killed with SIGKILL at a chosen moment; the parent then checks what the
// child left on disk.
//
// The child gets the write end of a pipe: it writes one int when it is
// ready (what it found on disk) and one after every save it has
// completed. It is killed `delay_us` after it said it was ready, and must
// not end by itself.
#ifndef KILL_ROUND_H
#define KILL_ROUND_H

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

struct KillRound {
    std::string failure;       // empty when the round went as it should
    int start = -1;            // the child's first int
    int last = -1;             // the last int it wrote
    double ready_seconds = 0;  // from the fork to its first int
};

// The rounds of a kill test: KODO_KILL_ROUNDS, 200 by default.
inline int KillRounds() {
    const char* env = getenv("KODO_KILL_ROUNDS");
    return env && atoi(env) > 0 ? atoi(env) : 200;
}

inline KillRound RunAndKill(const std::function<void(int fd)>& child, useconds_t delay_us) {
    KillRound r;
    int fds[2];
    if (pipe(fds) != 0) {
        r.failure = "no pipe";
        return r;
    }
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        r.failure = "no fork";
        return r;
    }
    if (pid == 0) {
        close(fds[0]);
        child(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    auto t0 = std::chrono::steady_clock::now();
    bool ready = read(fds[0], &r.start, sizeof r.start) == (ssize_t)sizeof r.start;
    r.ready_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (ready) usleep(delay_us);
    kill(pid, SIGKILL);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        r.failure = "the child was lost";
    else if (!ready)
        r.failure = "the child failed before it was ready";
    else if (!WIFSIGNALED(status))
        r.failure = "the child ended by itself with " + std::to_string(WEXITSTATUS(status));
    r.last = r.start;
    int got;
    while (read(fds[0], &got, sizeof got) == (ssize_t)sizeof got) r.last = got;
    close(fds[0]);
    return r;
}

#endif
