#include "ftp/ftppassivereply.h"
#include "ftp/ftpreplyreader.h"

#include <QTest>

// Reading replies line by line, and the data port in passive replies: the
// text a hostile or sloppy server sends must never be read past its end.
class TestFtpReply : public QObject
{
    Q_OBJECT
private slots:
    void readReply_data();
    void readReply();
    void invalidFirstLineLeavesReaderUnchanged();
    void passivePort_data();
    void passivePort();
    void extendedPassivePort_data();
    void extendedPassivePort();
};

void TestFtpReply::readReply_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<int>("completeAfter");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("one line") << QByteArrayList {"200 Type set to I.\r\n"} << 1 << 200
                              << "Type set to I.";
    QTest::newRow("bare LF") << QByteArrayList {"250 OK\n"} << 1 << 250 << "OK";
    QTest::newRow("code alone") << QByteArrayList {"226\r\n"} << 1 << 226 << "";
    QTest::newRow("three-line greeting")
        << QByteArrayList {"220-Welcome\r\n", "220-to the server\r\n", "220 Ready.\r\n"} << 3 << 220
        << "Welcome\r\nto the server\r\nReady.";
    QTest::newRow("unmarked inner lines")
        << QByteArrayList {"211-Features:\r\n", " EPSV\r\n", " MDTM\r\n", "211 End\r\n"} << 4 << 211
        << "Features:\r\n EPSV\r\n MDTM\r\nEnd";
    QTest::newRow("other code inside")
        << QByteArrayList {"230-Hello\r\n", "530 not the end\r\n", "230 Done\r\n"} << 3 << 230
        << "Hello\r\n530 not the end\r\nDone";
    QTest::newRow("own code without space inside")
        << QByteArrayList {"230-Hello\r\n", "230x\r\n", "230 Done\r\n"} << 3 << 230
        << "Hello\r\n230x\r\nDone";
    QTest::newRow("UTF-8 text") << QByteArrayList {"550 \"/vidéo\": No such file.\r\n"} << 1 << 550
                                << QStringLiteral("\"/vidéo\": No such file.");
}

void TestFtpReply::readReply()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(int, completeAfter);
    QFETCH(int, code);
    QFETCH(QString, text);

    FtpReplyReader reader;
    for (int i = 0; i < lines.size(); ++i) {
        const FtpReplyReader::Status expected =
            i + 1 == completeAfter ? FtpReplyReader::Complete : FtpReplyReader::Incomplete;
        QCOMPARE(reader.addLine(lines.at(i)), expected);
    }
    QCOMPARE(reader.code(), code);
    QCOMPARE(reader.text(), text);
    reader.clear();
    QVERIFY(reader.isEmpty());
    QVERIFY(reader.text().isEmpty());
}

void TestFtpReply::invalidFirstLineLeavesReaderUnchanged()
{
    const QByteArrayList invalid {"",
                                  "\r\n",
                                  "2\r\n",
                                  "22\r\n",
                                  "020 first digit 0\r\n",
                                  "620 first digit 6\r\n",
                                  "260 second digit 6\r\n",
                                  "2x0 not a digit\r\n",
                                  "ABC\r\n"};
    for (const QByteArray& line : invalid) {
        FtpReplyReader reader;
        QCOMPARE(reader.addLine(line), FtpReplyReader::Invalid);
        QVERIFY2(reader.isEmpty(), line.constData());
        QVERIFY(reader.text().isEmpty());
    }
}

void TestFtpReply::passivePort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");

    QTest::newRow("usual") << "Entering Passive Mode (127,0,0,1,195,80)." << 195 * 256 + 80;
    QTest::newRow("no parentheses") << "Entering Passive Mode 10,0,0,1,4,1" << 1025;
    QTest::newRow("highest") << "(1,2,3,4,255,255)" << 65535;
    QTest::newRow("port 0") << "(1,2,3,4,0,0)" << 0;
    QTest::newRow("byte above 255") << "(1,2,3,4,256,1)" << 0;
    QTest::newRow("huge number") << "(1,2,3,4,99999999999999999999,1)" << 0;
    QTest::newRow("five numbers") << "(1,2,3,4,5)" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestFtpReply::passivePort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(FtpPassiveReply::passivePort(text), port);
}

void TestFtpReply::extendedPassivePort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");

    QTest::newRow("usual") << "Entering Extended Passive Mode (|||6446|)" << 6446;
    QTest::newRow("other delimiter") << "Entering Extended Passive Mode (!!!6446!)" << 6446;
    QTest::newRow("no parenthesis") << "Entering Extended Passive Mode |||6446|" << 0;
    QTest::newRow("parenthesis at the end") << "Entering (" << 0;
    QTest::newRow("too few parts") << "(||6446)" << 0;
    QTest::newRow("not a number") << "(|||port|)" << 0;
    QTest::newRow("out of range") << "(|||70000|)" << 0;
    QTest::newRow("negative") << "(|||-5|)" << 0;
}

void TestFtpReply::extendedPassivePort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(FtpPassiveReply::extendedPassivePort(text), port);
}

QTEST_GUILESS_MAIN(TestFtpReply)
#include "tst_ftpreply.moc"
