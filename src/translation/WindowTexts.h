#pragma once

#include <QString>
#include <QStringList>

// The English texts that the secondary windows pass to Translate. They are
// the keys of the language files, so each is written exactly once, here.
namespace WindowTexts {

// The translator credit the language dialog shows.
inline const QString kTranslatedByCredit = QStringLiteral("INFO:Translated By");

// Shared by the language dialog and the about box.
inline const QString kOK = QStringLiteral("OK");

// Language dialog.
inline const QString kLanguage = QStringLiteral("Language");
inline const QString kUserInterfaceLanguage = QStringLiteral("User Interface Language:");
inline const QString kTranslatedBy = QStringLiteral("Translated by:");
inline const QString kContributeToTranslation = QStringLiteral("Contribute to Translation");
inline const QString kCopy = QStringLiteral("Copy");
inline const QString kSelectAll = QStringLiteral("Select All");
inline const QString kRestartApplication = QStringLiteral("Restart Application?");
inline const QString kConfirmation = QStringLiteral("Confirmation");
inline const QString kYes = QStringLiteral("Yes");
inline const QString kNo = QStringLiteral("No");

// New-version notice; the product name and version follow "Click to download".
inline const QString kUpdateAvailable = QStringLiteral("UPDATE AVAILABLE");
inline const QString kClickToDownload = QStringLiteral("Click to download");

// Feedback form; its title is the product name, a blank and "feedback".
inline const QString kFeedback = QStringLiteral("feedback");
inline const QString kAppreciateFeedback =
    QStringLiteral("We would really appreciate your feedback.");
inline const QString kLikeOrDislike = QStringLiteral("What did you like or dislike?");
inline const QString kIncludeMyEmail = QStringLiteral("Include my e-mail:");
inline const QString kSend = QStringLiteral("Send");
inline const QString kILikeIt = QStringLiteral("I like it!");
inline const QString kIDislikeIt = QStringLiteral("I dislike it!");
inline const QString kInvalidEmail = QStringLiteral("Invalid e-mail address!");
inline const QString kFailure = QStringLiteral("Failure");
inline const QString kFeedbackReceived = QStringLiteral("Your feedback is received.");
inline const QString kThankYou = QStringLiteral("Thank you!");
inline const QString kSuccess = QStringLiteral("Success");
inline const QString kFeedbackNotDelivered =
    QStringLiteral("Something went wrong. Your feedback could not be delivered.");
inline const QString kTryAgainLater = QStringLiteral("Please try again later.");

// About box; "About %s" is formatted with the product name after translation.
inline const QString kAboutFormat = QStringLiteral("About %s");
inline const QString kInfo = QStringLiteral("Info");
inline const QString kAcknowledgements = QStringLiteral("Acknowledgements...");
inline const QString kHowToUninstall = QStringLiteral("How to uninstall...");
inline const QString kLicenseMenu = QStringLiteral("License...");
inline const QString kFileNotFound = QStringLiteral("File not found!");
inline const QString kLicense = QStringLiteral("License");

// Every text above but the credit, each once.
QStringList All();

} // namespace WindowTexts
