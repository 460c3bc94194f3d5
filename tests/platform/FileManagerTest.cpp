#include "platform/FileManager.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Plays the desktop's file manager on a private bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
    QString startupId;

public slots:
    void ShowItems(const QStringList& uris, const QString& id) {
        shown = uris;
        startupId = id;
    }
};

// A dbus-daemon of our own for the length of a test.
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_process.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address")});
        if (!m_process.waitForReadyRead(10000))
            return;
        m_address = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~PrivateBus() {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
};

} // namespace

TEST(ShowInFileManager, AsksTheFileManagerWithTheWholePath) {
    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    QDBusConnection server =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("fm-server"));
    QDBusConnection client =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("fm-client"));
    ASSERT_TRUE(server.isConnected());
    FakeFileManager manager;
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    QObject context;
    int fallbacks = 0;
    const QString path = QStringLiteral("/music/My Album \"Live\"/01 - Song #1.flac");
    ShowInFileManager(
        path, &context,
        [&](const QUrl&) {
            ++fallbacks;
            return true;
        },
        client);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 5000));
    ASSERT_EQ(manager.shown.size(), 1);
    EXPECT_EQ(QUrl(manager.shown[0]).toLocalFile(), path);
    QTest::qWait(50);
    EXPECT_EQ(fallbacks, 0);

    QDBusConnection::disconnectFromBus(QStringLiteral("fm-server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fm-client"));
}

TEST(ShowInFileManager, WithoutAFileManagerOpensTheFolder) {
    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("nobody"));
    ASSERT_TRUE(client.isConnected());
    QObject context;
    QList<QUrl> opened;
    ShowInFileManager(
        QStringLiteral("/music/My Album/a b.mp3"), &context,
        [&](const QUrl& url) {
            opened << url;
            return true;
        },
        client);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 10000));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), u"/music/My Album");
    QDBusConnection::disconnectFromBus(QStringLiteral("nobody"));
}

TEST(ShowInFileManager, WithoutABusOpensTheFolder) {
    QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
    ASSERT_FALSE(none.isConnected());
    QObject context;
    QList<QUrl> opened;
    ShowInFileManager(
        QStringLiteral("/tmp/x y/z.wav"), &context,
        [&](const QUrl& url) {
            opened << url;
            return true;
        },
        none);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), u"/tmp/x y");
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

#include "FileManagerTest.moc"
