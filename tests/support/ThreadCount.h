#pragma once

// The threads of this process, as the system lists them (/proc/self/task):
// for tests that something ended its threads when it was told to.
namespace threadcount {

int Current();

// Waits up to two seconds, running the event loop when there is one, until
// the process has at most `count` threads; whether it got there.
bool SettlesAtMost(int count);

} // namespace threadcount
