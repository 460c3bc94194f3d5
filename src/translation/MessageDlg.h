#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// One message box as a window asks for it: the icon, the title, the text and
// the buttons in their order, with captions that replace the buttons' own
// texts one by one (fewer captions leave the rest as they are).
struct MessageRequest {
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Title;
    QString Text;
    QList<QMessageBox::StandardButton> Buttons{QMessageBox::Ok};
    QStringList Captions;
};

// Shows a message box modally and returns the button that closed it. The
// windows take one of these so that tests can answer in place of the user.
using MessageDlgFunction =
    std::function<QMessageBox::StandardButton(QWidget* parent, const MessageRequest& request)>;

// The message box of a request, ready to be shown.
std::unique_ptr<QMessageBox> CreateMessageDlg(QWidget* parent, const MessageRequest& request);

// Shows the message box of a request modally.
QMessageBox::StandardButton ShowMessageDlg(QWidget* parent, const MessageRequest& request);

// A standard message box whose title and button captions are ours (the
// language dialog asks its Yes/No question in the interface language).
// `show` empty means ShowMessageDlg.
QMessageBox::StandardButton MessageDlgCaptions(QWidget* parent, const QString& message,
                                               QMessageBox::Icon icon,
                                               const QList<QMessageBox::StandardButton>& buttons,
                                               const QString& title, const QStringList& captions,
                                               const MessageDlgFunction& show = {});
