#include "i18n/translate.h"
#include "temporaryfolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
QString ts(const QString& contexts)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                          "<TS version=\"2.1\" language=\"de\">%1</TS>\n")
        .arg(contexts);
}

QString context(const QString& name, const QString& messages)
{
    return QStringLiteral("<context><name>%1</name>%2</context>").arg(name, messages);
}

QString message(const QString& source, const QString& translation,
                const QString& attributes = QString())
{
    return QStringLiteral("<message%1><location filename=\"w.cpp\" line=\"3\"/>"
                          "<source>%2</source>%3</message>")
        .arg(attributes, source, translation);
}

QString translation(const QString& text, const QString& type = QString())
{
    return QStringLiteral("<translation%1>%2</translation>")
        .arg(type.isEmpty() ? QString() : QStringLiteral(" type=\"%1\"").arg(type), text);
}

QString translate(const TSTranslator& translator, const char* context, const char* source,
                  const char* disambiguation = nullptr, int n = -1)
{
    return translator.translate(context, source, disambiguation, n);
}

int run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Translations for every message of a file as lupdate writes it: "[source]",
// and "[one %n]", "[many %n]" for the plural forms.
QString fillTranslations(QString file)
{
    static const QRegularExpression single(
        QStringLiteral("<source>([^<]*)</source>(\\s*<comment>([^<]*)</comment>)?(\\s*)"
                       "<translation type=\"unfinished\"></translation>"));
    for (QRegularExpressionMatch match = single.match(file); match.hasMatch();
         match = single.match(file)) {
        const QString comment = match.captured(3).isEmpty()
            ? QString()
            : QStringLiteral(" (%1)").arg(match.captured(3));
        file.replace(match.capturedStart(), match.capturedLength(),
                     QStringLiteral("<source>%1</source>%2%3<translation>[%1%4]</translation>")
                         .arg(match.captured(1), match.captured(2), match.captured(4), comment));
    }
    file.replace(QStringLiteral("<translation type=\"unfinished\">"),
                 QStringLiteral("<translation>"));
    const QString empty = QStringLiteral("<numerusform></numerusform>");
    for (const QString& form : {QStringLiteral("[one %n]"), QStringLiteral("[many %n]")})
        file.replace(file.indexOf(empty), empty.size(),
                     QStringLiteral("<numerusform>%1</numerusform>").arg(form));
    return file;
}

const char* LupdateSource = R"src(#include <QCoreApplication>
#include <QObject>

class Window : public QObject
{
    Q_OBJECT
    void texts(int n)
    {
        tr("Open file");
        tr("%n file(s)", "", n);
        tr("Open file", "menu");
        tr("A & B <i>x</i>");
        QCoreApplication::translate("Other", "Open file");
    }
};
)src";
} // namespace

class TestTranslate : public QObject
{
    Q_OBJECT
private slots:
    void lookUp_data();
    void lookUp();
    void isEmpty_data();
    void isEmpty();
    void failedLoads();
    void encodingFromTheDeclaration();
    void fileMadeByLupdate();
};

void TestTranslate::lookUp_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    const QString w = QStringLiteral("Window");
    QTest::newRow("translated") << ts(context(w, message("Open", translation("Öffnen"))))
                                << "Window"
                                << "Open"
                                << "Öffnen";
    QTest::newRow("untranslated") << ts(context(
                                         w, message("Open", translation(QString(), "unfinished"))))
                                  << "Window"
                                  << "Open"
                                  << "Open";
    QTest::newRow("unfinished with text")
        << ts(context(w, message("Open", translation("Öffnen", "unfinished")))) << "Window"
        << "Open"
        << "Öffnen";
    QTest::newRow("vanished with text")
        << ts(context(w, message("Open", translation("Öffnen", "vanished")))) << "Window"
        << "Open"
        << "Öffnen";
    const QString forms = QStringLiteral("<numerusform>eine</numerusform>"
                                         "<numerusform>zwei</numerusform>"
                                         "<numerusform>viele</numerusform>");
    QTest::newRow("plural, first form")
        << ts(context(w, message("%n file(s)", translation(forms), " numerus=\"yes\""))) << "Window"
        << "%n file(s)"
        << "eine";
    QTest::newRow("plural in capitals")
        << ts(context(w, message("%n file(s)", translation(forms), " numerus=\"YES\""))) << "Window"
        << "%n file(s)"
        << "eine";
    QTest::newRow("plural without forms")
        << ts(context(w, message("%n file(s)", translation("text"), " numerus=\"yes\"")))
        << "Window"
        << "%n file(s)"
        << "%n file(s)";
    QTest::newRow("plural, empty first form")
        << ts(context(
               w,
               message("%n file(s)",
                       translation("<numerusform></numerusform><numerusform>b</numerusform>"),
                       " numerus=\"yes\"")))
        << "Window"
        << "%n file(s)"
        << "%n file(s)";
    QTest::newRow("not plural: the forms are child elements")
        << ts(context(w, message("Files", translation("x" + forms + "y")))) << "Window"
        << "Files"
        << "xy";
    const QString twoContexts = ts(context(w, message("Open", translation("Öffnen"))) +
                                   context("Menu", message("Open", translation("Auf"))));
    QTest::newRow("two contexts, first") << twoContexts << "Window"
                                         << "Open"
                                         << "Öffnen";
    QTest::newRow("two contexts, second") << twoContexts << "Menu"
                                          << "Open"
                                          << "Auf";
    QTest::newRow("later pair wins")
        << ts(context(w,
                      message("Open", translation("Öffnen")) + message("Open", translation("Auf"))))
        << "Window"
        << "Open"
        << "Auf";
    QTest::newRow("same context twice") << ts(context(w, message("Open", translation("Öffnen"))) +
                                              context(w, message("Close", translation("Zu"))))
                                        << "Window"
                                        << "Open"
                                        << "Öffnen";
    QTest::newRow("unknown context") << twoContexts << "Dialog"
                                     << "Open"
                                     << "Open";
    QTest::newRow("message before the name is skipped")
        << ts("<context>" + message("Open", translation("Öffnen")) +
              "<name>Window</name></context>")
        << "Window"
        << "Open"
        << "Open";
    QTest::newRow("unknown elements anywhere")
        << ts("<extra><context><name>Window</name>" + message("Open", translation("Nein")) +
              "</context></extra>" +
              "<context><junk/><name>Window</name><junk><message>"
              "<source>Open</source><translation>Nein</translation></message></junk>" +
              message("Open", "<extracomment>c</extracomment>" + translation("Öffnen")) +
              "</context>")
        << "Window"
        << "Open"
        << "Öffnen";
    QTest::newRow("entities") << ts(context(w,
                                            message("A &amp; &lt;b&gt;", translation("B &amp; C"))))
                              << "Window"
                              << "A & <b>"
                              << "B & C";
    QTest::newRow("UTF-8 source") << ts(context("Fenster", message("Größe", translation("Size"))))
                                  << "Fenster"
                                  << "Größe"
                                  << "Size";
}

void TestTranslate::lookUp()
{
    QFETCH(QString, file);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, expected);
    TemporaryFolder folder;
    TSTranslator translator;
    QVERIFY(translator.load(folder.writeFile(QStringLiteral("t.ts"), file.toUtf8())));
    const QByteArray contextText = context.toUtf8();
    const QByteArray sourceText = source.toUtf8();
    QCOMPARE(translate(translator, contextText, sourceText), expected);
    // Disambiguation and count take no part.
    QCOMPARE(translate(translator, contextText, sourceText, "menu", 3), expected);
}

void TestTranslate::isEmpty_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("empty");

    QTest::newRow("all untranslated")
        << ts(context("Window",
                      message("Open", translation(QString(), "unfinished")) +
                          message("Close", translation(QString()))))
        << true;
    QTest::newRow("no TS element") << "<?xml version=\"1.0\"?><other><context/></other>" << true;
    QTest::newRow("one translation") << ts(context("Window",
                                                   message("Open", translation(QString())) +
                                                       message("Close", translation("Schließen"))))
                                     << false;
}

void TestTranslate::isEmpty()
{
    QFETCH(QString, file);
    QFETCH(bool, empty);
    TemporaryFolder folder;
    TSTranslator translator;
    QVERIFY(translator.isEmpty());
    QVERIFY(translator.load(folder.writeFile(QStringLiteral("t.ts"), file.toUtf8())));
    QCOMPARE(translator.isEmpty(), empty);
}

void TestTranslate::failedLoads()
{
    TemporaryFolder folder;
    TSTranslator translator;
    QVERIFY(translator.load(
        folder.writeFile(QStringLiteral("good.ts"),
                         ts(context("Window", message("Open", translation("Öffnen")))).toUtf8())));

    // A file that cannot be opened leaves the table as it was.
    QVERIFY(!translator.load(folder.filePath(QStringLiteral("missing.ts"))));
    QCOMPARE(translate(translator, "Window", "Open"), QStringLiteral("Öffnen"));

    // A malformed one replaces it with what came before the fault.
    const QString broken = ts(context("Window", message("Close", translation("Zu"))) +
                              "<context><name>Window</name><message><source>Open</sou");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(" at line 3 column \\d+$")));
    QVERIFY(!translator.load(folder.writeFile(QStringLiteral("broken.ts"), broken.toUtf8())));
    QCOMPARE(translate(translator, "Window", "Close"), QStringLiteral("Zu"));
    QCOMPARE(translate(translator, "Window", "Open"), QStringLiteral("Open"));

    // An answer is never a null string, which would send the application on
    // to other translators.
    QVERIFY(!translator.translate(nullptr, nullptr).isNull());
    QCOMPARE(translator.translate(nullptr, nullptr), QString());
}

void TestTranslate::encodingFromTheDeclaration()
{
    TemporaryFolder folder;
    QByteArray latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><TS><context><name>W</name>"
                        "<message><source>Size</source><translation>Gr\xf6\xdf"
                        "e</translation></message></context></TS>";
    TSTranslator translator;
    QVERIFY(translator.load(folder.writeFile(QStringLiteral("latin1.ts"), latin1)));
    QCOMPARE(translate(translator, "W", "Size"), QStringLiteral("Größe"));

    const QByteArray undeclared = "<TS><context><name>W</name><message><source>Size</source>"
                                  "<translation>Größe</translation></message></context></TS>";
    QVERIFY(translator.load(folder.writeFile(QStringLiteral("utf8.ts"), undeclared)));
    QCOMPARE(translate(translator, "W", "Size"), QStringLiteral("Größe"));
}

// A file as Qt's own tool writes it, translated and answered through the
// application; Qt's compiled translator is the reference for plain messages.
void TestTranslate::fileMadeByLupdate()
{
    TemporaryFolder folder;
    const QString source = folder.writeFile(QStringLiteral("window.cpp"), LupdateSource);
    const QString file = folder.filePath(QStringLiteral("de.ts"));
    QCOMPARE(run(QStringLiteral(TOVALUMEN_LUPDATE),
                 {QStringLiteral("-silent"), source, QStringLiteral("-target-language"),
                  QStringLiteral("de"), QStringLiteral("-ts"), file}),
             0);
    const QString filled =
        fillTranslations(QString::fromUtf8(folder.readFile(QStringLiteral("de.ts"))));
    QVERIFY2(!filled.contains(QLatin1String("unfinished")) &&
                 !filled.contains(QLatin1String("<numerusform></numerusform>")),
             qPrintable(filled));
    folder.writeFile(QStringLiteral("de.ts"), filled.toUtf8());
    const QString compiled = folder.filePath(QStringLiteral("de.qm"));
    QCOMPARE(run(QStringLiteral(TOVALUMEN_LRELEASE),
                 {QStringLiteral("-silent"), file, QStringLiteral("-qm"), compiled}),
             0);

    TSTranslator translator;
    QVERIFY(translator.load(file));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString plural = QCoreApplication::translate("Window", "%n file(s)", nullptr, 5);
    const QString ambiguous = QCoreApplication::translate("Window", "Open file");
    QCoreApplication::removeTranslator(&translator);

    // "%n" is filled in by the application from the first plural form.
    QCOMPARE(plural, QStringLiteral("[one 5]"));
    // The disambiguated message came later and took the shared place.
    QCOMPARE(ambiguous, QStringLiteral("[Open file (menu)]"));

    QTranslator reference;
    QVERIFY(reference.load(compiled));
    for (const auto& [context, text] :
         {std::pair {"Window", "A & B <i>x</i>"}, std::pair {"Other", "Open file"}}) {
        const QString expected = reference.translate(context, text);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(translator.translate(context, text), expected);
    }
}

QTEST_MAIN(TestTranslate)
#include "tst_translate.moc"
