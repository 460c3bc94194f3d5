#include "services/FormPost.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace {

// curl_global_init is not safe to race with other threads' first requests.
void EnsureCurlReady() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

struct BodySink {
    QByteArray body;
    qint64 limit = 0;
    bool overflowed = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* context) {
    auto* sink = static_cast<BodySink*>(context);
    const size_t bytes = size * count;
    if (sink->body.size() + static_cast<qint64>(bytes) > sink->limit) {
        sink->overflowed = true;
        return 0; // makes curl abort the transfer
    }
    sink->body.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

void AppendHeader(HeaderList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (!grown) {
        throw PostFormError("Out of memory while building the request headers");
    }
    list.release();
    list.reset(grown);
}

// Progress callback: a non-zero answer makes curl abandon the transfer.
int AbortWhenStopped(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(stop)->stop_requested() ? 1 : 0;
}

// curl_easy_perform, but abandoned as soon as `stop` is requested: the wait
// for the network is woken by the stop itself, not only when a timer or the
// progress callback comes round (up to a second apart while nothing moves).
CURLcode Perform(CURL* handle, const std::stop_token& stop) {
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &AbortWhenStopped);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &stop);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    if (!stop.stop_possible())
        return curl_easy_perform(handle);
    MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), handle) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    {
        const std::stop_callback wake(stop, [&multi] { curl_multi_wakeup(multi.get()); });
        int running = 1;
        while (!stop.stop_requested()) {
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
                break;
            if (running == 0) {
                int left = 0;
                if (const CURLMsg* message = curl_multi_info_read(multi.get(), &left);
                    message && message->msg == CURLMSG_DONE)
                    result = message->data.result;
                break;
            }
            curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
        }
    }
    curl_multi_remove_handle(multi.get(), handle);
    return stop.stop_requested() ? CURLE_ABORTED_BY_CALLBACK : result;
}

QString DecodeBody(const QByteArray& body, const char* contentType) {
    static const QRegularExpression charsetPattern(
        QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
        QRegularExpression::CaseInsensitiveOption);
    if (contentType) {
        const QRegularExpressionMatch match =
            charsetPattern.match(QString::fromLatin1(contentType));
        if (match.hasMatch()) {
            QStringDecoder decoder(match.captured(1).toLatin1().constData());
            if (decoder.isValid()) {
                return decoder.decode(body);
            }
        }
    }
    return QString::fromUtf8(body);
}

bool IsFormSafe(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
           c == '-' || c == '.' || c == '_';
}

void AppendFormEncoded(QByteArray& out, const QString& text) {
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : text.toUtf8()) {
        if (IsFormSafe(c)) {
            out.append(c);
        } else if (c == ' ') {
            out.append('+');
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.append('%');
            out.append(hex[byte >> 4]);
            out.append(hex[byte & 0x0F]);
        }
    }
}

} // namespace

PostOptions UpdateCheckPostOptions() {
    return PostOptions{};
}

PostOptions FeedbackPostOptions() {
    PostOptions options;
    options.ConnectTimeoutMs = 3000;
    options.ResponseTimeoutMs = 3000;
    return options;
}

QByteArray EncodeFormFields(const QStringList& fields) {
    QByteArray body;
    for (const QString& field : fields) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        if (!body.isEmpty()) {
            body.append('&');
        }
        AppendFormEncoded(body, field.left(equals));
        body.append('=');
        AppendFormEncoded(body, field.mid(equals + 1));
    }
    return body;
}

QString PostForm(const QString& url, const QStringList& fields, const PostOptions& options,
                 std::stop_token stop) {
    if (stop.stop_requested())
        throw PostFormStopped();
    EnsureCurlReady();
    const bool secure = url.toLower().startsWith(QStringLiteral("https://"));

    EasyHandle easy(curl_easy_init());
    if (!easy) {
        throw PostFormError("Could not create an HTTP client");
    }
    CURL* handle = easy.get();

    HeaderList headers;
    AppendHeader(headers, "Connection: close");
    AppendHeader(headers, "Content-Type: application/x-www-form-urlencoded; charset=utf-8");
    // No "100 Continue" round trip: the bodies are small.
    AppendHeader(headers, "Expect:");

    const QByteArray urlBytes = url.toUtf8();
    const QByteArray body = EncodeFormFields(fields);
    const QByteArray caFile = options.CaFile.toLocal8Bit();
    BodySink sink;
    sink.limit = options.MaxBodyBytes;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(handle, CURLOPT_URL, urlBytes.constData());
    // Only web addresses; a redirect is not followed.
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.ConnectTimeoutMs));
    // The whole exchange is bounded, so a server that trickles its answer
    // cannot hold the request open for ever.
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(options.ConnectTimeoutMs) + options.ResponseTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.constData());
    }
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(options.MaxBodyBytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &CollectBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode result = Perform(handle, stop);
    if (stop.stop_requested())
        throw PostFormStopped();
    if (sink.overflowed || result == CURLE_FILESIZE_EXCEEDED) {
        throw PostFormError(QStringLiteral("The answer is larger than %1 bytes")
                                .arg(options.MaxBodyBytes)
                                .toStdString());
    }
    if (result != CURLE_OK) {
        const QString detail = errorText[0] ? QString::fromLocal8Bit(errorText)
                                            : QString::fromLatin1(curl_easy_strerror(result));
        throw PostFormError(detail.toStdString());
    }

    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (!secure && status >= 400) {
        throw PostFormError(QStringLiteral("HTTP error status %1").arg(status).toStdString());
    }
    const char* contentType = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
    return DecodeBody(sink.body, contentType);
}

QString PostForm(const QString& url, const QStringList& fields) {
    return PostForm(url, fields, UpdateCheckPostOptions());
}
