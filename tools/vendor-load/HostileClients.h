#pragma once

#include <QByteArray>
#include <chrono>
#include <cstddef>
#include <map>
#include <stop_token>
#include <string>

// The kinds of client a public server meets besides the program.
enum class HostileKind {
    Slow,        // a request trickled a byte at a time
    Chunked,     // a chunked body that never ends
    Compressed,  // a small deflate body that inflates to 64 MiB
    Oversized,   // a Content-Length far beyond any form, and the bytes to go with it
    Garbage,     // junk bytes, and well-framed forms the program never sends
    HeaderFlood, // header lines without end
};

const char* HostileName(HostileKind kind);

// Builds what the attacks send once, up front (the inflating body takes a
// while), so that no attack spends the run making its bytes.
void PrepareAttacks();

// What one attack came to: the status the server answered ("411"), or
// "closed" / "reset" / "no answer" when it answered nothing.
struct AttackOutcome {
    std::string Result;
    std::size_t BytesSent = 0;
    double Seconds = 0;
};

// Runs one attack of `kind` on 127.0.0.1:`port`; pushes at most `offerBytes`
// where the kind pushes bytes. Ends within about a second of `stop`.
AttackOutcome Attack(HostileKind kind, int port, std::size_t offerBytes, std::stop_token stop,
                     unsigned variant);

// Sends `request` as it is to 127.0.0.1:`port` and returns the status of the
// answer, or what became of the connection, as Attack does.
std::string Exchange(int port, const QByteArray& request,
                     std::chrono::seconds patience = std::chrono::seconds(15));
