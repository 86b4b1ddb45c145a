#include "tests/support/httpfixture.h"

#include <httplib.h>

#include <chrono>
#include <thread>

struct LoopbackHttpServer::Impl {
    httplib::Server http;
    std::thread thread;
    int port = -1;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::map<std::string, Handler> handlers;
    std::map<std::string, int> hits;
};

LoopbackHttpServer::LoopbackHttpServer() : impl_(std::make_unique<Impl>()) {
    auto serve = [this](const httplib::Request& req, httplib::Response& res) {
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(impl_->mutex);
            ++impl_->hits[req.path];
            const auto it = impl_->handlers.find(req.path);
            if (it != impl_->handlers.end()) {
                handler = it->second;
            }
        }
        if (!handler) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        HttpExchange ex;
        ex.path = req.path;
        const size_t q = req.target.find('?');
        ex.query = q == std::string::npos ? std::string() : req.target.substr(q + 1);
        ex.method = req.method;
        ex.requestBody = req.body;
        for (const auto& p : req.params) {
            ex.params[p.first] = p.second;
        }
        handler(ex);
        res.status = ex.status;
        for (const auto& h : ex.headers) {
            res.headers.emplace(h.first, h.second);
        }
        if (ex.stallAfterBody) {
            const std::string head = ex.body;
            res.set_content_provider(ex.declaredLength, "application/octet-stream",
                                     [this, head](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset < head.size() &&
                                             !sink.write(head.data() + offset, head.size() - offset)) {
                                             return false;
                                         }
                                         holdUntilStopped();
                                         return false;
                                     });
        } else if (ex.chunked) {
            const std::string body = ex.body;
            res.set_chunked_content_provider("application/octet-stream",
                                             [body](size_t offset, httplib::DataSink& sink) {
                                                 if (offset < body.size()) {
                                                     sink.write(body.data() + offset, body.size() - offset);
                                                 }
                                                 sink.done();
                                                 return true;
                                             });
        } else if (!ex.body.empty()) {
            res.body = ex.body;
        }
    };
    impl_->http.Get(R"(/.*)", serve);
    impl_->http.Post(R"(/.*)", serve);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    impl_->stopping = true;
    impl_->http.stop();
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

void LoopbackHttpServer::on(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->handlers[path] = std::move(handler);
}

bool LoopbackHttpServer::start() {
    impl_->port = impl_->http.bind_to_any_port("127.0.0.1");
    if (impl_->port <= 0) {
        return false;
    }
    impl_->thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // stop() before the loop runs would be lost and leave the thread serving for ever.
    for (int i = 0; i < 500 && !impl_->http.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return impl_->http.is_running();
}

std::string LoopbackHttpServer::url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + "/";
}

int LoopbackHttpServer::hits(const std::string& path) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto it = impl_->hits.find(path);
    return it == impl_->hits.end() ? 0 : it->second;
}

void LoopbackHttpServer::holdUntilStopped() {
    stalling_ = true;
    // Bounded by the server's life: the destructor sets stopping before it joins.
    while (!impl_->stopping.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
