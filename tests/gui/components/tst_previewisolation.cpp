// The wizard's preview shows the page with its local files only: it never
// reaches the network, and it never leaves the page it was given.
#include "loopbackhttpserver.h"
#include "temporaryfolder.h"
#include "wizarddriver.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QWebFrame>
#include <QWebView>

namespace {
QStringList debugLines;

void collectDebugLines(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        debugLines << message;
}

QByteArray networkPage(const LoopbackHttpServer& server, const QString& query)
{
    return fixture(QStringLiteral("network.html"))
        .replace("@SERVER@", server.baseUrl().toLatin1())
        .replace("@QUERY@", query.toLatin1());
}
} // namespace

class TestPreviewIsolation : public QObject
{
    Q_OBJECT
private slots:
    void remoteResourcesAreNeverRequested();
    void previewKeepsItsPage_data();
    void previewKeepsItsPage();
};

void TestPreviewIsolation::remoteResourcesAreNeverRequested()
{
    LoopbackHttpServer server;
    QVERIFY(server.start());
    TemporaryFolder folder;
    QImage picture(37, 23, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(folder.filePath(QStringLiteral("local.png"))));
    const QString path = folder.writeFile(QStringLiteral("page.html"),
                                          networkPage(server, QStringLiteral("?wizard")));

    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectDebugLines);
    runWizard(
        path,
        [&](WizardDriver& driver) {
            driver.wizard().resize(1000, 800);
            // Local files are served: the picture has its own size.
            const QWebElement local = driver.frame()->findFirstElement("#localpicture");
            QCOMPARE(local.geometry().height(), 23);
            QVERIFY(qAbs(local.geometry().width() - 37) <= 1);
            // A click on a link selects it and goes nowhere.
            const QWebElement link = driver.frame()->findFirstElement("#link");
            QTest::mouseClick(driver.view(), Qt::LeftButton, {}, link.geometry().center());
            QCOMPARE(driver.elementOf(driver.tree()->currentItem()).attribute("id"),
                     QStringLiteral("link"));
            QVERIFY(driver.selectId(QStringLiteral("first")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
            QVERIFY(driver.undo());
            QTest::qWait(300);
            QCOMPARE(driver.frame()->url(), QUrl::fromLocalFile(path));
        },
        Ending::Cancel);
    qInstallMessageHandler(previous);
    QCOMPARE(server.requests(), QStringList());
    // Scripts are off, so the script is not even asked for.
    for (const char* file : {"/style.css", "/picture.png", "/frame.html", "/clip.mp4"}) {
        const QString url = server.baseUrl() + QLatin1String(file) + QStringLiteral("?wizard");
        QVERIFY2(debugLines.contains(QStringLiteral("skipping \"%1\" \"http\"").arg(url)),
                 qPrintable(debugLines.join(QLatin1Char('\n'))));
    }

    // The same page in a plain view does reach the server, so the silence
    // above is the wizard's doing.
    const QString control = folder.writeFile(QStringLiteral("control.html"),
                                             networkPage(server, QStringLiteral("?plain")));
    QWebView view;
    QSignalSpy loaded(view.page()->mainFrame(), &QWebFrame::loadFinished);
    view.load(QUrl::fromLocalFile(control));
    QVERIFY(loaded.wait(30000));
    QTRY_VERIFY(server.requests().size() >= 5);
}

void TestPreviewIsolation::previewKeepsItsPage_data()
{
    QTest::addColumn<QString>("refresh");
    QTest::addColumn<bool>("submit");
    QTest::newRow("a refresh the page asks for")
        << "<meta http-equiv=\"refresh\" content=\"0;url=elsewhere.html\">" << false;
    QTest::newRow("a form submitted by a click") << QString() << true;
}

void TestPreviewIsolation::previewKeepsItsPage()
{
    QFETCH(QString, refresh);
    QFETCH(bool, submit);
    TemporaryFolder folder;
    folder.writeFile(QStringLiteral("elsewhere.html"), fixture(QStringLiteral("elsewhere.html")));
    const QString path = folder.writeFile(
        QStringLiteral("page.html"),
        fixture(QStringLiteral("navigation.html")).replace("@REFRESH@", refresh.toLatin1()));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            driver.wizard().resize(1000, 800);
            const int items = driver.items().size();
            if (submit) {
                const QWebElement button = driver.frame()->findFirstElement("#submit");
                QTest::mouseClick(driver.view(), Qt::LeftButton, {}, button.geometry().center());
            }
            QTest::qWait(500);
            QCOMPARE(driver.frame()->url(), QUrl::fromLocalFile(path));
            QVERIFY(driver.frame()->findFirstElement("#elsewhere").isNull());
            QCOMPARE(driver.items().size(), items);
            QVERIFY(driver.selectId(QStringLiteral("last")));
        },
        Ending::Cancel);
}

QTEST_MAIN(TestPreviewIsolation)
#include "tst_previewisolation.moc"
