#pragma once

#include <QGuiApplication>

// The busy cursor for a long step; restored on every way out of the scope.
class BusyCursorGuard {
public:
    BusyCursorGuard() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursorGuard() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;
};
