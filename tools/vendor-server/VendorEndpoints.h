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

// The two answer lines of the update endpoint.
std::string UpdateAnswer(const OfferedRelease& release);

// Routes "/php/check2.php" and "/php/feedback.php" on `server`; `scheme`
// ("http" or "https") is stored with each request.
//
// Before anything of a body is read, a request must be a POST to one of the
// two paths with a Content-Length of at most MaxFormBodyBytes(), no transfer
// or content coding, and a form content type: else 404, 405, 411, 413 or
// 415. A form is stored only when RefusalReason finds nothing (else 400), and
// answered only once it is stored (else 500). A refusal's body is
// "ERROR" ("Not Found" for a 404), which the program takes as a failure.
void InstallVendorEndpoints(httplib::Server& server, const std::string& scheme,
                            const OfferedRelease& release, RequestStore& store);
