#pragma once

#include <QStringList>

// Exit statuses of korvane-cli.
enum : int {
    kExitClean = 0,      // nothing suspicious
    kExitSuspicious = 1, // at least one Possible or Likely
    kExitError = 2,      // at least one file could not be analysed
    kExitUsage = 64,     // bad command line
};

// `korvane-cli check [--format table|csv|jsonl] [--jobs N] [--files-from FILE|- [--null]]
// PATH...`;
// `arguments` start with the program name and "check".
int RunCheckCommand(const QStringList& arguments);
