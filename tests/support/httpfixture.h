#pragma once
// A scriptable HTTP server on 127.0.0.1 for transfer tests: each path answers through a handler
// running on the server's own threads. Stalled answers end when the client goes away or the
// server is destroyed.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct HttpExchange {
    // Request.
    std::string path;
    std::string query; // raw, as sent
    std::string method;
    std::string requestBody;
    std::map<std::string, std::string> params;
    // Answer.
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers; // sent in order, duplicates kept
    std::string body;
    bool chunked = false; // send body without a length
    // When set, body is sent first, then the answer stalls for good (holding the declared length).
    bool stallAfterBody = false;
    size_t declaredLength = 0;
};

class LoopbackHttpServer {
public:
    using Handler = std::function<void(HttpExchange&)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Answers GET and POST of this exact path; unknown paths get 404.
    void on(const std::string& path, Handler handler);
    // Starts listening on a free port; false when no socket could be bound.
    bool start();
    // "http://127.0.0.1:<port>/"
    std::string url() const;
    // Requests received for the path so far.
    int hits(const std::string& path) const;
    // True once a stalling answer has begun sending (or waiting).
    bool stalling() const { return stalling_.load(); }
    // Stalling handlers call this to wait; returns when the server stops.
    void holdUntilStopped();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::atomic<bool> stalling_{false};
};
