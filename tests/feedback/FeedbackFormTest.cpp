// The feedback form on the offscreen platform, sending to the reference
// vendor server on loopback; what arrived is read back from its database.
#include "feedback/FeedbackForm.h"

#include "../services/VendorServerProcess.h"
#include "support/NamedCases.h"
#include "support/ShippedLanguage.h"
#include "support/ThreadCount.h"
#include "translation/Language.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace vendortest;

namespace {

const QString kPath = QStringLiteral("/php/feedback.php");

QString Url(const QString& scheme, int port) {
    return scheme + QStringLiteral("://127.0.0.1:") + QString::number(port) + kPath;
}

// Everything the form asked of the user, answered at once.
struct Recorder {
    QList<MessageRequest> messages;
    int beeps = 0;
};

class FeedbackFormTest : public ::testing::Test {
protected:
    void TearDown() override {
        form.reset();
        language.reset(); // back to English for the next test
    }

    void UseGerman() { InstallShippedGerman(language); }

    // A form whose https attempt goes to `httpsUrl` and http attempt to `httpUrl`.
    TFeedbackForm& Open(const QString& httpsUrl, const QString& httpUrl,
                        const QString& caFile = QString(), int timeoutMs = 3000) {
        FeedbackFormOptions options;
        options.ProductName = QStringLiteral("Korvane");
        options.AppTitle = QStringLiteral("QUIBLEX - Korvane");
        options.AppVersion = QStringLiteral("1.0");
        options.Target.HttpsUrl = httpsUrl;
        options.Target.HttpUrl = httpUrl;
        options.Target.Options.CaFile = caFile;
        options.Target.Options.ConnectTimeoutMs = timeoutMs;
        options.Target.Options.ResponseTimeoutMs = timeoutMs;
        options.ShowMessage = [this](QWidget*, const MessageRequest& request) {
            recorder.messages.append(request);
            return QMessageBox::Ok;
        };
        options.Beep = [this] { ++recorder.beeps; };
        form = std::make_unique<TFeedbackForm>(options);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }

    // Over http only: the https attempt meets a closed port.
    TFeedbackForm& OpenOn(const VendorServerProcess& server) {
        return Open(Url(QStringLiteral("https"), ClosedPort()), server.HttpUrl(kPath));
    }

    void Write(const QString& message, const QString& address = QString()) {
        form->Memo1->setPlainText(message);
        form->Edit1->setText(address);
    }

    // Presses Send and waits for the outcome; false when none came.
    bool SendAndWait() {
        QSignalSpy finished(form.get(), &TFeedbackForm::SendFinished);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        return !finished.isEmpty() || finished.wait(30000);
    }

    Recorder recorder;
    std::optional<InstalledLanguage> language;
    std::unique_ptr<TFeedbackForm> form;
};

} // namespace

TEST_F(FeedbackFormTest, TogglesAreAPairThatCanBeSwitchedOff) {
    Open(QString(), QString());
    TogglePanel* like = form->Panel4;
    TogglePanel* dislike = form->Panel5;
    const QColor face = like->palette().color(QPalette::Window);

    QTest::mouseClick(like, Qt::LeftButton);
    EXPECT_TRUE(like->IsOn());
    EXPECT_NE(like->palette().color(QPalette::Window), face);
    EXPECT_EQ(like->frameShadow(), QFrame::Sunken);

    QTest::mouseClick(dislike->Image(), Qt::LeftButton); // the picture counts as the panel
    EXPECT_TRUE(dislike->IsOn());
    EXPECT_FALSE(like->IsOn());
    EXPECT_EQ(like->palette().color(QPalette::Window), face);
    EXPECT_EQ(like->frameShadow(), QFrame::Raised);

    QTest::mouseClick(dislike, Qt::RightButton);
    QTest::mouseClick(like, Qt::MiddleButton);
    EXPECT_TRUE(dislike->IsOn());
    EXPECT_FALSE(like->IsOn());

    QTest::mouseClick(dislike, Qt::LeftButton);
    EXPECT_FALSE(dislike->IsOn());
    EXPECT_FALSE(like->IsOn());
}

TEST_F(FeedbackFormTest, EnglishTextsAndLimits) {
    Open(QString(), QString());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Korvane feedback"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("We would really appreciate your feedback."));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("What did you like or dislike?"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Include my e-mail:"));
    EXPECT_EQ(form->BitBtn1->text(), QStringLiteral("Send"));
    EXPECT_EQ(form->Panel4->Caption(), QStringLiteral("I like it!"));
    EXPECT_EQ(form->Panel5->Caption(), QStringLiteral("I dislike it!"));
    EXPECT_EQ(form->size(), QSize(525, 326));

    form->Memo1->setPlainText(QString(10005, u'a'));
    EXPECT_EQ(form->Memo1->toPlainText().size(), 10000);
    QTest::keyClicks(form->Edit1, QString(120, u'b'));
    EXPECT_EQ(form->Edit1->text().size(), 100);
}

TEST_F(FeedbackFormTest, FourFieldsWithoutAnAddress) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    QTest::mouseClick(form->Panel4, Qt::LeftButton);
    Write(QStringLiteral("  The spectrogram helps.\nThe list is clear.\n\n"));
    ASSERT_TRUE(SendAndWait());

    const QList<StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Scheme, QStringLiteral("http"));
    const QList<QPair<QString, QString>> expected{
        {QStringLiteral("cmd"), QStringLiteral("feedback")},
        {QStringLiteral("appname"), QStringLiteral("QUIBLEX - Korvane")},
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("feedback"),
         QStringLiteral("I like it!\rThe spectrogram helps.\r\nThe list is clear.")},
    };
    EXPECT_EQ(stored[0].Fields, expected);

    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Information);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Success"));
    EXPECT_EQ(recorder.messages[0].Text,
              QStringLiteral("Your feedback is received.\r\rThank you!"));
    EXPECT_EQ(recorder.messages[0].Captions, QStringList({QStringLiteral("OK")}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(FeedbackFormTest, FiveFieldsWithATrimmedAddress) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    Write(QStringLiteral("Please add FLAC 24-bit."), QStringLiteral(" \t user+tag@example.org  "));
    ASSERT_TRUE(SendAndWait());

    const QList<StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 1);
    ASSERT_EQ(stored[0].Fields.size(), 5);
    EXPECT_EQ(stored[0].Field(QStringLiteral("feedback")),
              QStringLiteral("Please add FLAC 24-bit."));
    EXPECT_EQ(stored[0].Fields[4],
              qMakePair(QStringLiteral("email"), QStringLiteral("user+tag@example.org")));
}

TEST_F(FeedbackFormTest, GermanCaptionTravelsInParenthesesAfterTheEnglishPhrase) {
    UseGerman();
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Korvane Feedback"));
    EXPECT_EQ(form->BitBtn1->text(), QStringLiteral("Senden"));
    EXPECT_EQ(form->Panel5->Caption(), QStringLiteral("Gef\u00e4llt mir nicht!"));

    QTest::mouseClick(form->Panel5, Qt::LeftButton);
    Write(QStringLiteral("Zu langsam."));
    ASSERT_TRUE(SendAndWait());
    const QList<StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Field(QStringLiteral("feedback")),
              QStringLiteral("I dislike it! (Gef\u00e4llt mir nicht!)\rZu langsam."));
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Erfolgreich"));
    EXPECT_EQ(recorder.messages[0].Text,
              QStringLiteral("Ihr Feedback ist bei uns eingegangen.\r\rVielen Dank!"));
}

TEST_F(FeedbackFormTest, BlankMessageBeepsAndSendsNothing) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    QTest::mouseClick(form->Panel4, Qt::LeftButton);
    Write(QStringLiteral("  \n\t\n   "), QStringLiteral("user@example.org"));
    form->Edit1->setFocus();

    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(recorder.beeps, 1);
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_FALSE(form->IsSending());
    EXPECT_TRUE(form->BitBtn1->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), form->Memo1);
    EXPECT_TRUE(form->isVisible());
    QTest::qWait(200); // a request, had one started, would have reached the server by now
    EXPECT_TRUE(server.Requests().isEmpty());
}

TEST_F(FeedbackFormTest, InvalidAddressIsRefusedBeforeAnythingIsSent) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    Write(QStringLiteral("Nice program"), QStringLiteral("user@localhost"));
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);

    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Failure"));
    EXPECT_EQ(recorder.messages[0].Text, QStringLiteral("Invalid e-mail address!"));
    EXPECT_EQ(QApplication::focusWidget(), form->Edit1);
    EXPECT_FALSE(form->IsSending());
    EXPECT_EQ(recorder.beeps, 0);
    QTest::qWait(200);
    EXPECT_TRUE(server.Requests().isEmpty());
}

struct AnswerCase {
    const char* name;
    QString body;
    bool delivered;
};

class FeedbackAnswerTest : public FeedbackFormTest,
                           public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FeedbackAnswerTest, OnlyATrimmedOkIsSuccess) {
    ServerOptions serverOptions;
    serverOptions.FeedbackAnswer = GetParam().body;
    VendorServerProcess server(serverOptions);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    OpenOn(server);
    QTest::mouseClick(form->Panel4, Qt::LeftButton);
    Write(QStringLiteral("Keep it up"), QStringLiteral("me@example.org"));
    ASSERT_TRUE(SendAndWait());

    EXPECT_EQ(server.Requests(QStringLiteral("feedback")).size(), 1);
    ASSERT_EQ(recorder.messages.size(), 1);
    if (GetParam().delivered) {
        EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Success"));
        EXPECT_FALSE(form->isVisible());
        return;
    }
    EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Failure"));
    EXPECT_EQ(recorder.messages[0].Text,
              QStringLiteral("Something went wrong. Your feedback could not be delivered."
                             "\r\rPlease try again later."));
    // Nothing the user entered is lost, and Send can be pressed again.
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("Keep it up"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("me@example.org"));
    EXPECT_TRUE(form->Panel4->IsOn());
    EXPECT_TRUE(form->BitBtn1->isEnabled());
    ASSERT_TRUE(SendAndWait());
    EXPECT_EQ(server.Requests(QStringLiteral("feedback")).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Answers, FeedbackAnswerTest,
                         ::testing::Values(AnswerCase{"OkCrLf", QStringLiteral("OK\r\n"), true},
                                           AnswerCase{"LowerCaseOk", QStringLiteral("ok"), false},
                                           AnswerCase{"OkFullStop", QStringLiteral("OK."), false}),
                         CaseName());

TEST_F(FeedbackFormTest, HttpsIsTriedFirstAndAnAnswerThereIsFinal) {
    ServerOptions serverOptions;
    serverOptions.Https = true;
    VendorServerProcess server(serverOptions);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    Open(server.HttpsUrl(kPath), server.HttpUrl(kPath), server.CaFile());
    Write(QStringLiteral("Secure"));
    ASSERT_TRUE(SendAndWait());
    const QList<StoredRequest> stored = server.Requests();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Scheme, QStringLiteral("https"));
    EXPECT_EQ(recorder.messages.value(0).Title, QStringLiteral("Success"));
}

TEST_F(FeedbackFormTest, HttpsRefusedAndHttpAnswering) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    // The same host and port for both: the https attempt fails its handshake
    // with a plain-http server, as with a host without a usable certificate.
    const QString host = server.HttpUrl(QString());
    Open(QString(host).replace(QStringLiteral("http://"), QStringLiteral("https://")) + kPath,
         server.HttpUrl(kPath));
    Write(QStringLiteral("Fallback"));
    ASSERT_TRUE(SendAndWait());
    const QList<StoredRequest> stored = server.Requests();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Scheme, QStringLiteral("http"));
    EXPECT_EQ(recorder.messages.value(0).Title, QStringLiteral("Success"));
}

TEST_F(FeedbackFormTest, BothTransportsFailingIsAFailureThatKeepsEverything) {
    Open(Url(QStringLiteral("https"), ClosedPort()), Url(QStringLiteral("http"), ClosedPort()));
    QTest::mouseClick(form->Panel5, Qt::LeftButton);
    Write(QStringLiteral("Lost?"), QStringLiteral("me@example.org"));
    ASSERT_TRUE(SendAndWait());
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Failure"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Panel5->IsOn());
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("Lost?"));
}

TEST_F(FeedbackFormTest, WaitingForTheServerKeepsTheWindowAliveButModalAndSendDisabled) {
    SilentListener hanging;
    ASSERT_GT(hanging.Port(), 0);
    // Shorter time-outs than the form's 3 s keep the test quick.
    Open(Url(QStringLiteral("https"), hanging.Port()), Url(QStringLiteral("http"), hanging.Port()),
         QString(), 1000);
    Write(QStringLiteral("Anyone there?"));

    QSignalSpy finished(form.get(), &TFeedbackForm::SendFinished);
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(form->IsSending());
    EXPECT_FALSE(form->BitBtn1->isEnabled());
    EXPECT_TRUE(QApplication::overrideCursor() != nullptr);

    // The event loop keeps running while the request waits: timers fire and
    // the window paints.
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&ticks] { ++ticks; });
    clock.start(50);
    QTest::qWait(500);
    EXPECT_GE(ticks, 5);
    form->repaint();

    // Neither Escape nor the close box end the form halfway.
    QTest::keyClick(form->Memo1, Qt::Key_Escape);
    form->close();
    EXPECT_TRUE(form->isVisible());
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton); // disabled: no second request

    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(form->IsSending());
    EXPECT_TRUE(form->BitBtn1->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(recorder.messages.value(0).Title, QStringLiteral("Failure"));
}

// The program ends while the feedback waits for a server that never answers
// (time-outs of a minute): the form goes at once, abandoning the post, and
// leaves no thread behind.
TEST_F(FeedbackFormTest, EndingTheProgramDuringThePostAbandonsItAndLeavesNoThread) {
    SilentListener hanging;
    ASSERT_GT(hanging.Port(), 0);
    Open(Url(QStringLiteral("https"), hanging.Port()), Url(QStringLiteral("http"), hanging.Port()),
         QString(), 60000);
    Write(QStringLiteral("Anyone there?"));
    QTest::qWait(100);
    const int before = threadcount::Current();
    QSignalSpy finished(form.get(), &TFeedbackForm::SendFinished);
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    ASSERT_TRUE(form->IsSending());
    QTest::qWait(300); // connected, waiting for the answer
    EXPECT_GT(threadcount::Current(), before);

    QElapsedTimer clock;
    clock.start();
    form.reset();
    EXPECT_LT(clock.elapsed(), 10000) << "abandoned, not left to run into its time-outs";
    EXPECT_TRUE(threadcount::SettlesAtMost(before));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(recorder.messages.isEmpty()) << "no message box for an abandoned post";
}

TEST_F(FeedbackFormTest, EscapeClosesFromTheMessageTheAddressAndTheButton) {
    for (int control = 0; control < 3; ++control) {
        Open(QString(), QString());
        QWidget* target = control == 0   ? static_cast<QWidget*>(form->Memo1)
                          : control == 1 ? static_cast<QWidget*>(form->Edit1)
                                         : static_cast<QWidget*>(form->BitBtn1);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(form->isVisible()) << control;
        EXPECT_TRUE(form->Edit1->text().isEmpty());
    }
}

struct ScriptCase {
    const char* name;
    QString piece; // repeated up to `length` characters
    int length;
    bool https;
};

class FeedbackScriptsTest : public FeedbackFormTest,
                            public ::testing::WithParamInterface<ScriptCase> {};

// Whatever a person can type into the form arrives whole: any script, up to
// the form's limit, which percent-encoded is many times the size of a small
// form body.
TEST_P(FeedbackScriptsTest, EveryMessageTheFormTakesIsDelivered) {
    const ScriptCase& c = GetParam();
    QString message;
    while (message.size() < c.length) {
        message += c.piece;
    }
    message.truncate(c.length);
    if (message.back().isHighSurrogate()) {
        message.chop(1);
    }
    ServerOptions serverOptions;
    serverOptions.Https = c.https;
    VendorServerProcess server(serverOptions);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    if (c.https) {
        Open(server.HttpsUrl(kPath), server.HttpUrl(kPath), server.CaFile());
    } else {
        OpenOn(server);
    }
    QTest::mouseClick(form->Panel5, Qt::LeftButton);
    Write(message, QStringLiteral("reader+long@example.org"));
    ASSERT_EQ(form->Memo1->toPlainText(), message) << "the form takes it as it is";
    ASSERT_TRUE(SendAndWait());

    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0].Title, QStringLiteral("Success"));
    const QList<StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Scheme, c.https ? QStringLiteral("https") : QStringLiteral("http"));
    QString sent = message;
    sent.replace(u'\n', QStringLiteral("\r\n"));
    EXPECT_TRUE(stored[0].Field(QStringLiteral("feedback")) ==
                QStringLiteral("I dislike it!\r") + sent.trimmed())
        << "stored " << stored[0].Field(QStringLiteral("feedback")).size() << " characters of "
        << sent.size() + 14;
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, FeedbackScriptsTest,
    ::testing::Values(
        ScriptCase{"LatinShort", QStringLiteral("Sehr gut, danke! "), 17, false},
        ScriptCase{"LatinAtTheLimit", QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln. "), 10000,
                   false},
        ScriptCase{"Cyrillic1400", QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442 "), 1400,
                   false},
        ScriptCase{"CyrillicAtTheLimit", QStringLiteral("\u0417\u0432\u0443\u043a "), 10000, false},
        ScriptCase{"Cjk900", QStringLiteral("\u97f3\u8cea\u304c\u826f\u3044"), 900, false},
        ScriptCase{"CjkAtTheLimit", QStringLiteral("\u6771\u4eac\u304b\u3089"), 10000, false},
        ScriptCase{"EmojiAtTheLimit", QStringLiteral("\U0001F3A7\U0001F3B6\U0001F44D"), 10000,
                   false},
        ScriptCase{"LineBreaksAtTheLimit", QStringLiteral("Zeile\n"), 10000, false},
        ScriptCase{"CjkAtTheLimitOverHttps", QStringLiteral("\u6771\u4eac\u304b\u3089"), 10000,
                   true}),
    CaseName());
