#pragma once

#include "services/FormPost.h"

#include <QString>
#include <QStringList>
#include <stop_token>

// Whether `address` looks like an e-mail address a reply can go to: letters,
// digits and "_.+-" before the "@", a domain with at least one dot that ends
// in a letter or digit. ASCII only.
bool IsValidEmail(const QString& address);

// The English phrase of a like/dislike toggle as it is sent: the phrase alone,
// or followed by the caption in parentheses when the caption is a translation.
// MarkedPhrase("I like it!", "Gefällt mir!") gives "I like it! (Gefällt mir!)".
QString MarkedPhrase(const QString& english, const QString& caption);

// The "feedback" field: the marked phrase and one CR before the message, or
// the message alone when neither toggle is on (`phrase` empty).
QString FeedbackValue(const QString& phrase, const QString& message);

// The form fields in their order on the wire; "email" only for an address.
QStringList FeedbackFields(const QString& appTitle, const QString& appVersion,
                           const QString& feedback, const QString& email);

// Where the feedback goes: https first, then http, on the same host and path.
struct FeedbackTarget {
    QString HttpsUrl;
    QString HttpUrl;
    PostOptions Options = FeedbackPostOptions();

    static FeedbackTarget ForHost(const QString& host);
};

// Posts the fields as a form to `url` and returns the answer's body; throws
// PostFormError when the request fails (PostFormStopped once `stop` is requested).
QString FeedbackPost(const QString& url, const QStringList& fields, const PostOptions& options,
                     std::stop_token stop = {});

// Posts over https and, when that request fails, over http. The body of the
// attempt that answered; empty when both failed.
// Once `stop` is requested the attempt under way is abandoned, no other is
// made, and the body is empty.
QString SubmitFeedback(const FeedbackTarget& target, const QStringList& fields,
                       std::stop_token stop = {});

// The server took the feedback: its body, line breaks and surrounding blanks
// aside, is exactly "OK".
bool IsFeedbackAccepted(const QString& body);
