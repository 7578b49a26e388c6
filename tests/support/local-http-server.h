// A small HTTP server on 127.0.0.1 for the tests of the HTTP transport and
// of what uses it: one thread accepts connections on an ephemeral port,
// reads each request, records its target and answers what the test's
// handler says. No test reaches any other address.
#ifndef LOCAL_HTTP_SERVER_H
#define LOCAL_HTTP_SERVER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpAnswer {
    int status = 200;
    std::string body;
    // The Content-Length sent; -1 sends the body's own length. A larger
    // value makes the reply end early (the connection is closed after the
    // body).
    long announced = -1;
    // An HTTP/1.0 reply without a Content-Length: the body ends where the
    // connection does, so a body cut short looks whole.
    bool http10 = false;
    // Answer nothing until the server stops (the client must time out).
    bool stall = false;
    // Further header lines, each ending in "\r\n".
    std::string headers;
};

class LocalHttpServer {
public:
    using Handler = std::function<HttpAnswer(const std::string& target)>;

    explicit LocalHttpServer(Handler h) : handler(std::move(h)) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        if (fd < 0 || bind(fd, (sockaddr*)&a, sizeof a) != 0 || listen(fd, 16) != 0 ||
            getsockname(fd, (sockaddr*)&a, &len) != 0)
            return;
        port = ntohs(a.sin_port);
        worker = std::thread([this] { Run(); });
    }
    ~LocalHttpServer() {
        stop = true;
        if (worker.joinable()) worker.join();
        if (fd >= 0) close(fd);
    }

    int port = 0;
    // "http://127.0.0.1:<port>/" followed by `rest`.
    std::string Url(const std::string& rest = "") const {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + rest;
    }
    // The request targets received so far ("/path?query"), in order.
    std::vector<std::string> Targets() const {
        std::lock_guard<std::mutex> lock(mutex);
        return targets;
    }
    int Connections() const { return connections; }
    // Waits up to `ms` for at least `n` requests.
    bool WaitForRequests(size_t n, int ms) const {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (Targets().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Targets().size() >= n;
    }

private:
    bool Readable(int s, int ms) {
        pollfd p = {s, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }
    void Run() {
        while (!stop) {
            if (!Readable(fd, 20)) continue;
            int c = accept(fd, nullptr, nullptr);
            if (c < 0) continue;
            connections++;
            Serve(c);
            close(c);
        }
    }
    void Serve(int c) {
        std::string in;
        char buf[4096];
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (in.find("\r\n\r\n") == std::string::npos && !stop && std::chrono::steady_clock::now() < end) {
            if (!Readable(c, 20)) continue;
            ssize_t n = read(c, buf, sizeof buf);
            if (n <= 0) return;
            in.append(buf, (size_t)n);
        }
        size_t sp1 = in.find(' '), sp2 = in.find(' ', sp1 + 1);
        if (sp1 == std::string::npos || sp2 == std::string::npos) return;
        std::string target = in.substr(sp1 + 1, sp2 - sp1 - 1);
        {
            std::lock_guard<std::mutex> lock(mutex);
            targets.push_back(target);
        }
        HttpAnswer a = handler(target);
        if (a.stall) {
            // Until the client gives up or the server stops.
            while (!stop)
                if (Readable(c, 20) && read(c, buf, sizeof buf) <= 0) return;
            return;
        }
        long length = a.announced >= 0 ? a.announced : (long)a.body.size();
        std::string out = "HTTP/1.1 " + std::to_string(a.status) + " X\r\nContent-Length: " + std::to_string(length) +
                          "\r\nConnection: close\r\n" + a.headers + "\r\n" + a.body;
        if (a.http10) out = "HTTP/1.0 " + std::to_string(a.status) + " X\r\n" + a.headers + "\r\n" + a.body;
        size_t sent = 0;
        while (sent < out.size()) {
            ssize_t n = send(c, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += (size_t)n;
        }
    }

    Handler handler;
    int fd = -1;
    std::thread worker;
    std::atomic<bool> stop{false};
    std::atomic<int> connections{0};
    mutable std::mutex mutex;
    std::vector<std::string> targets;
};

#endif
