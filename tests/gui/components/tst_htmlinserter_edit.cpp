// The wizard's editing commands: which insert buttons a selection allows,
// where a placeholder goes, deleting blocks and undoing everything.
#include "temporaryfolder.h"
#include "wizarddriver.h"

#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebFrame>

using Role = HtmlInserter::ItemRole;

namespace {
const QString PAGE = QStringLiteral("editing.html");

QString writePage(const TemporaryFolder& folder)
{
    return folder.writeFile(PAGE, fixture(PAGE));
}

QTreeWidgetItem* itemOf(const WizardDriver& driver, const QString& selector)
{
    const QString elementId =
        driver.frame()->findFirstElement(selector).attribute(QStringLiteral("qqqid"));
    const QList<QTreeWidgetItem*> items = driver.items();
    for (QTreeWidgetItem* item : items) {
        if (!elementId.isEmpty() &&
            item->data(0, HtmlInserter::ElementIdRole).toString() == elementId)
            return item;
    }
    return nullptr;
}

QString blockSelector(int number)
{
    return QStringLiteral("div[class_name=\"tovalumen\"][int_id=\"%1\"]").arg(number);
}

// Every item with its display text and offsets, in tree order and depth.
QStringList treeOutline(const WizardDriver& driver)
{
    QStringList outline;
    const QList<QTreeWidgetItem*> items = driver.items();
    for (const QTreeWidgetItem* item : items) {
        int depth = 0;
        for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            ++depth;
        QString line = QString(depth, QLatin1Char(' ')) + item->text(0);
        for (int role = Role::ComponentRole; role <= Role::EndRole; ++role)
            line += QLatin1Char(' ') + item->data(0, role).toString();
        outline << line;
    }
    return outline;
}
} // namespace

class TestHtmlInserterEdit : public QObject
{
    Q_OBJECT
private slots:
    void insertButtons_data();
    void insertButtons();
    void placeholderPlacement_data();
    void placeholderPlacement();
    void deletingThePlaceholder();
    void deletedComponentsOrder_data();
    void deletedComponentsOrder();
    void undoShowsThePageAsLoaded();
};

void TestHtmlInserterEdit::insertButtons_data()
{
    // Enabled: To Beginning, To End, Before, After, Delete.
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QList<bool>>("enabled");
    QTest::newRow("BODY") << "#body" << QList<bool> {true, true, false, false, false};
    QTest::newRow("a component") << blockSelector(1)
                                 << QList<bool> {false, false, true, true, true};
    QTest::newRow("a TD") << "#cell" << QList<bool> {true, true, false, false, false};
    QTest::newRow("an IMG inside a P") << "#image" << QList<bool> {false, false, true, true, false};
    QTest::newRow("a P") << "#plain" << QList<bool> {true, true, true, true, false};
}

void TestHtmlInserterEdit::insertButtons()
{
    QFETCH(QString, selector);
    QFETCH(QList<bool>, enabled);
    TemporaryFolder folder;
    runWizard(
        writePage(folder),
        [&](WizardDriver& driver) {
            QVERIFY(driver.select(itemOf(driver, selector)));
            QCOMPARE(driver.buttonStates(), enabled);

            // With a placeholder in the page no insert button is available.
            QVERIFY(driver.selectId(QStringLiteral("tail")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
            QVERIFY(driver.select(itemOf(driver, selector)));
            QList<bool> withPlaceholder {false, false, false, false, enabled.last()};
            QCOMPARE(driver.buttonStates(), withPlaceholder);
        },
        Ending::Cancel);
}

void TestHtmlInserterEdit::placeholderPlacement_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("offsetRole");
    QTest::addColumn<int>("placement"); // -1 before, 1 after, 2 first child, 3 last child
    QTest::newRow("After a paragraph") << "toolButton_InsertAfter"
                                       << "plain" << int(Role::EndRole) << 1;
    QTest::newRow("Before a paragraph") << "toolButton_Insert"
                                        << "plain" << int(Role::StartRole) << -1;
    QTest::newRow("To Beginning of a DIV") << "toolButton_Prepend"
                                           << "blocks" << int(Role::OpenEndRole) << 2;
    QTest::newRow("To End of a DIV") << "toolButton_Append"
                                     << "blocks" << int(Role::CloseStartRole) << 3;
    QTest::newRow("To End of a cell") << "toolButton_Append"
                                      << "cell" << int(Role::CloseStartRole) << 3;
}

void TestHtmlInserterEdit::placeholderPlacement()
{
    QFETCH(QString, button);
    QFETCH(QString, target);
    QFETCH(int, offsetRole);
    QFETCH(int, placement);
    TemporaryFolder folder;
    runWizard(
        writePage(folder),
        [&](WizardDriver& driver) {
            QTreeWidgetItem* item = driver.itemWithId(target);
            QVERIFY(driver.select(item));
            const int itemCount = driver.items().size();
            driver.click(button);
            QCOMPARE(driver.items().size(), itemCount + 1);

            QTreeWidgetItem* parent = placement < 2 ? item->parent() : item;
            const int index = placement == -1 ? parent->indexOfChild(item) - 1
                : placement == 1              ? parent->indexOfChild(item) + 1
                : placement == 2              ? 0
                                              : parent->childCount() - 1;
            QTreeWidgetItem* placeholder = parent->child(index);
            QVERIFY(placeholder);
            QCOMPARE(placeholder->text(0), QStringLiteral("TovaLumen"));
            QCOMPARE(placeholder->data(0, Role::ComponentRole).toInt(), 1);
            QCOMPARE(placeholder->data(0, Role::StartRole), item->data(0, offsetRole));

            // The preview shows the mock-up with the next free number at the
            // same place: the page already holds blocks 0, 1 and 2.
            const QWebElement mockup = driver.elementOf(placeholder);
            QVERIFY(!mockup.isNull());
            QCOMPARE(mockup.toPlainText().trimmed(), QStringLiteral("TovaLumen [3]"));
            const QWebElement element = driver.elementOf(item);
            const QWebElement neighbour = placement == -1 ? element.previousSibling()
                : placement == 1                          ? element.nextSibling()
                : placement == 2                          ? element.firstChild()
                                                          : element.lastChild();
            QCOMPARE(neighbour, mockup);
            QCOMPARE(driver.buttonStates().mid(0, 4), (QList<bool> {false, false, false, false}));
        },
        Ending::Cancel);
}

void TestHtmlInserterEdit::deletingThePlaceholder()
{
    TemporaryFolder folder;
    runWizard(
        writePage(folder),
        [&](WizardDriver& driver) {
            const int itemCount = driver.items().size();
            QVERIFY(driver.selectId(QStringLiteral("plain")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
            QTreeWidgetItem* placeholder =
                driver.items().at(driver.items().indexOf(driver.itemWithId("plain")) + 1);
            const QWebElement mockup = driver.elementOf(placeholder);
            QVERIFY(driver.select(placeholder));
            QCOMPARE(driver.buttonStates().last(), true);
            driver.click(QStringLiteral("toolButton_Delete"));
            QCOMPARE(driver.items().size(), itemCount);
            QVERIFY(driver.frame()
                        ->findFirstElement(
                            QStringLiteral("*[qqqid=\"%1\"]").arg(mockup.attribute("qqqid")))
                        .isNull());
            QVERIFY(HtmlInserterTest::deletedNumbers(driver.wizard()).isEmpty());
            // Inserting is possible again, with the same number.
            QVERIFY(driver.selectId(QStringLiteral("tail")));
            QCOMPARE(driver.buttonStates(), (QList<bool> {true, true, true, true, false}));
            driver.click(QStringLiteral("toolButton_Insert"));
            QCOMPARE(driver.frame()
                         ->findFirstElement(
                             QStringLiteral("*[qqqid=\"%1\"]").arg(mockup.attribute("qqqid")))
                         .toPlainText()
                         .trimmed(),
                     QStringLiteral("TovaLumen [3]"));
        },
        Ending::Cancel);
}

void TestHtmlInserterEdit::deletedComponentsOrder_data()
{
    // Blocks 0, 1 and 2 have no id; the gallery's id gives it the number 4.
    QTest::addColumn<QList<int>>("deleteOrder");
    QTest::addColumn<QList<int>>("saveOrder");
    QTest::newRow("lowest first") << QList<int> {0, 1, 2} << QList<int> {2, 1, 0};
    QTest::newRow("mixed") << QList<int> {1, 0, 2} << QList<int> {2, 1, 0};
    QTest::newRow("with an id first") << QList<int> {4, 0, 2} << QList<int> {2, 0, 4};
    QTest::newRow("with an id between") << QList<int> {1, 4, 2, 0} << QList<int> {2, 1, 0, 4};
}

void TestHtmlInserterEdit::deletedComponentsOrder()
{
    QFETCH(QList<int>, deleteOrder);
    QFETCH(QList<int>, saveOrder);
    TemporaryFolder folder;
    runWizard(
        writePage(folder),
        [&](WizardDriver& driver) {
            for (const int number : deleteOrder) {
                const QString selector =
                    number == 4 ? QStringLiteral("#tlgallery4") : blockSelector(number);
                QTreeWidgetItem* item = itemOf(driver, selector);
                QVERIFY2(item, qPrintable(selector));
                QVERIFY(driver.select(item));
                driver.click(QStringLiteral("toolButton_Delete"));
                QVERIFY(!driver.items().contains(item));
                QVERIFY(driver.frame()->findFirstElement(selector).isNull());
            }
            QCOMPARE(HtmlInserterTest::deletedNumbers(driver.wizard()), saveOrder);
        },
        Ending::Cancel);
}

void TestHtmlInserterEdit::undoShowsThePageAsLoaded()
{
    TemporaryFolder folder;
    runWizard(
        writePage(folder),
        [&](WizardDriver& driver) {
            const QString html = driver.frame()->toHtml();
            const QStringList outline = treeOutline(driver);
            QVERIFY(driver.select(itemOf(driver, blockSelector(1))));
            driver.click(QStringLiteral("toolButton_Delete"));
            QVERIFY(driver.selectId(QStringLiteral("plain")));
            driver.click(QStringLiteral("toolButton_InsertAfter"));
            QVERIFY(driver.frame()->toHtml() != html);

            QVERIFY(driver.undo());
            QCOMPARE(driver.frame()->toHtml(), html);
            QCOMPARE(treeOutline(driver), outline);
            QVERIFY(HtmlInserterTest::deletedNumbers(driver.wizard()).isEmpty());
            QCOMPARE(HtmlInserterTest::maxId(driver.wizard(), QStringLiteral("TovaLumen")), 2);
            // The placeholder is gone, so inserting is possible again.
            QVERIFY(driver.selectId(QStringLiteral("plain")));
            QCOMPARE(driver.buttonStates(), (QList<bool> {true, true, true, true, false}));
        },
        Ending::Cancel);
}

QTEST_MAIN(TestHtmlInserterEdit)
#include "tst_htmlinserter_edit.moc"
