#include "VendorEndpoints.h"

#include <QByteArray>
#include <httplib.h>
#include <iostream>

namespace {

constexpr const char* kTextType = "text/plain; charset=utf-8";

std::string DecodeFormPart(std::string part) {
    for (char& c : part) {
        if (c == '+') {
            c = ' ';
        }
    }
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(part)).toStdString();
}

std::string FieldValue(const FormFields& fields, const std::string& name) {
    for (const auto& [fieldName, value] : fields) {
        if (fieldName == name) {
            return value;
        }
    }
    return std::string();
}

} // namespace

FormFields ParseFormBody(const std::string& body) {
    FormFields fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        const std::string pair = body.substr(start, end - start);
        if (!pair.empty()) {
            const size_t equals = pair.find('=');
            if (equals == std::string::npos) {
                fields.emplace_back(DecodeFormPart(pair), std::string());
            } else {
                fields.emplace_back(DecodeFormPart(pair.substr(0, equals)),
                                    DecodeFormPart(pair.substr(equals + 1)));
            }
        }
        start = end + 1;
    }
    return fields;
}

std::string UpdateAnswer(const OfferedRelease& release) {
    return "<version>" + release.Version + "</version>\r\n<url>" + release.Url + "</url>\r\n";
}

void InstallVendorEndpoints(httplib::Server& server, const std::string& scheme,
                            const OfferedRelease& release, RequestStore& store) {
    server.Post("/php/check2.php", [&store, scheme, release](const httplib::Request& request,
                                                             httplib::Response& response) {
        const FormFields fields = ParseFormBody(request.body);
        try {
            store.Add("check", scheme, request.remote_addr, fields);
        } catch (const std::exception& error) {
            std::cerr << "korvane-vendor-server: " << error.what() << '\n';
        }
        if (release.AnswerError || FieldValue(fields, "cmd") != "check") {
            response.set_content("ERROR\r\n", kTextType);
            return;
        }
        response.set_content(UpdateAnswer(release), kTextType);
    });

    server.Post("/php/feedback.php",
                [&store, scheme, answer = release.FeedbackAnswer](const httplib::Request& request,
                                                                  httplib::Response& response) {
                    const FormFields fields = ParseFormBody(request.body);
                    if (FieldValue(fields, "cmd") != "feedback") {
                        response.set_content("ERROR\r\n", kTextType);
                        return;
                    }
                    try {
                        store.Add("feedback", scheme, request.remote_addr, fields);
                    } catch (const std::exception& error) {
                        // The sender must not believe a feedback arrived that we lost.
                        std::cerr << "korvane-vendor-server: " << error.what() << '\n';
                        response.status = 500;
                        response.set_content("ERROR\r\n", kTextType);
                        return;
                    }
                    response.set_content(answer, kTextType);
                });

    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_content(response.status == 404 ? "Not Found\r\n" : "Error\r\n", kTextType);
    });
    server.set_logger([scheme](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << scheme << ' ' << request.remote_addr << ' ' << request.method << ' '
                  << request.path << ' ' << response.status << '\n';
    });
}
