#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <stop_token>

// A failed form post: the transport gave up (name resolution, connection,
// time-out, TLS, an oversized answer) or, over plain http, the server answered
// with an error status.
class PostFormError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A post abandoned because its stop was requested.
class PostFormStopped : public PostFormError {
public:
    PostFormStopped() : PostFormError("The request was stopped") {}
};

struct PostOptions {
    int ConnectTimeoutMs = 10000;
    // How long the answer may take once the connection stands.
    int ResponseTimeoutMs = 10000;
    // Extra certificate authority file for the secure transport; empty uses
    // the system's store. Verification itself is never switched off.
    QString CaFile;
    // Answers larger than this are refused rather than held in memory.
    qint64 MaxBodyBytes = 1024 * 1024;
};

// The update check waits longer than the feedback form, whose user is watching.
PostOptions UpdateCheckPostOptions();
PostOptions FeedbackPostOptions();

// The fields "name=value" as an application/x-www-form-urlencoded body: name
// and value percent-encoded separately from UTF-8 (A-Z a-z 0-9 * - . _ kept,
// blanks as "+"), pairs joined by "&". A line without "=" is not a field and
// is left out.
QByteArray EncodeFormFields(const QStringList& fields);

// Posts `fields` as a form to `url` and returns the answer's body, decoded by
// the charset the answer declares (UTF-8 when it declares none). A URL that
// begins with "https://" (any case) answers with its body whatever the HTTP
// status; any other URL raises on an error status too. Transport failures
// always raise PostFormError.
//
// Once `stop` is requested the request is abandoned at once, wherever it is
// (connecting, sending, waiting for the answer) and PostFormStopped is
// raised; no thread of ours is left in the transfer. (A name lookup already
// under way is waited for: the system resolver cannot be interrupted.)
QString PostForm(const QString& url, const QStringList& fields, const PostOptions& options,
                 std::stop_token stop = {});

// The update check's post: ten-second time-outs.
QString PostForm(const QString& url, const QStringList& fields);
