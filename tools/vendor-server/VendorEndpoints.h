#pragma once

#include "RequestStore.h"

#include <string>

namespace httplib {
class Server;
}

// What the endpoints answer.
struct OfferedRelease {
    std::string Version;
    std::string Url;
    // Answer every update check with "ERROR" (a server in trouble).
    bool AnswerError = false;
    // The body that confirms a stored feedback; another text lets a client's
    // judgement of odd answers be tried.
    std::string FeedbackAnswer = "OK";
};

// The fields of an application/x-www-form-urlencoded body in their order,
// "+" and %XX decoded.
FormFields ParseFormBody(const std::string& body);

// The two answer lines of the update endpoint.
std::string UpdateAnswer(const OfferedRelease& release);

// Routes "/php/check2.php" and "/php/feedback.php" on `server`; `scheme`
// ("http" or "https") is stored with each request.
void InstallVendorEndpoints(httplib::Server& server, const std::string& scheme,
                            const OfferedRelease& release, RequestStore& store);
