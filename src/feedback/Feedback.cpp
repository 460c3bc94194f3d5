#include "feedback/Feedback.h"

#include "common/Trim.h"
#include "services/WebHelpers.h"
#include "translation/LanguageFile.h"

#include <QRegularExpression>

bool IsValidEmail(const QString& address) {
    // The hyphen after 0-9 in the domain's tail class is a literal hyphen.
    static const QRegularExpression pattern(
        QStringLiteral("^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$"));
    // "$" would also match before a final line break; the whole text must match.
    const QRegularExpressionMatch match = pattern.match(address);
    return match.hasMatch() && match.capturedEnd() == address.size();
}

QString MarkedPhrase(const QString& english, const QString& caption) {
    if (caption == english) {
        return english;
    }
    return english + QStringLiteral(" (") + caption + u')';
}

QString FeedbackValue(const QString& phrase, const QString& message) {
    if (phrase.isEmpty()) {
        return message;
    }
    return phrase + u'\r' + message;
}

QStringList FeedbackFields(const QString& appTitle, const QString& appVersion,
                           const QString& feedback, const QString& email) {
    QStringList fields{
        QStringLiteral("cmd=feedback"),
        QStringLiteral("appname=") + appTitle,
        QStringLiteral("version=") + appVersion,
        QStringLiteral("feedback=") + feedback,
    };
    if (!email.isEmpty()) {
        fields.append(QStringLiteral("email=") + email);
    }
    return fields;
}

FeedbackTarget FeedbackTarget::ForHost(const QString& host) {
    const QString path = QStringLiteral("/php/feedback.php");
    FeedbackTarget target;
    target.HttpsUrl = QStringLiteral("https://") + host + path;
    target.HttpUrl = QStringLiteral("http://") + host + path;
    return target;
}

QString FeedbackPost(const QString& url, const QStringList& fields, const PostOptions& options,
                     std::stop_token stop) {
    return PostForm(url, fields, options, std::move(stop));
}

QString SubmitFeedback(const FeedbackTarget& target, const QStringList& fields,
                       std::stop_token stop) {
    try {
        return FeedbackPost(target.HttpsUrl, fields, target.Options, stop);
    } catch (const PostFormStopped&) {
        return QString();
    } catch (const PostFormError&) {
        // A host without a certificate we can verify still takes plain http.
    }
    try {
        return FeedbackPost(target.HttpUrl, fields, target.Options, stop);
    } catch (const PostFormError&) {
        return QString();
    }
}

bool IsFeedbackAccepted(const QString& body) {
    return TrimControl(SplitTextLines(body).join(QStringLiteral("\r\n"))) == QStringLiteral("OK");
}
