// The secondary windows opened from the main window's menu and toolbar, as a
// user meets them: modal, new for every click, closed with Escape.
#include "../services/VendorServerProcess.h"
#include "AppFormFixture.h"
#include "about/AboutBox.h"
#include "feedback/FeedbackForm.h"
#include "support/TestMedia.h"
#include "translation/FlagComboBox.h"
#include "translation/TranslateForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <functional>

namespace {

// Acts on each modal window as it comes up while `trigger` runs (the windows'
// exec() blocks it), then returns what came up, in order. A window still open
// after the deadline is rejected, so that a fault cannot hang the suite.
QList<QPointer<QWidget>> WhileModal(const std::function<void()>& trigger,
                                    const std::function<void(QWidget*)>& act) {
    QList<QPointer<QWidget>> seen;
    QWidget* handled = nullptr;
    const QDeadlineTimer deadline(30000);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (deadline.hasExpired()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        if (modal == handled)
            return;
        handled = modal;
        seen.append(modal);
        act(modal);
    });
    poll.start(20);
    trigger();
    poll.stop();
    return seen;
}

void PressEscape(QWidget* window) {
    QWidget* focus = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(focus, Qt::Key_Escape);
}

void ClickButton(QWidget* box, QMessageBox::StandardButton which) {
    auto* messageBox = qobject_cast<QMessageBox*>(box);
    ASSERT_TRUE(messageBox);
    QTest::mouseClick(messageBox->button(which), Qt::LeftButton);
}

} // namespace

class SecondaryWindowsTest : public AppFormTest {
protected:
    void writeLanguage(const QString& name, const QByteArray& bytes) {
        QDir(exeDir.path()).mkpath(QStringLiteral("Languages"));
        QFile file(exeDir.filePath(QStringLiteral("Languages/") + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(SecondaryWindowsTest, EachCommandOpensANewModalWindowThatEscapeCloses) {
    writeLanguage(QStringLiteral("German.lang.txt"), "{OK}OK\n");
    TAppForm& window = makeForm();
    struct Door {
        QAction* action;
        const char* className;
        QString title;
    };
    const QList<Door> doors{
        {window.About1, "TAboutBox", QStringLiteral("About Korvane")},
        {window.ToolButton2, "TAboutBox", QStringLiteral("About Korvane")},
        {window.SendFeedback1, "TFeedbackForm", QStringLiteral("Korvane feedback")},
        {window.ToolButton7, "TFeedbackForm", QStringLiteral("Korvane feedback")},
        {window.Language1, "TTranslateForm", QStringLiteral("Language")},
    };
    for (const Door& door : doors) {
        QString title;
        bool modal = false;
        QWidget* parent = nullptr;
        const QList<QPointer<QWidget>> seen = WhileModal([&] { door.action->trigger(); },
                                                         [&](QWidget* w) {
                                                             title = w->windowTitle();
                                                             modal = w->isModal();
                                                             parent = w->parentWidget();
                                                             PressEscape(w);
                                                         });
        ASSERT_EQ(seen.size(), 1) << door.className;
        EXPECT_EQ(title, door.title);
        EXPECT_TRUE(modal);
        EXPECT_EQ(parent, &window);
        EXPECT_TRUE(seen[0].isNull()) << door.className << ": freed once closed";

        // The next click brings a new one.
        const QList<QPointer<QWidget>> again =
            WhileModal([&] { door.action->trigger(); }, PressEscape);
        ASSERT_EQ(again.size(), 1);
        EXPECT_TRUE(again[0].isNull());
    }
    EXPECT_TRUE(restarts.isEmpty());
}

TEST_F(SecondaryWindowsTest, LanguageItemIsShownOnlyWhenThereAreLanguageFiles) {
    TAppForm& plain = makeForm(false);
    EXPECT_FALSE(plain.Language1->isVisible());
    writeLanguage(QStringLiteral("Turkish.lang.txt"), "{OK}Tamam\n");
    TAppForm& withFiles = makeForm(false);
    EXPECT_TRUE(withFiles.Language1->isVisible());
}

TEST_F(SecondaryWindowsTest, AboutBoxShowsTheProgramsValuesAndOpensTheLicenseBesideIt) {
    const QString license =
        testmedia::WriteBytes(exeDir.filePath(QStringLiteral("license.txt")), "terms\n");
    TAppForm& window = makeForm();
    QString version;
    WhileModal([&] { window.About1->trigger(); },
               [&](QWidget* w) {
                   auto* box = qobject_cast<TAboutBox*>(w);
                   ASSERT_TRUE(box);
                   version = box->Label2->text();
                   box->License1->trigger();
                   box->close();
               });
    EXPECT_EQ(version, QStringLiteral("Korvane ") + context.AppVersion);
    EXPECT_EQ(openedUrls, QList({QUrl::fromLocalFile(license)}));
}

TEST_F(SecondaryWindowsTest, ChosenLanguageComesBackAtTheNextStart) {
    writeLanguage(QStringLiteral("German.lang.txt"), "{About %s}\xc3\x9c"
                                                     "ber %s\n{Yes}Ja\n{No}Nein\n");
    writeLanguage(QStringLiteral("French.lang.txt"), "{About %s}\xc3\x80 propos de %s\n");
    TAppForm& first = makeForm();
    ASSERT_TRUE(context.Language.CurrentLanguage.isEmpty())
        << "no automatic choice without LanguageCodes.csv";

    int step = 0;
    const QList<QPointer<QWidget>> seen =
        WhileModal([&] { first.Language1->trigger(); },
                   [&](QWidget* w) {
                       switch (step++) {
                       case 0: {
                           auto* dialog = qobject_cast<TTranslateForm*>(w);
                           ASSERT_TRUE(dialog);
                           dialog->ComboBox1->setCurrentIndex(
                               dialog->ComboBox1->findText(QStringLiteral("German")));
                           // Clicked once this handler has returned: the question that
                           // follows is modal too.
                           QTimer::singleShot(0, dialog, [dialog] {
                               QTest::mouseClick(dialog->Button1, Qt::LeftButton);
                           });
                           break;
                       }
                       case 1:
                           ClickButton(w, QMessageBox::Yes); // "Restart Application?"
                           break;
                       default:
                           // The restart would have ended the program; the test ends the dialog.
                           w->close();
                           break;
                       }
                   });
    ASSERT_EQ(seen.size(), 3);
    ASSERT_EQ(restarts.size(), 1);
    EXPECT_EQ(restarts[0].first, context.DataFolder + QStringLiteral("start.sh"));
    EXPECT_TRUE(QFile::exists(restarts[0].first));
    QSettings stored(context.DataFolder + QStringLiteral("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Language/File")).toString(),
              QStringLiteral("German.lang.txt"));

    // The next start.
    makeForm();
    EXPECT_EQ(context.Language.CurrentLanguage, QStringLiteral("German"));
    QString title;
    WhileModal([&] { form->About1->trigger(); },
               [&](QWidget* w) {
                   title = w->windowTitle();
                   w->close();
               });
    EXPECT_EQ(title, QStringLiteral("\u00dcber Korvane"));
}

TEST_F(SecondaryWindowsTest, FeedbackFromTheMenuReachesTheVendorServer) {
    vendortest::VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    // The vendor host as a deployer points the program at a test server.
    const QByteArray previous = qgetenv("KORVANE_VENDOR_HOST");
    qputenv("KORVANE_VENDOR_HOST",
            server.HttpUrl(QString()).remove(QStringLiteral("http://")).toUtf8());
    TAppForm& window = makeForm();

    QString answerTitle;
    const QList<QPointer<QWidget>> seen =
        WhileModal([&] { window.ToolButton7->trigger(); },
                   [&](QWidget* w) {
                       if (auto* feedback = qobject_cast<TFeedbackForm*>(w)) {
                           QTest::mouseClick(feedback->Panel4, Qt::LeftButton);
                           QTest::keyClicks(feedback->Memo1, QStringLiteral("Works well"));
                           QTest::keyClicks(feedback->Edit1, QStringLiteral("me@example.org"));
                           // Send runs beside the window; its answer comes as a modal box.
                           QTest::mouseClick(feedback->BitBtn1, Qt::LeftButton);
                           return;
                       }
                       answerTitle = w->windowTitle();
                       ClickButton(w, QMessageBox::Ok);
                   });
    if (previous.isEmpty())
        qunsetenv("KORVANE_VENDOR_HOST");
    else
        qputenv("KORVANE_VENDOR_HOST", previous);

    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(answerTitle, QStringLiteral("Success"));
    EXPECT_TRUE(seen[0].isNull()) << "the form closed after the success";
    const QList<vendortest::StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].Field(QStringLiteral("appname")), context.AppTitle);
    EXPECT_EQ(stored[0].Field(QStringLiteral("version")), context.AppVersion);
    EXPECT_EQ(stored[0].Field(QStringLiteral("feedback")),
              QStringLiteral("I like it!\rWorks well"));
    EXPECT_EQ(stored[0].Field(QStringLiteral("email")), QStringLiteral("me@example.org"));
}
