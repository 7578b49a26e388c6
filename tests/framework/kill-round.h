// One round of a kill test: a child saves again and again and is killed
// with SIGKILL at a chosen moment; the parent then checks what the child
// left on disk.
//
// The child is this test program started afresh, never a fork of it: the
// parent has started engines, and their threads may have held a lock at
// the fork that the child would wait on for ever, and ThreadSanitizer
// refuses to start threads in a child forked from threads at all. Its
// body is a function `void Body(const std::string& arg, int fd)` named
// with KILL_CHILD(Body); the fresh program runs it before any test, with
// the argument the parent gave RunAndKill.
//
// The child gets the write end of a pipe: it writes one int when it is
// ready (what it found on disk) and one after every save it has
// completed. It is killed `delay_us` after it said it was ready (and
// after `saves_first` more ints, when given), and must not end by itself.
#ifndef KILL_ROUND_H
#define KILL_ROUND_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

extern char** environ;

struct KillRound {
    std::string failure;       // empty when the round went as it should
    int start = -1;            // the child's first int
    int last = -1;             // the last int it wrote
    double ready_seconds = 0;  // from the start to its first int
};

// The rounds of a kill test: KODO_KILL_ROUNDS, 200 by default.
inline int KillRounds() {
    const char* env = getenv("KODO_KILL_ROUNDS");
    return env && atoi(env) > 0 ? atoi(env) : 200;
}

using KillChildBody = void (*)(const std::string& arg, int fd);

// The child's word to the parent on its pipe; a child that cannot say it
// ends at once (status 5), which fails the round.
inline void WriteInt(int fd, int v) {
    if (write(fd, &v, sizeof v) != (ssize_t)sizeof v) _exit(5);
}

inline std::map<std::string, KillChildBody>& KillChildren() {
    static std::map<std::string, KillChildBody> bodies;
    return bodies;
}

struct KillChildName {
    KillChildName(const char* name, KillChildBody body) { KillChildren()[name] = body; }
};
#define KILL_CHILD(body) static const KillChildName kill_child_##body(#body, body)

// In the fresh program the environment names the body, its argument and
// the pipe; gtest has started, the tests have not.
class KillChildStart : public ::testing::Environment {
public:
    void SetUp() override {
        const char* name = getenv("KODO_KILL_CHILD");
        if (!name) return;
        const char* arg = getenv("KODO_KILL_ARG");
        const char* fd = getenv("KODO_KILL_FD");
        auto body = KillChildren().find(name);
        if (body == KillChildren().end() || !arg || !fd) {
            fprintf(stderr, "kill child '%s' is not known\n", name);
            _exit(2);
        }
        body->second(arg, atoi(fd));
        _exit(0);
    }
};
inline ::testing::Environment* const kill_child_start = ::testing::AddGlobalTestEnvironment(new KillChildStart);

inline KillRound RunAndKill(KillChildBody child, const std::string& arg, useconds_t delay_us, int saves_first = 0) {
    KillRound r;
    std::string name;
    for (const auto& entry : KillChildren())
        if (entry.second == child) name = entry.first;
    if (name.empty()) {
        r.failure = "the child's body is not named with KILL_CHILD";
        return r;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        r.failure = "no pipe";
        return r;
    }
    // The test running now is the one the child's gtest selects, so that
    // it starts its environments; the body ends the program before it.
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string self = "/proc/self/exe";
    std::string filter =
        std::string("--gtest_filter=") + (test ? test->test_suite_name() : "") + "." + (test ? test->name() : "");
    std::vector<std::string> env_text = {"KODO_KILL_CHILD=" + name, "KODO_KILL_ARG=" + arg,
                                         "KODO_KILL_FD=" + std::to_string(fds[1])};
    std::vector<char*> env;
    for (char** e = environ; *e; e++)
        if (strncmp(*e, "KODO_KILL_", 10) != 0) env.push_back(*e);
    for (std::string& e : env_text) env.push_back(&e[0]);
    env.push_back(nullptr);
    char* argv[] = {&self[0], &filter[0], nullptr};
    // gtest's own lines would fill the test's output once per round.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    fflush(nullptr);
    pid_t pid = -1;
    auto t0 = std::chrono::steady_clock::now();
    int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        r.failure = std::string("the child could not start: ") + strerror(rc);
        return r;
    }
    bool ready = read(fds[0], &r.start, sizeof r.start) == (ssize_t)sizeof r.start;
    r.ready_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.last = r.start;
    for (int i = 0; ready && i < saves_first; i++)
        ready = read(fds[0], &r.last, sizeof r.last) == (ssize_t)sizeof r.last;
    if (ready) usleep(delay_us);
    kill(pid, SIGKILL);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        r.failure = "the child was lost";
    else if (!ready)
        r.failure = "the child failed before it was ready" +
                    (WIFEXITED(status) ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")" : std::string());
    else if (!WIFSIGNALED(status))
        r.failure = "the child ended by itself with " + std::to_string(WEXITSTATUS(status));
    int got;
    while (read(fds[0], &got, sizeof got) == (ssize_t)sizeof got) r.last = got;
    close(fds[0]);
    return r;
}

#endif
