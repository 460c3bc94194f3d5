#pragma once

// Names the running program as the desktop sees it: the application's name
// ("Korvane"), its organisation and its desktop entry. Call once, right
// after the QApplication is made; every window then carries exactly the
// title it sets.
void SetApplicationNames();
