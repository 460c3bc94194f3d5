// Start-up, the menus and the toolbar of the main window.
#include "AppFormFixture.h"
#include "app/AppContext.h"
#include "support/TestMedia.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

struct MenuRow {
    const char* objectName; // "" for a separator
    const char* caption;
    bool hasIcon;
    const char* shortcut;
};

void ExpectMenu(const QMenu* menu, std::initializer_list<MenuRow> rows) {
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), qsizetype(rows.size())) << menu->title().toStdString();
    qsizetype i = 0;
    for (const MenuRow& row : rows) {
        const QAction* action = actions[i++];
        if (*row.caption == '\0') {
            EXPECT_TRUE(action->isSeparator()) << i;
            continue;
        }
        EXPECT_EQ(action->objectName().toStdString(), row.objectName);
        EXPECT_EQ(action->text().toStdString(), row.caption);
        EXPECT_EQ(!action->icon().isNull(), row.hasIcon) << row.caption;
        EXPECT_EQ(action->shortcut().toString().toStdString(), row.shortcut) << row.caption;
    }
}

} // namespace

TEST_F(AppFormTest, StartUpSetsTheValuesTheCaptionAndTheDataFolderBesideTheProgram) {
    TAppForm& window = makeForm();
    EXPECT_EQ(context.AppCompanyName, u"QUIBLEX");
    EXPECT_EQ(context.AppProductName, u"Korvane");
    EXPECT_EQ(context.AppTitle, u"QUIBLEX - Korvane");
    EXPECT_EQ(window.windowTitle(), u"QUIBLEX - Korvane");
    EXPECT_EQ(context.DataFolder, exeDir.path() + u'/');
    EXPECT_FALSE(QFile::exists(exeDir.filePath(QStringLiteral("chk.tmp"))));
    EXPECT_FALSE(QFile::exists(exeDir.filePath(QStringLiteral("settings.ini")))); // never written
    EXPECT_TRUE(window.acceptDrops());
    EXPECT_TRUE(window.PaintBox1->isHidden());
    EXPECT_EQ(window.ListView1->rowCount(), 0);
    EXPECT_TRUE(window.LastDrawnFile.isEmpty());
    EXPECT_TRUE(window.SpectrogramBMP.isNull());
    EXPECT_EQ(window.TimerChecker->interval(), 1000);
    EXPECT_TRUE(window.TimerChecker->isActive());
    EXPECT_EQ(window.TimerDrawItem->interval(), 100);
    EXPECT_TRUE(window.TimerDrawItem->isActive());
    EXPECT_EQ(window.statusText(), u"");
}

TEST_F(AppFormTest, StartUpReadsTheNamesAndVersionFromTheProgramsVersionBlock) {
    const AppIdentity identity = ReadAppIdentity(QStringLiteral(KORVANE_GUI_PATH));
    EXPECT_EQ(identity.CompanyName, u"QUIBLEX");
    EXPECT_EQ(identity.ProductName, u"Korvane");
    EXPECT_EQ(identity.Major, 1);
    EXPECT_EQ(identity.Minor, 0);

    // A file without a version block: the built-in names and 65535.65535.
    makeForm(false);
    EXPECT_EQ(context.AppVersion, u"65535.65535");
    EXPECT_EQ(context.AppTitle, u"QUIBLEX - Korvane");
    SetAppValues(context, identity);
    EXPECT_EQ(context.AppVersion, u"1.0");
}

TEST_F(AppFormTest, LeftoverProbeSendsTheDataFolderToTheUserDataFolder) {
    testmedia::WriteBytes(exeDir.filePath(QStringLiteral("chk.tmp")), {});
    makeForm(false);
    EXPECT_EQ(context.DataFolder, userData.path() + QStringLiteral("/QUIBLEX/Korvane/"));
    EXPECT_TRUE(QDir(context.DataFolder).exists());
}

TEST_F(AppFormTest, InvalidSettingsFileIsDeletedAndTheProgramStarts) {
    const QString ini = testmedia::WriteBytes(exeDir.filePath(QStringLiteral("settings.ini")),
                                              "[General]\nx=\xC3\x28\n");
    TAppForm& window = makeForm();
    EXPECT_FALSE(QFile::exists(ini));
    ASSERT_TRUE(window.SettingsIni);
    EXPECT_TRUE(window.SettingsIni->allKeys().isEmpty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(AppFormTest, MenusAsTheTablesGiveThem) {
    TAppForm& window = makeForm(false);
    const QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->text(), u"File");
    EXPECT_EQ(bar[1]->text(), u"Help");
    ExpectMenu(window.FileMenu, {
                                    {"Clear1", "Clear", false, ""},
                                    {"", "", false, ""},
                                    {"AddFiles1", "Add Files...", true, ""},
                                    {"AddFolder1", "Add Folder...", true, ""},
                                    {"", "", false, ""},
                                    {"ExportResults1", "Export Results...", false, ""},
                                    {"ForgetStoredResults1", "Forget Stored Results", false, ""},
                                    {"", "", false, ""},
                                    {"Exit1", "Exit", true, ""},
                                });
    ExpectMenu(window.HelpMenu, {
                                    {"Help2", "Online Help", true, "F1"},
                                    {"", "", false, ""},
                                    {"UpdateNotifications1", "Update Notifications", false, ""},
                                    {"", "", false, ""},
                                    {"Language1", "Language...", true, ""},
                                    {"SendFeedback1", "Send &Feedback...", true, ""},
                                    {"About1", "&About...", true, ""},
                                });
    EXPECT_TRUE(window.UpdateNotifications1->isCheckable());
    EXPECT_TRUE(window.UpdateNotifications1->isChecked());
    EXPECT_FALSE(window.UpdateNotifications1->isEnabled());
    EXPECT_TRUE(window.UpdateNotificationsBar->isSeparator());
    EXPECT_FALSE(window.Language1->isVisible());

    const QList<QAction*> popup = window.PopupMenu2->actions();
    ASSERT_EQ(popup.size(), 5);
    EXPECT_EQ(popup[0]->text(), u"Open");
    EXPECT_EQ(popup[1]->text(), u"Show in Explorer");
    EXPECT_TRUE(popup[2]->isSeparator());
    EXPECT_EQ(popup[3]->text(), u"Delete");
    EXPECT_EQ(popup[4]->text(), u"Select All");
    EXPECT_EQ(window.PopupMenu2->defaultAction(), window.Open1);
    EXPECT_TRUE(window.Open1->font().bold());
    // "Save..." first, then, set apart, the one addition: the scale and cutoff.
    const QList<QAction*> panelPopup = window.PopupMenu1->actions();
    ASSERT_EQ(panelPopup.size(), 3);
    EXPECT_EQ(panelPopup[0]->text(), u"Save...");
    EXPECT_TRUE(panelPopup[1]->isSeparator());
    EXPECT_EQ(panelPopup[2], window.ShowScaleAndCutoff1);
}

TEST_F(AppFormTest, ToolbarAsTheTableGivesIt) {
    TAppForm& window = makeForm();
    EXPECT_EQ(window.ToolBar1->iconSize(), QSize(64, 64));
    EXPECT_EQ(window.ToolBar1->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    const QList<QAction*> actions = window.ToolBar1->actions();
    const struct {
        const char* name;
        const char* caption;
        const char* tip;
    } expected[] = {
        {"ToolButton3", "Add Files", "Select audio files"},
        {"ToolButton1", "Add Folder", "Select audio folders"},
        {"ToolButton5", "", ""},
        {"ToolButton7", "Feedback", "Send feedback"},
        {"ToolButton2", "About", "Show aboutbox"},
        {"ToolButton4", "Help", "Online help"},
    };
    ASSERT_EQ(actions.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(actions[i]->objectName().toStdString(), expected[i].name);
        if (*expected[i].caption == '\0') {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(actions[i]->text().toStdString(), expected[i].caption);
        EXPECT_EQ(actions[i]->toolTip().toStdString(), expected[i].tip);
        EXPECT_FALSE(actions[i]->icon().isNull());
        EXPECT_FALSE(actions[i]->icon().pixmap(64, 64).isNull());
        const QWidget* button = window.ToolBar1->widgetForAction(actions[i]);
        ASSERT_TRUE(button);
        EXPECT_GE(button->width(), 71);
        EXPECT_GE(button->height(), 84);
    }
}

TEST_F(AppFormTest, ToolbarButtonsTriggerTheirMenuItems) {
    TAppForm& window = makeForm();
    int addFiles = 0;
    int addFolder = 0;
    QObject::connect(window.AddFiles1, &QAction::triggered, [&] { ++addFiles; });
    QObject::connect(window.AddFolder1, &QAction::triggered, [&] { ++addFolder; });
    window.ToolButton3->trigger();
    window.ToolButton1->trigger();
    EXPECT_EQ(addFiles, 1);
    EXPECT_EQ(addFolder, 1);
    EXPECT_EQ(lastStartFolder, u""); // the first Add Folder starts nowhere in particular
}

TEST_F(AppFormTest, OnlineHelpFromF1TheMenuAndTheToolbar) {
    TAppForm& window = makeForm();
    QTest::keyClick(window.ListView1, Qt::Key_F1);
    window.Help2->trigger();
    window.ToolButton4->trigger();
    ASSERT_EQ(openedUrls.size(), 3);
    for (const QUrl& url : openedUrls)
        EXPECT_EQ(
            url.toString(),
            QStringLiteral("http://%1/help/korvane/").arg(QString::fromUtf8(KORVANE_VENDOR_HOST)));
}

TEST_F(AppFormTest, OnlineHelpSwallowsAFailingOpener) {
    environment.OpenUrl = [](const QUrl&) -> bool { throw std::runtime_error("no browser"); };
    TAppForm& window = makeForm();
    EXPECT_NO_THROW(window.Help2Click());
}

TEST_F(AppFormTest, ExitClosesTheWindow) {
    TAppForm& window = makeForm();
    window.Exit1->trigger();
    EXPECT_FALSE(window.isVisible());
}

TEST(KorvaneProgram, ASecondInstanceStartsAndRunsToo) {
    QTemporaryDir cacheHome; // not the user's results
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome.path());
    QProcess first;
    QProcess second;
    for (QProcess* process : {&first, &second}) {
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(KORVANE_GUI_PATH), {});
        ASSERT_TRUE(process->waitForStarted(10000));
    }
    QTest::qWait(1500);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(second.state(), QProcess::Running);
    for (QProcess* process : {&first, &second}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}
