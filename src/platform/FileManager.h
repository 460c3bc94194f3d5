#pragma once

#include "platform/UrlOpener.h"

#include <QDBusConnection>
#include <QString>

class QObject;

// Shows the file in the desktop's file manager with the file selected
// (org.freedesktop.FileManager1.ShowItems on the session bus). When no file
// manager answers, the file's folder is opened with `openFolder` instead. The
// call does not wait for the file manager; `context` bounds the reply's life.
void ShowInFileManager(const QString& path, QObject* context, const UrlOpenerFunction& openFolder,
                       QDBusConnection bus = QDBusConnection::sessionBus());
