#include "ScriptedServer.h"

#include <chrono>

namespace vendortest {

ScriptedServer::ScriptedServer(Handler handler) {
    server_.Post(".*", std::move(handler));
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0) {
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only reaches a server that is already running.
        for (int i = 0; i < 1000 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

ScriptedServer::~ScriptedServer() {
    server_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

QString ScriptedServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

} // namespace vendortest
