#include "mainwindow.h"
#include "util/appidentity.h"

#include <QTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void titleNamesTheApplicationAndVersion();
};

void TestMainWindow::titleNamesTheApplicationAndVersion()
{
    AppIdentity::apply();
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("TovaLumen 4.0"));
    // The compiled-in images reach every program that links the GUI library.
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(!window.windowIcon().pixmap(32, 32).isNull());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
