#include "ftpmanager.h"
#include "ftpserverfixture.h"
#include "publish/passwordcipher.h"
#include "util/appidentity.h"
#include "widgetlookup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using Locations = QList<FtpLocation>;

// The FTP location manager offscreen: what it shows, what it writes back into
// the list it is lent, and the location test against a real FTP server.
class TestFtpManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void showsFirstLocation();
    void edits_data();
    void edits();
    void newLocation_data();
    void newLocation();
    void deleteLocation();
    void emptyListSavesNothing();
    void testLocation_data();
    void testLocation();
};

namespace {
void type(FtpManager& manager, const char* field, const QString& text)
{
    auto* edit = widget<QLineEdit>(manager, field);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

QUrl address(const QString& host, int port, const QString& user, const QString& password)
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPassword(password, QUrl::DecodedMode);
    return url;
}

// Made once: every encryption of a password differs.
Locations twoLocations()
{
    static const Locations locations = {
        {QStringLiteral("Home"), address("home.example", 21, "me", encrypt("home pw")), true},
        {QStringLiteral("Work"), address("work.example", 2121, "boss", encrypt("work")), true}};
    return locations;
}

// Closes the next message box and keeps its text.
class MessageCatcher : public QObject
{
public:
    MessageCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                title = box->windowTitle();
                box->accept();
            }
        });
        m_timer.start(20);
    }
    QString text;
    QString title;

private:
    QTimer m_timer;
};
} // namespace

void TestFtpManager::initTestCase()
{
    AppIdentity::apply();
}

void TestFtpManager::showsFirstLocation()
{
    Locations locations = twoLocations();
    FtpManager manager;
    manager.setLocations(&locations);
    manager.show();
    QCOMPARE(manager.windowTitle(), QStringLiteral("FTP Location Manager"));
    auto* list = widget<QListWidget>(manager, "ftpListWidget");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("Work"));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(widget<QLineEdit>(manager, "edLocationName")->text(), QStringLiteral("Home"));
    QCOMPARE(widget<QLineEdit>(manager, "edFtp")->text(), QStringLiteral("home.example"));
    QCOMPARE(widget<QLineEdit>(manager, "edPort")->text(), QStringLiteral("21"));
    QCOMPARE(widget<QLineEdit>(manager, "edUser")->text(), QStringLiteral("me"));
    // Never the stored password: a placeholder.
    QCOMPARE(widget<QLineEdit>(manager, "edPassw")->text(), QString(12, QLatin1Char(' ')));
    QCOMPARE(widget<QLineEdit>(manager, "edPassw")->echoMode(), QLineEdit::Password);
    auto* passive = widget<QCheckBox>(manager, "cbPassive");
    QVERIFY(passive->isChecked() && !passive->isEnabled());

    list->setCurrentRow(1);
    QCOMPARE(widget<QLineEdit>(manager, "edPort")->text(), QStringLiteral("2121"));
    QCOMPARE(widget<QLineEdit>(manager, "edLocationName")->text(), QStringLiteral("Work"));
}

void TestFtpManager::edits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("nothing typed keeps all") << QString() << QString() << "Home"
                                             << "home.example" << 21 << "me"
                                             << "home pw";
    QTest::newRow("scheme prefix in any case") << "edFtp"
                                               << "  FTP://Files.Example.org "
                                               << "Home"
                                               << "files.example.org" << 21 << "me"
                                               << "home pw";
    QTest::newRow("port that is no number") << "edPort"
                                            << "abc"
                                            << "Home"
                                            << "home.example" << 21 << "me"
                                            << "home pw";
    QTest::newRow("port") << "edPort"
                          << "2100"
                          << "Home"
                          << "home.example" << 2100 << "me"
                          << "home pw";
    QTest::newRow("blank name is ignored") << "edLocationName"
                                           << "   "
                                           << "Home"
                                           << "home.example" << 21 << "me"
                                           << "home pw";
    QTest::newRow("name kept untrimmed") << "edLocationName"
                                         << " Cottage "
                                         << " Cottage "
                                         << "home.example" << 21 << "me"
                                         << "home pw";
    QTest::newRow("user") << "edUser"
                          << "someone@home"
                          << "Home"
                          << "home.example" << 21 << "someone@home"
                          << "home pw";
    QTest::newRow("new password") << "edPassw"
                                  << "p@ss:w/rd"
                                  << "Home"
                                  << "home.example" << 21 << "me"
                                  << "p@ss:w/rd";
    QTest::newRow("password cleared") << "edPassw" << QString() << "Home"
                                      << "home.example" << 21 << "me" << QString();
}

void TestFtpManager::edits()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, user);
    QFETCH(QString, password);

    Locations locations = twoLocations();
    FtpManager manager;
    manager.setLocations(&locations);
    manager.show();
    if (!field.isEmpty())
        type(manager, field.toLatin1().constData(), typed);
    widget<QPushButton>(manager, "btnClose")->click();

    QCOMPARE(locations.size(), 2);
    const FtpLocation& edited = locations.first();
    QCOMPARE(edited.name, name);
    QCOMPARE(edited.url.host(), host);
    QCOMPARE(edited.url.port(), port);
    QCOMPARE(edited.url.userName(), user);
    QCOMPARE(decrypt(edited.url.password(QUrl::FullyDecoded)), password);
    QVERIFY(edited.passive);
    QCOMPARE(widget<QListWidget>(manager, "ftpListWidget")->item(0)->text(), name);
    // The other location is left as it was.
    QCOMPARE(locations.at(1).url, twoLocations().at(1).url);
}

void TestFtpManager::newLocation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("kept");

    QTest::newRow("complete") << "Third"
                              << "third.example" << true;
    QTest::newRow("default name, host typed") << QString() << "third.example" << true;
    QTest::newRow("no host") << "Third" << QString() << false;
}

void TestFtpManager::newLocation()
{
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(bool, kept);

    for (const bool moveAway : {false, true}) {
        Locations locations = twoLocations();
        FtpManager manager;
        manager.setLocations(&locations);
        manager.show();
        auto* list = widget<QListWidget>(manager, "ftpListWidget");
        widget<QPushButton>(manager, "btnNewFtp")->click();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(widget<QLineEdit>(manager, "edLocationName")->text(),
                 QStringLiteral("New location"));
        QCOMPARE(widget<QLineEdit>(manager, "edPort")->text(), QStringLiteral("21"));
        if (!name.isEmpty())
            type(manager, "edLocationName", name);
        if (!host.isEmpty())
            type(manager, "edFtp", host);
        type(manager, "edPassw", QStringLiteral("secret"));
        if (moveAway)
            list->setCurrentRow(0);
        else
            widget<QPushButton>(manager, "btnClose")->click();

        QCOMPARE(locations.size(), kept ? 3 : 2);
        QCOMPARE(list->count(), kept ? 3 : 2);
        if (kept) {
            const FtpLocation& added = locations.last();
            QCOMPARE(added.name, name.isEmpty() ? QStringLiteral("New location") : name);
            QCOMPARE(added.url.host(), host);
            QCOMPARE(added.url.port(), 21);
            QCOMPARE(decrypt(added.url.password(QUrl::FullyDecoded)), QStringLiteral("secret"));
            QCOMPARE(list->item(2)->text(), added.name);
        }
        // Moving away shows the chosen row's location, untouched.
        if (moveAway) {
            QCOMPARE(widget<QLineEdit>(manager, "edLocationName")->text(), QStringLiteral("Home"));
            QCOMPARE(locations.first().url, twoLocations().first().url);
        }
    }
}

void TestFtpManager::deleteLocation()
{
    Locations locations = twoLocations();
    FtpManager manager;
    manager.setLocations(&locations);
    manager.show();
    widget<QPushButton>(manager, "btnDeleteFtp")->click();
    QCOMPARE(locations.size(), 1);
    QCOMPARE(locations.first().name, QStringLiteral("Work"));
    auto* list = widget<QListWidget>(manager, "ftpListWidget");
    QCOMPARE(list->count(), 1);
    widget<QPushButton>(manager, "btnClose")->click();
    // The remaining location was not overwritten by the deleted one.
    QCOMPARE(locations.size(), 1);
    QCOMPARE(locations.first().url, twoLocations().at(1).url);
}

void TestFtpManager::emptyListSavesNothing()
{
    Locations locations;
    FtpManager manager;
    manager.setLocations(&locations);
    manager.show();
    QCOMPARE(widget<QLineEdit>(manager, "edPort")->text(), QStringLiteral("21"));
    type(manager, "edFtp", QStringLiteral("typed.example"));
    widget<QPushButton>(manager, "btnClose")->click();
    QVERIFY(locations.isEmpty());
}

void TestFtpManager::testLocation_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("serverRunning");
    QTest::addColumn<QString>("message");

    QTest::newRow("right password") << "s3cret pass" << true << "Connection ok";
    QTest::newRow("wrong password")
        << "wrong" << true << "Unable to connect to the FTP server\nLogin failed:\n";
    QTest::newRow("nobody listens")
        << "s3cret pass" << false << "Unable to connect to the FTP server\n";
}

void TestFtpManager::testLocation()
{
    QFETCH(QString, password);
    QFETCH(bool, serverRunning);
    QFETCH(QString, message);

    FtpServerFixture server;
    quint16 port = 0;
    if (serverRunning) {
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        port = server.port();
    } else {
        QTcpServer closed; // a free port that is closed again at once
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    Locations locations = {{QStringLiteral("Test"),
                            address(QStringLiteral("127.0.0.1"), port, server.user(),
                                    encrypt(QStringLiteral("stored, not tested"))),
                            true}};
    FtpManager manager;
    manager.setLocations(&locations);
    manager.show();
    // The fields are tested as typed.
    type(manager, "edPassw", password);

    MessageCatcher catcher;
    QSignalSpy finished(&manager, &FtpManager::testFinished);
    widget<QPushButton>(manager, "btnTestFtp")->click();
    QVERIFY(finished.wait(60000));
    QVERIFY2(catcher.text.startsWith(message), qPrintable(catcher.text));
    QCOMPARE(catcher.title, QString());
    QCOMPARE(finished.first().first().toBool(), message != QLatin1String("Connection ok"));
    // A test keeps the location, and the typed password, enciphered.
    QCOMPARE(decrypt(locations.first().url.password(QUrl::FullyDecoded)), password);
}

QTEST_MAIN(TestFtpManager)
#include "tst_ftpmanager.moc"
