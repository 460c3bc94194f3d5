#pragma once

#include "RequestStore.h"

#include <string>

namespace httplib {
class Server;
}

// What the update endpoint answers.
struct OfferedRelease {
    std::string Version;
    std::string Url;
    // Answer every update check with "ERROR" (a server in trouble).
    bool AnswerError = false;
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
