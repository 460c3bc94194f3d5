#pragma once

#include <QUrl>
#include <functional>

// Hands a web page or one of the user's own files to the desktop. Only
// http(s) and local file addresses are passed on; anything else is refused,
// so a string from elsewhere can never start an arbitrary handler.
bool OpenUrl(const QUrl& url);

// Whether OpenUrl would pass `url` on.
bool IsOpenableUrl(const QUrl& url);

using UrlOpenerFunction = std::function<bool(const QUrl&)>;
