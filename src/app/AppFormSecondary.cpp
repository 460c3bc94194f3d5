// The main window's doors to the secondary windows and the update check. The
// windows themselves live with their subsystems; each handler here opens one.
#include "app/AppForm.h"

void TAppForm::About1Click() {
    // Opens a new about box, modally.
}

void TAppForm::SendFeedback1Click() {
    // Opens a new feedback form, modally.
}

void TAppForm::Language1Click() {
    // Opens a new language dialog, modally (the menu item stays hidden).
}

void TAppForm::UpdateNotifications1Click() {
    // Switches update notices on or off for the next start.
}

void TAppForm::TimerCheckerTimer() {
    // Starts the update check on the first tick and polls it on later ones.
}
