// Saving the edited page: the block goes into the file's own text at the
// recorded offset, in the page's encoding, deleted blocks take their text, head
// references and support files with them, and the caller gets the agreed
// result.
#include "temporaryfolder.h"
#include "wizarddriver.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTextCodec>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebFrame>

using Role = HtmlInserter::ItemRole;

namespace {
QTreeWidgetItem* blockItem(const WizardDriver& driver, int number)
{
    const QString elementId =
        driver.frame()
            ->findFirstElement(
                QStringLiteral("div[class_name=\"tovalumen\"][int_id=\"%1\"]").arg(number))
            .attribute(QStringLiteral("qqqid"));
    const QList<QTreeWidgetItem*> items = driver.items();
    for (QTreeWidgetItem* item : items) {
        if (!elementId.isEmpty() &&
            item->data(0, HtmlInserter::ElementIdRole).toString() == elementId)
            return item;
    }
    return nullptr;
}

void deleteItem(const WizardDriver& driver, QTreeWidgetItem* item)
{
    QVERIFY(driver.select(item));
    QVERIFY(driver.button(QStringLiteral("toolButton_Delete"))->isEnabled());
    driver.click(QStringLiteral("toolButton_Delete"));
}

// The text from the first marker to the end of the next second marker after it.
QString span(const QString& text, const QString& from, const QString& to)
{
    const int start = text.indexOf(from);
    return text.mid(start, text.indexOf(to, start + from.size()) + to.size() - start);
}

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestHtmlInserterSave : public QObject
{
    Q_OBJECT
private slots:
    void blockInPageEncoding_data();
    void blockInPageEncoding();
    void unchangedPageKeepsOneScriptInclusion();
    void newBlockIsNumberedAfterExistingOnes();
    void deletingTheOnlyBlock();
    void deletingOneOfTwoBlocksKeepsSupportFiles();
    void deletingAGalleryActivatesTheNextInclusion();
    void resultContract_data();
    void resultContract();
};

void TestHtmlInserterSave::blockInPageEncoding_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("encoding");
    const QString cyrillic =
        QStringLiteral("<div class=\"$CLASS$\" title=\"$PAGE$\">Видео$SUFFIX$</div>");
    const QString latin =
        QStringLiteral("<div class=\"$CLASS$\" title=\"$PAGE$\">Vidéo$SUFFIX$</div>");
    QTest::newRow("windows-1251") << "charset-windows-1251.html" << cyrillic << "windows-1251";
    QTest::newRow("ISO-8859-1") << "charset-iso-8859-1.html" << latin << "ISO-8859-1";
    QTest::newRow("charset attribute of a meta element")
        << "charset-html5-meta.html" << cyrillic << "windows-1251";
    // Nothing declared and the bytes are not UTF-8: every byte stays as it is.
    QTest::newRow("undeclared, not UTF-8") << "charset-undeclared.html" << latin << "ISO-8859-1";
    QTest::newRow("unknown charset") << "charset-unknown.html"
                                     << QStringLiteral("<div class=\"$CLASS$\" title=\"$PAGE$\">"
                                                       "Vidéo ✓$SUFFIX$</div>")
                                     << "UTF-8";
}

void TestHtmlInserterSave::blockInPageEncoding()
{
    QFETCH(QString, page);
    QFETCH(QString, block);
    QFETCH(QString, encoding);
    TemporaryFolder folder;
    const QByteArray original = fixture(page);
    const QString path = folder.writeFile(page, original);
    const WizardRun run = runWizard(
        path,
        [](WizardDriver& driver) {
            QVERIFY(driver.selectId(QStringLiteral("target")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
        },
        Ending::Save, block);
    QCOMPARE(run.messages, QStringList());
    QCOMPARE(run.returned, 0);
    QCOMPARE(run.result, 0);

    const int paragraphEnd = original.indexOf("</p>", original.indexOf("id=\"target\"")) + 4;
    QString expectedBlock = block;
    expectedBlock.replace(QStringLiteral("$CLASS$"), QStringLiteral("tovalumen"))
        .replace(QStringLiteral("$PAGE$"), QFileInfo(page).baseName())
        .replace(QStringLiteral("$SUFFIX$"), QString());
    const QByteArray encoded =
        QTextCodec::codecForName(encoding.toLatin1())->fromUnicode(expectedBlock);
    QCOMPARE(readBytes(path), original.left(paragraphEnd) + encoded + original.mid(paragraphEnd));
    QCOMPARE(readBytes(path + QStringLiteral(".bak")), original);
}

void TestHtmlInserterSave::unchangedPageKeepsOneScriptInclusion()
{
    TemporaryFolder folder;
    const QByteArray original = fixture(QStringLiteral("galleries.html"));
    const QString path = folder.writeFile(QStringLiteral("galleries.html"), original);
    const WizardRun run = runWizard(
        path, [](WizardDriver&) {}, Ending::Save);
    QCOMPARE(run.returned, 0);
    QCOMPARE(run.result, -1);

    // Of the two jQuery builds and the two copies of the gallery script only
    // the first stays active.
    QString expected = QString::fromUtf8(original);
    for (const QString& second :
         {QStringLiteral("script src=\"galleries.files/tlgallery2/jquery.js\" "
                         "type=\"text/javascript\"></script"),
          QStringLiteral("script src=\"galleries.files/tlgallery2/tlgallery.js\" "
                         "type=\"text/javascript\"></script")}) {
        QVERIFY(expected.contains(second));
        expected.replace(QLatin1Char('<') + second + QLatin1Char('>'),
                         QStringLiteral("<!--") + second + QStringLiteral("-->"));
    }
    QCOMPARE(read(path), expected);
    QCOMPARE(readBytes(path + QStringLiteral(".bak")), original);
}

void TestHtmlInserterSave::newBlockIsNumberedAfterExistingOnes()
{
    TemporaryFolder folder;
    const QByteArray original = fixture(QStringLiteral("two-blocks.html"));
    const QString path = folder.writeFile(QStringLiteral("two-blocks.html"), original);
    const WizardRun run = runWizard(
        path,
        [](WizardDriver& driver) {
            const QWebElementCollection mockups =
                driver.frame()->findAllElements(QStringLiteral("div[class_name=\"tovalumen\"]"));
            QCOMPARE(mockups.count(), 2);
            QCOMPARE(mockups.at(0).toPlainText().trimmed(), QStringLiteral("TovaLumen []"));
            QCOMPARE(mockups.at(1).toPlainText().trimmed(), QStringLiteral("TovaLumen [1]"));
            QCOMPARE(HtmlInserterTest::maxId(driver.wizard(), QStringLiteral("TovaLumen")), 1);
            QVERIFY(driver.selectId(QStringLiteral("target")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
            QCOMPARE(driver.frame()
                         ->findFirstElement(QStringLiteral("div[int_id=\"2\"]"))
                         .toPlainText()
                         .trimmed(),
                     QStringLiteral("TovaLumen [2]"));
        },
        Ending::Save,
        QStringLiteral(
            "<div class=\"$CLASS$\" id=\"x$ID$\">$SUFFIX$ in $PAGE$.files/v$SUFFIX$</div>"));
    QCOMPARE(run.returned, 0);
    QCOMPARE(run.result, 2);
    const QString text = QString::fromUtf8(original);
    const int paragraphEnd =
        text.indexOf(QStringLiteral("</p>"), text.indexOf("id=\"target\"")) + 4;
    QCOMPARE(read(path),
             text.left(paragraphEnd) +
                 QStringLiteral("<div class=\"tovalumen\" id=\"x2\">2 in "
                                "two-blocks.files/v2</div>") +
                 text.mid(paragraphEnd));
}

void TestHtmlInserterSave::deletingTheOnlyBlock()
{
    TemporaryFolder folder;
    const QByteArray original = fixture(QStringLiteral("single.html"));
    const QString path = folder.writeFile(QStringLiteral("single.html"), original);
    const QStringList removed {QStringLiteral("single.files/html5ext.js"),
                               QStringLiteral("single.files/player.htm"),
                               QStringLiteral("single.files/htmlparts/part.txt")};
    const QStringList kept {QStringLiteral("single.files/vudi5dozur/clip.m4v"),
                            QStringLiteral("single.files/vudi5dozur/html5ext.js"),
                            QStringLiteral("other.files/html5ext.js")};
    for (const QString& file : removed + kept)
        QVERIFY(!folder.writeFile(file, "x").isEmpty());

    const WizardRun run = runWizard(
        path,
        [](WizardDriver& driver) {
            QTreeWidgetItem* block = blockItem(driver, 0);
            QVERIFY(block);
            // The trailing script is part of the block, not an item of its own.
            QCOMPARE(block->parent()->childCount(), 1);
            deleteItem(driver, block);
        },
        Ending::Save);
    QCOMPARE(run.returned, 0);
    QCOMPARE(run.result, -1);
    QString expected = QString::fromUtf8(original);
    expected.remove(span(expected, QStringLiteral("<!-- Start TovaLabs"),
                         QStringLiteral("<!-- End TovaLabs BODY section -->")));
    QCOMPARE(read(path), expected);
    for (const QString& file : removed)
        QVERIFY2(!QFileInfo::exists(folder.filePath(file)), qPrintable(file));
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("single.files/htmlparts"))));
    for (const QString& file : kept)
        QVERIFY2(QFileInfo::exists(folder.filePath(file)), qPrintable(file));
}

void TestHtmlInserterSave::deletingOneOfTwoBlocksKeepsSupportFiles()
{
    TemporaryFolder folder;
    const QByteArray original = fixture(QStringLiteral("two-blocks.html"));
    const QString path = folder.writeFile(QStringLiteral("two-blocks.html"), original);
    const QString support = folder.writeFile(QStringLiteral("two-blocks.files/html5ext.js"), "x");
    const WizardRun run = runWizard(
        path,
        [](WizardDriver& driver) {
            QTreeWidgetItem* block = blockItem(driver, 1);
            QVERIFY(block);
            deleteItem(driver, block);
        },
        Ending::Save);
    QCOMPARE(run.returned, 0);
    QString expected = QString::fromUtf8(original);
    const int second = expected.indexOf(QStringLiteral("<div class=\"tovalumen\""),
                                        expected.indexOf(QStringLiteral("id=\"between\"")));
    expected.remove(second,
                    expected.indexOf(QStringLiteral("BODY section -->"), second) + 16 - second);
    QCOMPARE(read(path), expected);
    QVERIFY(QFileInfo::exists(support));
}

void TestHtmlInserterSave::deletingAGalleryActivatesTheNextInclusion()
{
    TemporaryFolder folder;
    const QString path = folder.writeFile(QStringLiteral("galleries.html"),
                                          fixture(QStringLiteral("galleries.html")));
    for (const char* file : {"galleries.files/tlgallery1/a.jpg", "galleries.files/tlgallery2/a.jpg",
                             "galleries.files/tlgallery10/a.jpg"})
        QVERIFY(!folder.writeFile(QString::fromLatin1(file), "x").isEmpty());
    // The first save comments out the second gallery's copies of the scripts.
    QCOMPARE(runWizard(
                 path, [](WizardDriver&) {}, Ending::Save)
                 .returned,
             0);
    const QString before = read(path);
    QVERIFY(
        before.contains(QStringLiteral("<!--script src=\"galleries.files/tlgallery2/jquery.js\"")));

    const WizardRun run = runWizard(
        path,
        [](WizardDriver& driver) {
            QTreeWidgetItem* gallery = driver.itemWithId(QStringLiteral("tlgallery1"));
            QVERIFY(gallery);
            QCOMPARE(gallery->text(0), QStringLiteral("Gallery"));
            deleteItem(driver, gallery);
        },
        Ending::Save);
    QCOMPARE(run.returned, 0);
    QString expected = before;
    expected.remove(
        span(expected, QStringLiteral("<!-- Gallery 1 -->"), QStringLiteral("<!-- Gallery 1 -->")));
    expected.remove(
        span(expected, QStringLiteral("<div id=\"tlgallery1\""), QStringLiteral("</div>")));
    expected.replace(QStringLiteral("<!--script src=\"galleries.files/tlgallery2/jquery.js\" "
                                    "type=\"text/javascript\"></script-->"),
                     QStringLiteral("<script src=\"galleries.files/tlgallery2/jquery.js\" "
                                    "type=\"text/javascript\"></script>"));
    expected.replace(QStringLiteral("<!--script src=\"galleries.files/tlgallery2/tlgallery.js\" "
                                    "type=\"text/javascript\"></script-->"),
                     QStringLiteral("<script src=\"galleries.files/tlgallery2/tlgallery.js\" "
                                    "type=\"text/javascript\"></script>"));
    QCOMPARE(read(path), expected);
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("galleries.files/tlgallery1"))));
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("galleries.files/tlgallery2/a.jpg"))));
    QVERIFY(
        QFileInfo::exists(folder.filePath(QStringLiteral("galleries.files/tlgallery10/a.jpg"))));
}

namespace {
enum class Scenario {
    SaveBlock,
    SaveDeletion,
    Cancel,
    CancelAfterInsert,
    PageGone,
    PageMissing,
    PlaceholderGone,
    BackupBlocked
};
}
Q_DECLARE_METATYPE(Scenario)

void TestHtmlInserterSave::resultContract_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<int>("returned");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("written");
    const QString cantOpen = QStringLiteral("Error: Can't open file %1.");
    QTest::newRow("save with a block") << Scenario::SaveBlock << 0 << 2 << QStringList() << true;
    QTest::newRow("save with deletions only")
        << Scenario::SaveDeletion << 0 << -1 << QStringList() << true;
    QTest::newRow("cancel") << Scenario::Cancel << -1 << -1 << QStringList() << false;
    QTest::newRow("cancel after inserting")
        << Scenario::CancelAfterInsert << -1 << 12345 << QStringList() << false;
    QTest::newRow("page gone before saving")
        << Scenario::PageGone << -2 << -1 << QStringList {cantOpen} << false;
    // Loading already fails; the tree stays empty and saving fails again.
    QTest::newRow("page missing") << Scenario::PageMissing << -2 << -1
                                  << QStringList {cantOpen, cantOpen} << false;
    QTest::newRow("placeholder gone") << Scenario::PlaceholderGone << -3 << 2
                                      << QStringList {"Error: Component was not inserted"} << false;
    QTest::newRow("backup cannot be made")
        << Scenario::BackupBlocked << -2 << -1 << QStringList {cantOpen} << false;
}

void TestHtmlInserterSave::resultContract()
{
    QFETCH(Scenario, scenario);
    QFETCH(int, returned);
    QFETCH(int, result);
    QFETCH(QStringList, messages);
    QFETCH(bool, written);
    TemporaryFolder folder;
    const QByteArray original = fixture(QStringLiteral("two-blocks.html"));
    const QString path = scenario == Scenario::PageMissing
        ? folder.filePath(QStringLiteral("page.html"))
        : folder.writeFile(QStringLiteral("page.html"), original);
    const QString backup = path + QStringLiteral(".bak");
    if (scenario == Scenario::BackupBlocked)
        QVERIFY(!folder.writeFile(QStringLiteral("page.html.bak/keep"), "x").isEmpty());
    const QString support = folder.writeFile(QStringLiteral("page.files/html5ext.js"), "x");

    const WizardRun run = runWizard(
        path,
        [&](WizardDriver& driver) {
            // Deleting both blocks takes the shared support files, unless
            // saving fails.
            if (scenario == Scenario::SaveDeletion || scenario == Scenario::PlaceholderGone ||
                scenario == Scenario::BackupBlocked) {
                deleteItem(driver, blockItem(driver, 0));
                deleteItem(driver, blockItem(driver, 1));
            }
            switch (scenario) {
            case Scenario::SaveBlock:
            case Scenario::CancelAfterInsert:
            case Scenario::PlaceholderGone:
                QVERIFY(driver.selectId(QStringLiteral("target")));
                driver.click(QStringLiteral("toolButton_InsertAfter"));
                break;
            case Scenario::PageGone:
                QVERIFY(QFile::remove(path));
                break;
            case Scenario::PageMissing:
                QCOMPARE(driver.items().size(), 0);
                break;
            case Scenario::SaveDeletion:
            case Scenario::Cancel:
            case Scenario::BackupBlocked:
                break;
            }
            if (scenario == Scenario::PlaceholderGone) {
                // Nothing the user can do loses the placeholder's item while
                // the placeholder stays; taking it out of the tree is the only
                // way to make saving meet that case.
                QTreeWidgetItem* target = driver.itemWithId(QStringLiteral("target"));
                QTreeWidgetItem* parent = target->parent();
                delete parent->takeChild(parent->indexOfChild(target) + 1);
            }
        },
        scenario == Scenario::Cancel || scenario == Scenario::CancelAfterInsert ? Ending::Cancel
                                                                                : Ending::Save,
        QStringLiteral("<div>block $SUFFIX$</div>"));
    QCOMPARE(run.returned, returned);
    QCOMPARE(run.result, result);
    for (QString& message : messages) {
        if (message.contains(QStringLiteral("%1")))
            message = message.arg(path);
    }
    QCOMPARE(run.messages, messages);
    QCOMPARE(QFileInfo::exists(support), scenario != Scenario::SaveDeletion);
    if (scenario == Scenario::PageGone || scenario == Scenario::PageMissing) {
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!QFileInfo::exists(backup));
        return;
    }
    QCOMPARE(readBytes(path) != original, written);
    QCOMPARE(QFileInfo(backup).isFile(), written);
}

QTEST_MAIN(TestHtmlInserterSave)
#include "tst_htmlinserter_save.moc"
