#include "encoding/ffmpegoutputparser.h"

#include <QTest>

using Progress = FFmpegOutputParser::Progress;
Q_DECLARE_METATYPE(QVector<Progress>)

namespace QTest {
template<> char* toString(const Progress& progress)
{
    const QByteArray text =
        QByteArray::number(progress.current) + '/' + QByteArray::number(progress.total);
    return qstrdup(text.constData());
}
} // namespace QTest

class TestFFmpegOutputParser : public QObject
{
    Q_OBJECT
private slots:
    void parseTime_data();
    void parseTime();
    void feed_data();
    void feed();
};

void TestFFmpegOutputParser::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("milliseconds");

    QTest::newRow("hundredths") << "00:01:23.45" << 83450;
    QTest::newRow("milliseconds") << "00:00:59.999" << 59999;
    QTest::newRow("hours") << "01:00:00.00" << 3600000;
    QTest::newRow("not available") << "N/A" << 0;
    QTest::newRow("negative") << "-00:00:00.05" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestFFmpegOutputParser::parseTime()
{
    QFETCH(QString, text);
    QFETCH(int, milliseconds);
    QCOMPARE(::parseTime(text), milliseconds);
}

void TestFFmpegOutputParser::feed_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QVector<Progress>>("expected");
    QTest::addColumn<int>("duration");
    QTest::addColumn<QString>("pending");

    const QString header = QStringLiteral("Input #0, mov,mp4 from 'in.mp4':\n  Duration: "
                                          "00:00:05.00, start: 0.000000, bitrate: 90 kb/s\n");
    auto status = [](const char* time) {
        return QStringLiteral("frame=   10 fps=0.0 q=28.0 size=  1kB time=%1 bitrate= 1.0kbits/s\r")
            .arg(QLatin1String(time));
    };

    QTest::newRow("status lines") << QStringList {header + status("00:00:00.00"),
                                                  status("00:00:01.20"), status("00:00:02.40")}
                                  << QVector<Progress> {{1, 5}, {2, 5}} << 5 << "";
    QTest::newRow("status shares the header's segment")
        << QStringList {header + status("00:00:03.00")} << QVector<Progress> {} << 5 << "";
    QTest::newRow("chunk ends mid-segment")
        << QStringList {header + status("00:00:00.00") + "frame=  20 time=00:0",
                        "0:02.00 bitrate=1\r"}
        << QVector<Progress> {{2, 5}} << 5 << "";
    QTest::newRow("not increasing in whole seconds")
        << QStringList {header + status("00:00:00.00"), status("00:00:01.10"),
                        status("00:00:01.90"), status("00:00:01.00"), status("00:00:03.00")}
        << QVector<Progress> {{1, 5}, {3, 5}} << 5 << "";
    QTest::newRow("time before any duration")
        << QStringList {status("00:00:02.00")} << QVector<Progress> {{2, 0}} << 0 << "";
    QTest::newRow("duration not available")
        << QStringList {"  Duration: N/A, bitrate: N/A\r", status("00:00:01.00")}
        << QVector<Progress> {{1, 0}} << 0 << "";
    QTest::newRow("later duration replaces")
        << QStringList {header + "\r", status("00:00:01.00"), "  Duration: 00:00:09.50, start\r",
                        status("00:00:02.00")}
        << QVector<Progress> {{1, 5}, {2, 9}} << 9 << "";
    QTest::newRow("carriage return and line feed end one segment")
        << QStringList {header + "\r\n" + "frame=1 time=00:00:04.00 q=1\r\n"}
        << QVector<Progress> {{4, 5}} << 5 << "";
    QTest::newRow("closing summary stays pending")
        << QStringList {header + "\r", status("00:00:04.00"),
                        "\nvideo:1kB audio:0kB time=00:00:09.00 muxing overhead\n"}
        << QVector<Progress> {{4, 5}} << 5
        << "\nvideo:1kB audio:0kB time=00:00:09.00 muxing overhead\n";
    QTest::newRow("line feeds alone do not split")
        << QStringList {"time=00:00:01.00 a\ntime=00:00:02.00 b\n"} << QVector<Progress> {} << 0
        << "time=00:00:01.00 a\ntime=00:00:02.00 b\n";
}

void TestFFmpegOutputParser::feed()
{
    QFETCH(QStringList, chunks);
    QFETCH(QVector<Progress>, expected);
    QFETCH(int, duration);
    QFETCH(QString, pending);

    FFmpegOutputParser parser;
    QVector<Progress> reports;
    for (const QString& chunk : chunks)
        reports += parser.feed(chunk);
    QCOMPARE(reports, expected);
    QCOMPARE(parser.duration(), duration);
    QCOMPARE(parser.pending(), pending);
}

QTEST_APPLESS_MAIN(TestFFmpegOutputParser)
#include "tst_ffmpegoutputparser.moc"
