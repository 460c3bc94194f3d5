#include "translation/MessageDlg.h"

#include <QAbstractButton>

std::unique_ptr<QMessageBox> CreateMessageDlg(QWidget* parent, const MessageRequest& request) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(request.Icon);
    box->setWindowTitle(request.Title);
    // Sentences are joined with CR, which a label would not break at.
    QString text = request.Text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    QMessageBox::StandardButtons buttons;
    for (const QMessageBox::StandardButton button : request.Buttons) {
        buttons |= button;
    }
    box->setStandardButtons(buttons);
    if (!request.Buttons.isEmpty()) {
        box->setDefaultButton(request.Buttons.first());
    }
    for (qsizetype i = 0; i < request.Buttons.size() && i < request.Captions.size(); ++i) {
        box->button(request.Buttons[i])->setText(request.Captions[i]);
    }
    return box;
}

QMessageBox::StandardButton ShowMessageDlg(QWidget* parent, const MessageRequest& request) {
    const std::unique_ptr<QMessageBox> box = CreateMessageDlg(parent, request);
    box->exec();
    return box->standardButton(box->clickedButton());
}

QMessageBox::StandardButton MessageDlgCaptions(QWidget* parent, const QString& message,
                                               QMessageBox::Icon icon,
                                               const QList<QMessageBox::StandardButton>& buttons,
                                               const QString& title, const QStringList& captions,
                                               const MessageDlgFunction& show) {
    MessageRequest request;
    request.Icon = icon;
    request.Title = title;
    request.Text = message;
    request.Buttons = buttons;
    request.Captions = captions;
    return show ? show(parent, request) : ShowMessageDlg(parent, request);
}
