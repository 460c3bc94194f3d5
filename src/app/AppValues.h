#pragma once

#include <QString>

// Process-wide values, written once while the main window is created (before
// any worker thread exists) and only read afterwards.
extern QString AppCompanyName;
extern QString AppProductName;
extern QString AppVersion; // major.minor of the file version, e.g. "1.0"
extern QString AppTitle;   // AppCompanyName + " - " + AppProductName
extern QString DataFolder; // always ends in a path separator

// What start-up takes from the executable's version information.
struct AppIdentity {
    QString CompanyName;
    QString ProductName;
    int Major = 65535; // 65535.65535 when the file version cannot be read
    int Minor = 65535;
};

// Reads the identity from the version block of `executable`; a file without
// readable version information falls back to the names the program was built
// with and the version 65535.65535.
AppIdentity ReadAppIdentity(const QString& executable);

// Sets AppCompanyName, AppProductName, AppVersion and AppTitle.
void SetAppValues(const AppIdentity& identity);
