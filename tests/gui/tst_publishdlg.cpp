#include "ftpmanager.h"
#include "project/projectsettings.h"
#include "publish/passwordcipher.h"
#include "publishdlg.h"
#include "temporaryfolder.h"
#include "util/appidentity.h"
#include "widgetlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using Parameters = QMap<QString, QVariant>;

// The publish dialog offscreen, with the settings store in a temporary
// folder: defaults, the recent lists and FTP locations in the settings, the
// enabling rules and what it writes into the publish parameters.
class TestPublishDlg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void firstPublishShowsDefaults();
    void recentListsLoad();
    void enablingRules();
    void displayParameters_data();
    void displayParameters();
    void saveParameters_data();
    void saveParameters();
    void acceptPutsUsedTextsFirst();
    void locationsSaveAndLoad();
    void settingsNeverHoldAPasswordInClear();

private:
    QString settingsFile() const;
    TemporaryFolder m_settings;
};

namespace {
QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QDir::separator() +
        QStringLiteral("TovaLumen");
}

QUrl address(const QString& host, int port, const QString& user, const QString& password)
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host);
    url.setPort(port);
    url.setUserName(user);
    url.setPassword(password);
    return url;
}

void storeLocations(const QList<FtpLocation>& locations)
{
    QSettings settings;
    settings.beginWriteArray(QStringLiteral("FtpList"), locations.size());
    for (int i = 0; i < locations.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Name"), locations[i].name);
        settings.setValue(QStringLiteral("Host"), locations[i].url.host());
        if (locations[i].url.port() != 21)
            settings.setValue(QStringLiteral("Port"), locations[i].url.port());
        settings.setValue(QStringLiteral("User"), locations[i].url.userName());
        settings.setValue(QStringLiteral("Password"), locations[i].url.password());
        settings.setValue(QStringLiteral("Passive"), 1);
    }
    settings.endArray();
}

const QList<FtpLocation> TWO_LOCATIONS = {
    {QStringLiteral("Home"), address("home.example", 21, "me", "c2VjcmV0"), true},
    {QStringLiteral("Work"), address("work.example", 2121, "boss", "d29yaw=="), true},
};
} // namespace

void TestPublishDlg::initTestCase()
{
    AppIdentity::apply();
    QVERIFY(m_settings.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
}

void TestPublishDlg::init()
{
    QSettings().clear();
}

QString TestPublishDlg::settingsFile() const
{
    return QSettings().fileName();
}

void TestPublishDlg::firstPublishShowsDefaults()
{
    PublishDlg dialog;
    Parameters parameters;
    dialog.setParameters(&parameters);
    QVERIFY(widget<QRadioButton>(dialog, "rbPublishToFolder")->isChecked());
    QCOMPARE(widget<QComboBox>(dialog, "edPublishFolder")->currentText(), defaultFolder());
    QCOMPARE(widget<QLineEdit>(dialog, "edIndexName")->text(), QStringLiteral("tlm.html"));
    QVERIFY(widget<QCheckBox>(dialog, "cbOpenAfterPublish")->isChecked());
    QCOMPARE(widget<QComboBox>(dialog, "cbFtp")->count(), 0);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestPublishDlg::recentListsLoad()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("RecentPublish/0"), QStringLiteral("/srv/one"));
        settings.setValue(QStringLiteral("RecentPublish/1"), QStringLiteral("/srv/two"));
        // The list ends at the first gap.
        settings.setValue(QStringLiteral("RecentPublish/3"), QStringLiteral("/srv/four"));
        settings.setValue(QStringLiteral("RecentHtml/0"), QStringLiteral("/site/page.html"));
    }
    PublishDlg dialog;
    const auto* folders = widget<QComboBox>(dialog, "edPublishFolder");
    QCOMPARE(folders->count(), 2);
    QCOMPARE(folders->currentText(), QStringLiteral("/srv/one"));
    QCOMPARE(folders->itemText(1), QStringLiteral("/srv/two"));
    QCOMPARE(widget<QComboBox>(dialog, "edPublishHTML")->currentText(),
             QStringLiteral("/site/page.html"));
}

void TestPublishDlg::enablingRules()
{
    PublishDlg dialog;
    const QStringList folderWidgets = {"edPublishFolder", "btnBrowseFolder"};
    const QStringList ftpWidgets = {"cbFtp", "btnFtpManager", "edFtpFolder"};
    const QStringList htmlWidgets = {"edPublishHTML", "btnBrowseHTML"};
    const auto enabled = [&dialog](const QStringList& names) {
        QList<bool> states;
        for (const QString& name : names)
            states.append(dialog.findChild<QWidget*>(name)->isEnabled());
        return states;
    };
    const QList<bool> on2 = {true, true}, off2 = {false, false};
    const QList<bool> on3 = {true, true, true}, off3 = {false, false, false};
    auto* index = widget<QLineEdit>(dialog, "edIndexName");
    auto* open = widget<QCheckBox>(dialog, "cbOpenAfterPublish");

    QCOMPARE(enabled(folderWidgets), on2);
    QCOMPARE(enabled(ftpWidgets), off3);
    QCOMPARE(enabled(htmlWidgets), off2);
    QVERIFY(index->isEnabled() && open->isEnabled());

    widget<QRadioButton>(dialog, "rbPublishToFtp")->setChecked(true);
    QCOMPARE(enabled(folderWidgets), off2);
    QCOMPARE(enabled(ftpWidgets), on3);
    QCOMPARE(enabled(htmlWidgets), off2);
    QVERIFY(index->isEnabled());
    QVERIFY(!open->isEnabled()); // nothing to open after an upload

    widget<QRadioButton>(dialog, "rbPublishToHTML")->setChecked(true);
    QCOMPARE(enabled(ftpWidgets), off3);
    QCOMPARE(enabled(htmlWidgets), on2);
    QVERIFY(!index->isEnabled()); // the page exists already
    QVERIFY(open->isEnabled());

    widget<QRadioButton>(dialog, "rbPublishToFolder")->setChecked(true);
    QCOMPARE(enabled(folderWidgets), on2);
    QCOMPARE(enabled(htmlWidgets), off2);
    QVERIFY(index->isEnabled() && open->isEnabled());
}

void TestPublishDlg::displayParameters_data()
{
    QTest::addColumn<Parameters>("parameters");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("location");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("index");

    QTest::newRow("folder") << Parameters {{PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
                                           {PUBLISH_PATH, QStringLiteral("/srv/www")},
                                           {PUBLISH_PREVIEW, false},
                                           {PUBLISH_INDEX_FILE, QStringLiteral("v.html")}}
                            << "rbPublishToFolder"
                            << "/srv/www" << -1 << false << "v.html";
    QTest::newRow("ftp location found by its address")
        << Parameters {{PUBLISH_TYPE, PUBLISH_TYPE_FTP},
                       {PUBLISH_PATH, QStringLiteral("videos")},
                       {PUBLISH_FTP_SERVER, TWO_LOCATIONS[1].url}}
        << "rbPublishToFtp"
        << "videos" << 1 << true << "tlm.html";
    QTest::newRow("ftp location edited since")
        << Parameters {{PUBLISH_TYPE, PUBLISH_TYPE_FTP},
                       {PUBLISH_PATH, QStringLiteral("videos")},
                       {PUBLISH_FTP_SERVER, address("work.example", 2121, "boss", "b2xk")}}
        << "rbPublishToFtp"
        << "videos" << -1 << true << "tlm.html";
    QTest::newRow("page") << Parameters {{PUBLISH_TYPE, PUBLISH_TYPE_HTML},
                                         {PUBLISH_HTML, QStringLiteral("/site/a.html")},
                                         {PUBLISH_PREVIEW, false},
                                         {PUBLISH_INDEX_FILE, QString()}}
                          << "rbPublishToHTML"
                          << "/site/a.html" << -1 << false << "tlm.html";
    QTest::newRow("unknown type keeps the defaults")
        << Parameters {{PUBLISH_TYPE, QStringLiteral("Mail")},
                       {PUBLISH_INDEX_FILE, QStringLiteral("x.htm")}}
        << "rbPublishToFolder" << defaultFolder() << -1 << true << "x.htm";
}

void TestPublishDlg::displayParameters()
{
    QFETCH(Parameters, parameters);
    QFETCH(QString, checked);
    QFETCH(QString, shown);
    QFETCH(int, location);
    QFETCH(bool, open);
    QFETCH(QString, index);

    storeLocations(TWO_LOCATIONS);
    PublishDlg dialog;
    const auto* ftp = widget<QComboBox>(dialog, "cbFtp");
    QCOMPARE(ftp->count(), 2);
    dialog.setParameters(&parameters);
    QVERIFY(dialog.findChild<QRadioButton*>(checked)->isChecked());
    const QString text = checked == QLatin1String("rbPublishToFtp")
        ? widget<QLineEdit>(dialog, "edFtpFolder")->text()
        : checked == QLatin1String("rbPublishToHTML")
        ? widget<QComboBox>(dialog, "edPublishHTML")->currentText()
        : widget<QComboBox>(dialog, "edPublishFolder")->currentText();
    QCOMPARE(text, shown);
    QCOMPARE(ftp->currentIndex(), location);
    QCOMPARE(widget<QCheckBox>(dialog, "cbOpenAfterPublish")->isChecked(), open);
    QCOMPARE(widget<QLineEdit>(dialog, "edIndexName")->text(), index);
}

void TestPublishDlg::saveParameters_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("index");
    QTest::addColumn<int>("location");
    QTest::addColumn<Parameters>("expected");

    const Parameters before = {{PUBLISH_PREVIEW, true},
                               {PUBLISH_INDEX_FILE, QStringLiteral("old.html")},
                               {PUBLISH_FTP_SERVER, TWO_LOCATIONS[0].url}};
    const auto with = [&before](const Parameters& changes) {
        Parameters result = before;
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            result.insert(it.key(), it.value());
        return result;
    };
    QTest::newRow("folder with backslashes, blank index")
        << "rbPublishToFolder"
        << "  C:\\Users\\me\\site  "
        << "   " << -1
        << with({{PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
                 {PUBLISH_PATH, QStringLiteral("C:/Users/me/site")},
                 {PUBLISH_PREVIEW, false},
                 {PUBLISH_INDEX_FILE, QStringLiteral("tlm.html")}});
    QTest::newRow("empty folder: the default")
        << "rbPublishToFolder"
        << ""
        << " clip.html " << -1
        << with({{PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
                 {PUBLISH_PATH,
                  QString(defaultFolder()).replace(QLatin1Char('\\'), QLatin1Char('/'))},
                 {PUBLISH_PREVIEW, false},
                 {PUBLISH_INDEX_FILE, QStringLiteral("clip.html")}});
    Parameters ftpNoLocation = with({{PUBLISH_TYPE, PUBLISH_TYPE_FTP},
                                     {PUBLISH_PATH, QStringLiteral("www/videos")},
                                     {PUBLISH_INDEX_FILE, QStringLiteral("tlm.html")}});
    ftpNoLocation.remove(PUBLISH_FTP_SERVER);
    QTest::newRow("ftp without a location") << "rbPublishToFtp"
                                            << " www\\videos "
                                            << "" << -1 << ftpNoLocation;
    QTest::newRow("ftp with a location") << "rbPublishToFtp"
                                         << ""
                                         << "v.html" << 1
                                         << with({{PUBLISH_TYPE, PUBLISH_TYPE_FTP},
                                                  {PUBLISH_PATH, QString()},
                                                  {PUBLISH_FTP_SERVER, TWO_LOCATIONS[1].url},
                                                  {PUBLISH_INDEX_FILE, QStringLiteral("v.html")}});
    QTest::newRow("page keeps the index name")
        << "rbPublishToHTML"
        << " /site/about.html "
        << "ignored.html" << -1
        << with({{PUBLISH_TYPE, PUBLISH_TYPE_HTML},
                 {PUBLISH_HTML, QStringLiteral("/site/about.html")},
                 {PUBLISH_PREVIEW, false}});
}

void TestPublishDlg::saveParameters()
{
    QFETCH(QString, method);
    QFETCH(QString, typed);
    QFETCH(QString, index);
    QFETCH(int, location);
    QFETCH(Parameters, expected);

    storeLocations(TWO_LOCATIONS);
    PublishDlg dialog;
    Parameters parameters = {{PUBLISH_PREVIEW, true},
                             {PUBLISH_INDEX_FILE, QStringLiteral("old.html")},
                             {PUBLISH_FTP_SERVER, TWO_LOCATIONS[0].url}};
    dialog.setParameters(&parameters);
    dialog.findChild<QRadioButton*>(method)->setChecked(true);
    widget<QCheckBox>(dialog, "cbOpenAfterPublish")->setChecked(false);
    widget<QComboBox>(dialog, "edPublishFolder")->setEditText(typed);
    widget<QComboBox>(dialog, "edPublishHTML")->setEditText(typed);
    widget<QLineEdit>(dialog, "edFtpFolder")->setText(typed);
    widget<QLineEdit>(dialog, "edIndexName")->setText(index);
    widget<QComboBox>(dialog, "cbFtp")->setCurrentIndex(location);
    widget<QPushButton>(dialog, "pushButton")->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(parameters, expected);
}

void TestPublishDlg::acceptPutsUsedTextsFirst()
{
    {
        QSettings settings;
        for (int i = 0; i < 10; ++i)
            settings.setValue(QStringLiteral("RecentPublish/%1").arg(i),
                              QStringLiteral("/srv/%1").arg(i));
    }
    {
        PublishDlg dialog;
        Parameters parameters;
        dialog.setParameters(&parameters);
        widget<QComboBox>(dialog, "edPublishFolder")->setEditText(QStringLiteral("/srv/new"));
        dialog.accept();
        QCOMPARE(parameters.value(PUBLISH_PATH).toString(), QStringLiteral("/srv/new"));
    }
    {
        QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("RecentPublish/0")).toString(),
                 QStringLiteral("/srv/new"));
        QCOMPARE(settings.value(QStringLiteral("RecentPublish/1")).toString(),
                 QStringLiteral("/srv/0"));
        // Still ten: the oldest went.
        QCOMPARE(settings.value(QStringLiteral("RecentPublish/9")).toString(),
                 QStringLiteral("/srv/8"));
        QVERIFY(!settings.contains(QStringLiteral("RecentPublish/10")));
        // An unused, empty page box adds no entry that would end the list.
        QVERIFY(!settings.contains(QStringLiteral("RecentHtml/0")));
    }
    {
        // The same folder in other letter case is not added twice.
        PublishDlg dialog;
        widget<QComboBox>(dialog, "edPublishFolder")->setEditText(QStringLiteral("/SRV/3"));
        dialog.accept();
    }
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("RecentPublish/0")).toString(),
             QStringLiteral("/SRV/3"));
    QStringList entries;
    for (int i = 0; i < 10; ++i)
        entries.append(settings.value(QStringLiteral("RecentPublish/%1").arg(i)).toString());
    QCOMPARE(entries.filter(QStringLiteral("/srv/3"), Qt::CaseInsensitive).size(), 1);
}

void TestPublishDlg::locationsSaveAndLoad()
{
    const QList<FtpLocation> locations = {
        {QStringLiteral("Default port, no user"), address("anon.example", 21, QString(), QString()),
         true},
        {QStringLiteral("Own port"), address("own.example", 2121, "me", encrypt("pw")), true},
    };
    storeLocations(locations); // with an empty "User" and "Password" for the first
    {
        // Rewritten by the dialog from what it read.
        PublishDlg dialog;
        QCOMPARE(dialog.locations().size(), 2);
    }
    QSettings settings;
    QCOMPARE(settings.beginReadArray(QStringLiteral("FtpList")), 2);
    settings.setArrayIndex(0);
    QCOMPARE(settings.value(QStringLiteral("Host")).toString(), QStringLiteral("anon.example"));
    QVERIFY(!settings.contains(QStringLiteral("Port")));
    QVERIFY(!settings.contains(QStringLiteral("User")));
    QVERIFY(!settings.contains(QStringLiteral("Password")));
    QCOMPARE(settings.value(QStringLiteral("Passive")).toInt(), 1);
    settings.setArrayIndex(1);
    QCOMPARE(settings.value(QStringLiteral("Port")).toInt(), 2121);
    QCOMPARE(settings.value(QStringLiteral("User")).toString(), QStringLiteral("me"));
    QCOMPARE(decrypt(settings.value(QStringLiteral("Password")).toString()), QStringLiteral("pw"));
    settings.endArray();

    PublishDlg again;
    QCOMPARE(again.locations().size(), 2);
    QCOMPARE(again.locations().at(0).url.port(), 21);
    QCOMPARE(again.locations().at(1).url, locations.at(1).url);
    QCOMPARE(again.locations().at(1).name, QStringLiteral("Own port"));
}

void TestPublishDlg::settingsNeverHoldAPasswordInClear()
{
    const QString password = QStringLiteral("Clear-Text-Password-42");
    Parameters parameters;
    {
        PublishDlg dialog;
        dialog.setParameters(&parameters);
        widget<QRadioButton>(dialog, "rbPublishToFtp")->setChecked(true);
        // The manager runs modally: fill in a new location from inside its loop.
        QTimer::singleShot(0, &dialog, [&dialog, &password] {
            auto* manager = dialog.findChild<FtpManager*>();
            QVERIFY(manager && manager->isVisible());
            widget<QPushButton>(*manager, "btnNewFtp")->click();
            const auto type = [manager](const char* field, const QString& text) {
                auto* edit = widget<QLineEdit>(*manager, field);
                edit->selectAll();
                QTest::keyClicks(edit, text);
            };
            type("edLocationName", QStringLiteral("Site"));
            type("edFtp", QStringLiteral("ftp.example.org"));
            type("edUser", QStringLiteral("me"));
            type("edPassw", password);
            widget<QPushButton>(*manager, "btnClose")->click();
        });
        widget<QPushButton>(dialog, "btnFtpManager")->click();
        auto* ftp = widget<QComboBox>(dialog, "cbFtp");
        QCOMPARE(ftp->count(), 1);
        ftp->setCurrentIndex(0);
        dialog.accept();
    }
    const QUrl server = parameters.value(PUBLISH_FTP_SERVER).toUrl();
    QCOMPARE(server.host(), QStringLiteral("ftp.example.org"));
    QCOMPARE(decrypt(server.password(QUrl::FullyDecoded)), password);

    QFile file(settingsFile());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray stored = file.readAll();
    QVERIFY(stored.contains("ftp.example.org"));
    QVERIFY(!stored.contains(password.toUtf8()));
    QSettings settings;
    settings.beginReadArray(QStringLiteral("FtpList"));
    settings.setArrayIndex(0);
    QCOMPARE(decrypt(settings.value(QStringLiteral("Password")).toString()), password);
    settings.endArray();
}

QTEST_MAIN(TestPublishDlg)
#include "tst_publishdlg.moc"
