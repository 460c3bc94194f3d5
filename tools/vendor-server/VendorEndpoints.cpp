#include "VendorEndpoints.h"

#include "LogText.h"

#include <cctype>
#include <charconv>
#include <httplib.h>

namespace {

constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr const char* kCheckPath = "/php/check2.php";
constexpr const char* kFeedbackPath = "/php/feedback.php";

void Refuse(httplib::Response& response, int status) {
    response.status = status;
    response.set_content(status == 404 ? "Not Found\r\n" : "ERROR\r\n", kTextType);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// A Content-Length of digits only, as one header: anything else (a sign,
// blanks, two differing headers) is a framing an attacker might exploit.
bool ParseLength(const httplib::Request& request, std::size_t& length) {
    if (request.get_header_value_count("Content-Length") != 1) {
        return false;
    }
    const std::string text = request.get_header_value("Content-Length");
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The status that refuses `request` before its body is read, or 0.
int EarlyRefusal(const httplib::Request& request) {
    if (request.path != kCheckPath && request.path != kFeedbackPath) {
        return 404;
    }
    if (request.method != "POST") {
        return 405;
    }
    // httplib would read a chunked body, and inflate a compressed one, with
    // no bound at all; the program sends neither.
    if (request.has_header("Transfer-Encoding")) {
        return 411;
    }
    const std::string coding = Lower(request.get_header_value("Content-Encoding"));
    if (request.get_header_value_count("Content-Encoding") > 1 ||
        (!coding.empty() && coding != "identity")) {
        return 415;
    }
    std::size_t length = 0;
    if (!request.has_header("Content-Length")) {
        return 411;
    }
    if (!ParseLength(request, length)) {
        return 400;
    }
    if (length > MaxFormBodyBytes()) {
        return 413;
    }
    if (Lower(request.get_header_value("Content-Type"))
            .rfind("application/x-www-form-urlencoded", 0) != 0) {
        return 415;
    }
    return 0;
}

// Reads the body through the route's content reader, which, unlike httplib's
// own form handling, has no 8 KiB cap below what the feedback form sends.
bool ReadBody(const httplib::ContentReader& reader, std::string& body) {
    const std::size_t cap = MaxFormBodyBytes();
    return reader([&body, cap](const char* data, std::size_t length) {
        if (body.size() + length > cap) {
            return false;
        }
        body.append(data, length);
        return true;
    });
}

// Parses, checks and stores the form; answers the refusal itself and returns
// false when the request goes no further.
bool StoreForm(const CommandRule& rule, const std::string& scheme, RequestStore& store,
               const httplib::Request& request, httplib::Response& response,
               const httplib::ContentReader& reader) {
    std::string body;
    if (!ReadBody(reader, body)) {
        Refuse(response, 400);
        return false;
    }
    const FormFields fields = ParseFormBody(body);
    const std::string refusal = RefusalReason(rule, fields);
    if (!refusal.empty()) {
        WriteLogLine(scheme + ' ' + LogText(request.remote_addr) + " refused " +
                     std::string(rule.Command) + ": " + LogText(refusal));
        Refuse(response, 400);
        return false;
    }
    try {
        store.Add(std::string(rule.Command), scheme, request.remote_addr, fields);
    } catch (const std::exception& error) {
        // The sender must not believe a request arrived that we lost.
        WriteLogLine("korvane-vendor-server: " + LogText(error.what(), 1024));
        Refuse(response, 500);
        return false;
    }
    return true;
}

} // namespace

std::string UpdateAnswer(const OfferedRelease& release) {
    return "<version>" + release.Version + "</version>\r\n<url>" + release.Url + "</url>\r\n";
}

void InstallVendorEndpoints(httplib::Server& server, const std::string& scheme,
                            const OfferedRelease& release, RequestStore& store) {
    // A second guard behind the early refusal.
    server.set_payload_max_length(MaxFormBodyBytes());

    server.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            const int status = EarlyRefusal(request);
            if (status == 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            if (status == 405) {
                response.set_header("Allow", "POST");
            }
            Refuse(response, status);
            return httplib::Server::HandlerResponse::Handled;
        });

    server.Post(kCheckPath, [&store, scheme, release](const httplib::Request& request,
                                                      httplib::Response& response,
                                                      const httplib::ContentReader& reader) {
        if (!StoreForm(CheckCommand(), scheme, store, request, response, reader)) {
            return;
        }
        response.set_content(release.AnswerError ? std::string("ERROR\r\n") : UpdateAnswer(release),
                             kTextType);
    });

    server.Post(kFeedbackPath, [&store, scheme, answer = release.FeedbackAnswer](
                                   const httplib::Request& request, httplib::Response& response,
                                   const httplib::ContentReader& reader) {
        if (StoreForm(FeedbackCommand(), scheme, store, request, response, reader)) {
            response.set_content(answer, kTextType);
        }
    });

    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            response.set_content("ERROR\r\n", kTextType);
        }
    });
    server.set_logger([scheme](const httplib::Request& request, const httplib::Response& response) {
        // A request cut off in its first line has no address, method or path yet.
        const auto field = [](const std::string& text) {
            return text.empty() ? std::string("-") : LogText(text);
        };
        WriteLogLine(scheme + ' ' + field(request.remote_addr) + ' ' + field(request.method) + ' ' +
                     field(request.path) + ' ' + std::to_string(response.status));
    });
}
