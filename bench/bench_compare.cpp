// Side-by-side comparisons in one run, each side pinned to the same cores
// and the sides alternated round by round, so that a machine busy with
// other work weighs on both alike. For every figure: min / median / max
// of the rounds, and the ratio of the medians.
//   sprites N  frames per second of bench_sprites (the engine), of
//              bench_bare_gles (the bare program, same present path:
//              the renderer's limit) and of LÖVE (bench/love sprites)
//   start      exec -> first frame on the window, peak RSS at that frame,
//              and quit request -> process end (a second after the main
//              menu is up): the game (worm) on its bundled data against
//              bench/love start, and the first two for bench_bare_gles
//              drawing a full-screen picture (the graphics stack's floor)
//   offscreen  the first level's frame (bench_level_frame, 400 frames)
//              alone, beside N still actors out of view, and beside the
//              same N static bodies bare (no actors: Box2D's own cost, the
//              floor): update plus draw, and the whole frame with present
//              (wall clock and the CPU of all threads), p50 of each run
//   menu       exec -> the main menu pushed ("PushScreen: 'MainMenu'" in
//              the game's log, read as it grows), wall clock and the CPU
//              time of the process (all its threads), every run a first
//              start in a fresh folder: the game (--worm) against another
//              build of it (--base-worm, on its own data tree --base-data);
//              with --hog, a busy loop on those cores for the rounds (the
//              game's cores shared with other work)
// LÖVE's rows are left out when `love` is not installed; "menu" runs only
// when named.
//   KODO/host/tests/with_xvfb.sh build/bench/bench_compare [--rounds 5] [--cores 6,7]
//       [--sizes 200,2000,10000] [--only sprites|start|offscreen|menu] [--offscreen 20000]
//       [--worm another/build/of/worm] [--base-worm W --base-data D] [--hog 7]
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string cores = "6,7";
std::string worm = KODO_WORM;
std::string work;

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec * 1e-6;
}

// One child: its stdout, and when the first line holding `mark` came
// (on stdout or in the trace FIFO) and when the one holding `quit` did.
struct Run {
    std::string out;
    double first_ms = -1, peak_rss_mb = -1, quit_ms = -1;
    bool ok = false;
};

double PeakRssMb(pid_t pid) {
    FILE* f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    double kb = -1;
    char line[256];
    while (f && fgets(line, sizeof line, f))
        if (!strncmp(line, "VmHWM:", 6)) kb = atof(line + 6);
    if (f) fclose(f);
    return kb / 1024.0;
}

// Runs argv pinned to the cores, in folder `dir`, with extra environment.
Run Spawn(std::vector<std::string> argv, const std::string& dir, const std::vector<std::string>& env,
          const std::string& trace) {
    argv.insert(argv.begin(), {"taskset", "-c", cores});
    int out[2];
    if (pipe(out) != 0) return {};
    int tr = -1, tr_keep = -1;
    if (!trace.empty()) {
        unlink(trace.c_str());
        mkfifo(trace.c_str(), 0600);
        tr = open(trace.c_str(), O_RDONLY | O_NONBLOCK);
        tr_keep = open(trace.c_str(), O_WRONLY);  // no end of file between writers
    }
    double start = Now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        close(out[0]);
        if (chdir(dir.c_str()) != 0) _exit(126);
        for (const std::string& e : env) putenv(strdup(e.c_str()));
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    Run r;
    std::string pending;
    double quit_at = -1;
    bool open_out = true;
    auto scan = [&](const std::string& text) {
        pending += text;
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (r.first_ms < 0 && line.find("first frame presented") != std::string::npos) {
                r.first_ms = Now() - start;
                r.peak_rss_mb = PeakRssMb(pid);
            }
            if (quit_at < 0 &&
                (line.find("quit requested") != std::string::npos || line.find(" exit") != std::string::npos))
                quit_at = Now();
        }
    };
    while (open_out) {
        pollfd p[2] = {{out[0], POLLIN, 0}, {tr, POLLIN, 0}};
        if (poll(p, tr >= 0 ? 2 : 1, 120000) <= 0) break;
        char buf[4096];
        for (int i = 0; i < 2; i++) {
            if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t n = read(p[i].fd, buf, sizeof buf);
            if (n > 0) {
                if (i == 0) r.out.append(buf, (size_t)n);
                scan(std::string(buf, (size_t)n));
            } else if (i == 0) {
                open_out = false;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double end = Now();
    if (quit_at >= 0) r.quit_ms = end - quit_at;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    close(out[0]);
    if (tr >= 0) close(tr), close(tr_keep);
    return r;
}

struct Series {
    std::vector<double> v;
    double Median() const {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0 : s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
};

void PrintRow(const std::string& what, const Series& s) {
    if (s.v.empty()) {
        printf("  %-34s (no result)\n", what.c_str());
        return;
    }
    printf("  %-34s min %9.2f  median %9.2f  max %9.2f\n", what.c_str(), *std::min_element(s.v.begin(), s.v.end()),
           s.Median(), *std::max_element(s.v.begin(), s.v.end()));
}

void PrintRatio(const std::string& what, const Series& a, const Series& b) {
    if (a.v.empty() || b.v.empty() || b.Median() == 0) return;
    printf("  %-34s %.2f x\n", what.c_str(), a.Median() / b.Median());
}

double Number(const std::string& text, const std::string& key) {
    size_t at = text.find(key);
    return at == std::string::npos ? -1 : atof(text.c_str() + at + key.size());
}

// bench_sprites' table row for N: "N fps ...".
double EngineFps(const std::string& out, int n) {
    for (size_t at = 0; (at = out.find('\n', at)) != std::string::npos; at++) {
        int rn = 0;
        double fps = 0;
        if (sscanf(out.c_str() + at + 1, "%d %lf", &rn, &fps) == 2 && rn == n) return fps;
    }
    return -1;
}

bool HaveLove() { return system("command -v love >/dev/null 2>&1") == 0; }

void Sprites(int rounds, const std::vector<int>& sizes, bool love) {
    for (int n : sizes) {
        Series engine, bare, lv;
        int frames = n >= 5000 ? 150 : 600;
        std::string ns = std::to_string(n), fs_ = std::to_string(frames);
        for (int r = 0; r < rounds; r++) {
            // Each round starts with a different side.
            for (int k = 0; k < 3; k++) {
                int side = (k + r) % 3;
                if (side == 0) {
                    Run x = Spawn({KODO_BENCH_DIR "/bench_sprites", "--sizes", ns, "--frames", fs_}, work, {}, "");
                    double f = EngineFps(x.out, n);
                    if (f > 0) engine.v.push_back(f);
                } else if (side == 1) {
                    Run x =
                        Spawn({KODO_BENCH_DIR "/bench_bare_gles", "--present", "glx", "--sprites", ns, "--frames", fs_},
                              work, {}, "");
                    double f = Number(x.out, " fps ");
                    if (f > 0) bare.v.push_back(f);
                } else if (love) {
                    Run x = Spawn({"love", KODO_BENCH_SOURCE "/love", "sprites", ns, fs_}, work, {}, "");
                    double f = Number(x.out, " fps ");
                    if (f > 0) lv.v.push_back(f);
                }
            }
        }
        printf("sprites %d, frames per second (%d rounds):\n", n, rounds);
        PrintRow("engine (bench_sprites)", engine);
        PrintRow("bare GLES1 program", bare);
        if (love) PrintRow("LOVE", lv);
        PrintRatio("engine / bare", engine, bare);
        if (love) PrintRatio("engine / LOVE", engine, lv);
    }
}

// The game's data tree as the real program finds it: app/native under
// the working folder, links to the entries of `data` (the bundled ones).
void DataTree(const std::string& dir, const std::string& data) {
    fs::create_directories(dir + "/app/native");
    for (const auto& e : fs::directory_iterator(data)) {
        fs::path link = fs::path(dir) / "app/native" / e.path().filename();
        if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(e.path(), link);
    }
}

void GameTree(const std::string& dir) {
    DataTree(dir, KODO_DATA_DIR);
    // Quit a second after the main menu is up (the loading screen gone),
    // with its music playing.
    FILE* f = fopen((dir + "/script.txt").c_str(), "w");
    if (f) {
        fputs("0 wait data/*/*/logs/kodo-0001.log Removing 'Transition' from Screen Stack\n1000 exit\n", f);
        fclose(f);
    }
}

// The sides of a start: the game, LÖVE, and the bare program drawing a
// full-screen picture, which has no SDL, no engine and no data to read:
// what the window and the graphics stack cost before any game starts.
enum StartSide { kGame, kLove, kBare };

void Start(int rounds, bool love) {
    std::string game = work + "/game";
    GameTree(game);
    std::vector<std::string> env = {"KODO_HOST_SCRIPT=" + game + "/script.txt",
                                    "KODO_HOST_TRACE=" + work + "/trace.fifo"};
    const char* side_names[3] = {"game", "love", "bare"};
    std::map<std::string, Series> s;
    auto one = [&](StartSide side, bool keep) {
        fs::remove_all(game + "/data");  // every run a first start, with log 0001
        Run x = side == kGame   ? Spawn({worm}, game, env, work + "/trace.fifo")
                : side == kLove ? Spawn({"love", KODO_BENCH_SOURCE "/love", "start"}, work, {}, "")
                                : Spawn({KODO_BENCH_DIR "/bench_bare_gles", "--present", "glx", "--picture", "1",
                                         "--sprites", "20", "--frames", "60"},
                                        work, {}, "");
        if (!keep || x.first_ms < 0) return;
        std::string name = side_names[side];
        s[name + " first"].v.push_back(x.first_ms);
        s[name + " rss"].v.push_back(x.peak_rss_mb);
        if (x.quit_ms >= 0) s[name + " quit"].v.push_back(x.quit_ms);
    };
    // One run of each to warm the caches, not counted.
    std::vector<StartSide> sides = {kGame, kBare};
    if (love) sides.push_back(kLove);
    for (StartSide side : sides) one(side, false);
    for (int r = 0; r < rounds; r++)
        for (size_t k = 0; k < sides.size(); k++) one(sides[(k + (size_t)r) % sides.size()], true);
    printf("start and quit (%d rounds):\n", rounds);
    const char* names[3][2] = {{"first", "exec -> first frame, ms"},
                               {"rss", "peak RSS at the first frame, MB"},
                               {"quit", "quit request -> process end, ms"}};
    for (auto& n : names) {
        PrintRow(std::string("game ") + n[1], s[std::string("game ") + n[0]]);
        if (std::string(n[0]) != "quit") PrintRow(std::string("bare ") + n[1], s[std::string("bare ") + n[0]]);
        if (!love) continue;
        PrintRow(std::string("LOVE ") + n[1], s[std::string("love ") + n[0]]);
        PrintRatio(std::string("game / LOVE ") + n[0], s[std::string("game ") + n[0]], s[std::string("love ") + n[0]]);
        if (std::string(n[0]) != "quit")
            PrintRatio(std::string("bare / LOVE ") + n[0], s[std::string("bare ") + n[0]],
                       s[std::string("love ") + n[0]]);
    }
}

// One first start of `exe` in the folder `dir`: exec -> the first log line
// holding `mark`, wall clock and the process's CPU time (ms), then the
// process killed. False when the line never came (a minute at most).
bool MenuStart(const std::string& exe, const std::string& dir, const char* mark, double* wall, double* cpu) {
    fs::remove_all(dir + "/data");
    std::string pattern = dir + "/data/*/*/logs/kodo-0001.log";
    double start = Now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (chdir(dir.c_str()) != 0) _exit(126);
        execlp("taskset", "taskset", "-c", cores.c_str(), exe.c_str(), (char*)nullptr);
        _exit(127);
    }
    clockid_t clock;
    bool found = false, ours = clock_getcpuclockid(pid, &clock) == 0;
    std::string log, text;
    off_t read_to = 0;
    while (ours && !found && Now() - start < 60000 && waitpid(pid, nullptr, WNOHANG) == 0) {
        if (log.empty()) {
            glob_t g;
            if (glob(pattern.c_str(), 0, nullptr, &g) == 0) log = g.gl_pathv[0];
            globfree(&g);
        }
        int fd = log.empty() ? -1 : open(log.c_str(), O_RDONLY);
        char buf[65536];
        ssize_t n;
        while (fd >= 0 && (n = pread(fd, buf, sizeof buf, read_to)) > 0) {
            text.append(buf, (size_t)n);
            read_to += n;
        }
        if (fd >= 0) close(fd);
        if (text.find(mark) != std::string::npos) {
            timespec t;
            found = clock_gettime(clock, &t) == 0;
            *wall = Now() - start;
            *cpu = (double)t.tv_sec * 1e3 + (double)t.tv_nsec * 1e-6;
            break;
        }
        // Keeps a mark cut between two reads whole for the next one.
        if (text.size() > 256) text.erase(0, text.size() - 256);
        usleep(1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return found;
}

void Menu(int rounds, const std::string& base, const std::string& base_data, const std::string& hog) {
    if (base.empty()) {
        fprintf(stderr, "menu: --base-worm names the build to compare with\n");
        return;
    }
    // One spinning process on each core of --hog.
    std::vector<pid_t> hogs;
    std::string list = hog;
    for (char* core = strtok(list.data(), ","); core; core = strtok(nullptr, ",")) {
        pid_t p = fork();
        if (p == 0) {
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(atoi(core), &set);
            sched_setaffinity(0, sizeof set, &set);
            for (volatile unsigned long i = 0;; i++) {
            }
        }
        hogs.push_back(p);
    }
    const std::string exe[2] = {fs::absolute(worm).string(), fs::absolute(base).string()},
                      data[2] = {KODO_DATA_DIR, base_data.empty() ? KODO_DATA_DIR : base_data};
    Series wall[2], cpu[2];
    for (int side = 0; side < 2; side++) DataTree(work + "/menu" + std::to_string(side), data[side]);
    // One start of each to warm the caches, not counted; then each round
    // begins with the other side.
    for (int r = -1; r < rounds; r++) {
        for (int k = 0; k < 2; k++) {
            const int side = (k + std::max(r, 0)) % 2;
            double w = 0, c = 0;
            if (!MenuStart(exe[side], work + "/menu" + std::to_string(side), "PushScreen: 'MainMenu'", &w, &c)) {
                fprintf(stderr, "menu: %s never pushed the main menu\n", exe[side].c_str());
                continue;
            }
            if (r < 0) continue;
            wall[side].v.push_back(w);
            cpu[side].v.push_back(c);
        }
    }
    for (pid_t p : hogs) kill(p, SIGKILL), waitpid(p, nullptr, 0);
    printf("exec -> main menu pushed (%d rounds%s%s):\n  worm      %s\n  base-worm %s\n", rounds,
           hog.empty() ? "" : ", busy loop on cores ", hog.c_str(), exe[0].c_str(), exe[1].c_str());
    PrintRow("worm, wall clock, ms", wall[0]);
    PrintRow("base-worm, wall clock, ms", wall[1]);
    PrintRow("worm, CPU of the process, ms", cpu[0]);
    PrintRow("base-worm, CPU of the process, ms", cpu[1]);
    PrintRatio("worm / base-worm, wall clock", wall[0], wall[1]);
    PrintRatio("worm / base-worm, CPU", cpu[0], cpu[1]);
}

void Offscreen(int rounds, int n) {
    const char* keys[3][2] = {{"update plus draw p50 ", "update plus draw, ms"},
                              {"wall clock p50 ", "whole frame, wall clock, ms"},
                              {"CPU of all threads p50 ", "whole frame, CPU of all threads, ms"}};
    // Side 0 alone, 1 beside the actors, 2 beside the bare bodies; each
    // round starts with the next side.
    Series s[3][3];
    for (int r = 0; r < rounds; r++) {
        for (int k = 0; k < 3; k++) {
            const int side = (k + r) % 3;
            std::vector<std::string> args = {KODO_BENCH_DIR "/bench_level_frame", "--frames", "400", "--offscreen",
                                             std::to_string(side ? n : 0)};
            if (side == 2) args.push_back("--bare");
            Run x = Spawn(args, work, {}, "");
            for (int i = 0; i < 3; i++) {
                const double v = Number(x.out, keys[i][0]);
                if (v > 0) s[side][i].v.push_back(v);
            }
        }
    }
    printf(
        "the first level alone, beside %d still actors out of view, and beside as many bare static bodies "
        "(%d rounds):\n",
        n, rounds);
    const char* sides[3] = {"alone: ", "actors: ", "bodies: "};
    for (int i = 0; i < 3; i++) {
        for (int side = 0; side < 3; side++) PrintRow(sides[side] + std::string(keys[i][1]), s[side][i]);
        if (s[0][i].Median() <= 0 || s[2][i].Median() <= 0) continue;
        printf("  actors / alone %.3f x, bodies / alone %.3f x (Box2D's floor), actors / bodies %.3f x\n",
               s[1][i].Median() / s[0][i].Median(), s[2][i].Median() / s[0][i].Median(),
               s[1][i].Median() / s[2][i].Median());
    }
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5, offscreen = 20000;
    std::vector<int> sizes = {200, 2000, 10000};
    std::string only, base, base_data, hog;
    const std::map<std::string, std::string*> texts = {{"--cores", &cores},         {"--only", &only},
                                                       {"--worm", &worm},           {"--base-worm", &base},
                                                       {"--base-data", &base_data}, {"--hog", &hog}};
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (texts.count(a))
            *texts.at(a) = argv[i + 1];
        else if (a == "--rounds")
            rounds = std::max(1, atoi(argv[i + 1]));
        else if (a == "--offscreen")
            offscreen = std::max(1, atoi(argv[i + 1]));
        else if (a == "--sizes") {
            sizes.clear();
            for (char* t = strtok(argv[i + 1], ","); t; t = strtok(nullptr, ",")) sizes.push_back(atoi(t));
        }
    }
    if (!getenv("DISPLAY")) {
        fprintf(stderr, "no DISPLAY: run under KODO/host/tests/with_xvfb.sh\n");
        return 1;
    }
    char dir[] = "/tmp/kodo-compare-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    work = dir;
    bool love = HaveLove();
    if (!love) printf("love is not installed: its rows are left out\n");
    printf("pinned to cores %s\n", cores.c_str());
    if (only.empty() || only == "sprites") Sprites(rounds, sizes, love);
    if (only.empty() || only == "start") Start(rounds, love);
    if (only.empty() || only == "offscreen") Offscreen(rounds, offscreen);
    if (only == "menu") Menu(rounds, base, base_data, hog);
    fs::remove_all(work);
    return 0;
}
