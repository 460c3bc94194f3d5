#pragma once

#include "translation/Language.h"

#include <QSettings>
#include <QString>
#include <memory>

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

// What one run of the program knows about itself. main() builds it once,
// before the main window exists, and hands it down; its values never change
// afterwards, so any thread may read them without a lock.
struct AppContext {
    QString ExecutablePath; // the running program; its folder holds the languages
    QString AppCompanyName;
    QString AppProductName;
    QString AppVersion; // major.minor of the file version, e.g. "1.0"
    QString AppTitle;   // AppCompanyName + " - " + AppProductName
    QString DataFolder; // always ends in a path separator
    // The INI store on DataFolder + "settings.ini"; the main window keeps the
    // language choice and the panel's options in it.
    std::shared_ptr<QSettings> SettingsIni;
    LanguageState Language; // the interface language of the run
};

// Sets AppCompanyName, AppProductName, AppVersion and AppTitle of `context`.
void SetAppValues(AppContext& context, const AppIdentity& identity);

// The start of a run, in this order (later steps rely on earlier ones): the
// identity from the version block of `executablePath`; the data folder, which
// is the executable's folder when it can be written to, else
// `userDataFolder`/company/product/; settings.ini there; and the interface
// language chosen in it, or else the one that suits the user.
AppContext StartAppContext(const QString& executablePath, const QString& userDataFolder);
