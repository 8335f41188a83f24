#include <QProcess>
#include <QTest>

// The installed program as the desktop starts it.
class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void startsAndRunsItsEventLoop();
};

void TestApp::startsAndRunsItsEventLoop()
{
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(QStringLiteral(TOVALUMEN_APP), {QStringLiteral("ignored-argument")});
    QVERIFY(app.waitForStarted(10000));
    // Still running after a while: it got through start-up into its event loop.
    QVERIFY(!app.waitForFinished(1500));
    QCOMPARE(app.state(), QProcess::Running);
    app.kill();
    QVERIFY(app.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
