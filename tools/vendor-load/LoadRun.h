#pragma once

#include "HostileClients.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <map>
#include <vector>

// A load and fault run against korvane-vendor-server on loopback: honest
// clients post update checks and feedback through the program's own form
// post while hostile ones attack beside them; then the server is killed
// (SIGKILL) under load and restarted on the same database. Bounded in time
// (the two phases) and so in count.
struct LoadPlan {
    QString ServerProgram;
    QString WorkFolder; // the database and the server's log
    QStringList ServerArguments;
    double SteadySeconds = 20;
    // After the kill and restart: how long the load goes on. 0: no kill.
    double AfterKillSeconds = 5;
    int HonestClients = 32;
    // Every n-th request of a client is a feedback, the others update checks.
    int FeedbackEvery = 4;
    std::map<HostileKind, int> Hostile;
    // What the flooding kinds push at most, per attack.
    std::size_t OfferBytes = 256u * 1024 * 1024;
};

struct HostileTally {
    int Attacks = 0;
    std::map<std::string, int> Results; // "411" -> count
    std::size_t MostBytesSent = 0;
    double LongestSeconds = 0;
};

struct LoadReport {
    bool Started = false;
    // The steady phase.
    double Seconds = 0;
    long Acknowledged = 0;
    long Busy = 0;   // answered 503: every worker taken, the queue full
    long Failed = 0; // any other failure
    double RequestsPerSecond = 0;
    double LatencyP50Ms = 0;
    double LatencyP99Ms = 0;
    double LatencyMaxMs = 0;
    long BaselineRssKb = 0; // the server before the load
    long PeakRssKb = 0;     // its high-water mark, both lives
    double ServerCpuSeconds = 0;
    // The kill.
    bool Killed = false;
    bool Restarted = false;
    long AcknowledgedAfterRestart = 0;
    bool StoppedCleanly = false;
    // The database afterwards, against what the clients were told.
    long Sent = 0;
    long AcknowledgedTotal = 0;
    long StoredOnce = 0;           // acknowledged and stored exactly once, intact
    long Lost = 0;                 // acknowledged but not stored
    long Doubled = 0;              // stored more than once
    long Altered = 0;              // stored, but not as sent
    long StoredUnacknowledged = 0; // stored, the answer lost (in flight at the kill)
    long Strays = 0;               // stored rows no honest client sent
    std::map<HostileKind, HostileTally> Hostile;
};

LoadReport RunLoad(const LoadPlan& plan);

// The report as a table for a person.
QString FormatReport(const LoadPlan& plan, const LoadReport& report);
