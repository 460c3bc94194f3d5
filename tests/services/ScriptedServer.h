#pragma once

#include <QString>
#include <functional>
#include <httplib.h>
#include <thread>

namespace vendortest {

// An in-process http server on loopback whose every POST is answered by
// `handler`: for answers the reference server would never give.
class ScriptedServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit ScriptedServer(Handler handler);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    QString Url(const QString& path = QStringLiteral("/php/check2.php")) const;

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};

// A server whose answer body is exactly `body`.
inline ScriptedServer::Handler Answering(std::string body,
                                         std::string type = "text/plain; charset=utf-8") {
    return [body = std::move(body), type = std::move(type)](const httplib::Request&,
                                                            httplib::Response& response) {
        response.set_content(body, type.c_str());
    };
}

} // namespace vendortest
