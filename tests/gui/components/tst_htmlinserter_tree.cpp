// The wizard's element tree: the text offsets recorded for every element, and
// how a press in the preview and the tree's selection find and highlight
// elements.
#include "temporaryfolder.h"
#include "wizarddriver.h"

#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebElementCollection>
#include <QWebFrame>
#include <QWebView>

using Role = HtmlInserter::ItemRole;

namespace {
int offset(const QTreeWidgetItem* item, Role role)
{
    return item->data(0, role).isValid() ? item->data(0, role).toInt() : -1;
}

QTreeWidgetItem* itemOf(const WizardDriver& driver, const QWebElement& element)
{
    const QList<QTreeWidgetItem*> items = driver.items();
    for (QTreeWidgetItem* item : items) {
        if (item->data(0, HtmlInserter::ElementIdRole).toString() ==
            element.attribute(QStringLiteral("qqqid")))
            return item;
    }
    return nullptr;
}

// Checks one element's item against the page text: the opening tag at the
// start offset is the element's own (it carries the element's id), the
// closing tag is consumed when the element has one, and elements marked
// data-open (no closing tag in the text) end where the next tag begins.
void checkElement(const WizardDriver& driver, const QString& text, const QWebElement& element)
{
    const QString id = element.attribute(QStringLiteral("id"));
    const QString tag = element.tagName();
    const QTreeWidgetItem* item = itemOf(driver, element);
    QVERIFY2(item, qPrintable(id));
    const int start = offset(item, Role::StartRole);
    const int openEnd = offset(item, Role::OpenEndRole);
    const int closeStart = offset(item, Role::CloseStartRole);
    const int end = offset(item, Role::EndRole);
    QVERIFY2(start >= 0 && openEnd > start && closeStart >= openEnd && end >= closeStart,
             qPrintable(QStringLiteral("%1: %2 %3 %4 %5")
                            .arg(id)
                            .arg(start)
                            .arg(openEnd)
                            .arg(closeStart)
                            .arg(end)));
    const QRegularExpression opening(
        QStringLiteral("^<%1\\b[^>]*\\bid=\"%2\"[^>]*>$").arg(tag, QRegularExpression::escape(id)),
        QRegularExpression::CaseInsensitiveOption);
    QVERIFY2(opening.match(text.mid(start, openEnd - start)).hasMatch(),
             qPrintable(id + QStringLiteral(" opens with ") + text.mid(start, openEnd - start)));
    if (element.hasAttribute(QStringLiteral("data-open"))) {
        QVERIFY2(end == closeStart, qPrintable(id));
        QCOMPARE(text.at(closeStart), QLatin1Char('<'));
        if (element.firstChild().isNull())
            QVERIFY2(!text.mid(openEnd, closeStart - openEnd).contains(QLatin1Char('<')),
                     qPrintable(id));
    } else {
        const QRegularExpression closing(QStringLiteral("^</%1\\s*>$").arg(tag),
                                         QRegularExpression::CaseInsensitiveOption);
        QVERIFY2(closing.match(text.mid(closeStart, end - closeStart)).hasMatch(),
                 qPrintable(id + QStringLiteral(" closes with ") +
                            text.mid(closeStart, end - closeStart)));
    }
    // Children lie inside the element, in document order.
    int previousEnd = openEnd;
    for (int i = 0; i < item->childCount(); ++i) {
        const QTreeWidgetItem* child = item->child(i);
        QVERIFY2(offset(child, Role::StartRole) >= previousEnd, qPrintable(id));
        previousEnd = offset(child, Role::EndRole);
        QVERIFY2(previousEnd <= closeStart, qPrintable(id));
    }
}

QPoint centreInView(const WizardDriver& driver, const QWebElement& element)
{
    const QRect box = element.geometry();
    driver.frame()->setScrollPosition(QPoint(0, qMax(0, box.top() - 20)));
    return box.center() - driver.frame()->scrollPosition();
}
} // namespace

class TestHtmlInserterTree : public QObject
{
    Q_OBJECT
private slots:
    void offsets_data();
    void offsets();
    void tableWithoutBody();
    void paragraphEndingInBreak();
    void componentsAreRecognised();
    void pressSelects_data();
    void pressSelects();
    void highlightRestoresInlineStyle();
    void changedColourRecoloursSelection();
};

void TestHtmlInserterTree::offsets_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("table without tbody") << "offsets-table.html";
    QTest::newRow("paragraph ending in br") << "offsets-br.html";
    QTest::newRow("nested lists") << "offsets-lists.html";
    QTest::newRow("upper-case tags") << "offsets-uppercase.html";
    QTest::newRow("comments, script and style") << "offsets-comments.html";
}

void TestHtmlInserterTree::offsets()
{
    QFETCH(QString, page);
    TemporaryFolder folder;
    const QByteArray content = fixture(page);
    const QString path = folder.writeFile(page, content);
    const QString text = QString::fromUtf8(content);
    int checked = 0;
    runWizard(
        path,
        [&](WizardDriver& driver) {
            const QWebElementCollection elements =
                driver.frame()->findAllElements(QStringLiteral("body [id], body"));
            for (const QWebElement& element : elements) {
                checkElement(driver, text, element);
                if (QTest::currentTestFailed())
                    return;
                ++checked;
            }
        },
        Ending::Cancel);
    QVERIFY(checked > 4);
}

void TestHtmlInserterTree::tableWithoutBody()
{
    TemporaryFolder folder;
    const QByteArray content = fixture(QStringLiteral("offsets-table.html"));
    const QString path = folder.writeFile(QStringLiteral("page.html"), content);
    const QString text = QString::fromUtf8(content);
    const QString tableTag = QStringLiteral("<table id=\"table\" border=\"1\">");
    const int tableOpenEnd = text.indexOf(tableTag) + tableTag.size();
    const int tableClose = text.indexOf(QStringLiteral("</table>"));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            const QTreeWidgetItem* table = driver.itemWithId(QStringLiteral("table"));
            QVERIFY(table);
            QCOMPARE(table->childCount(), 1);
            const QTreeWidgetItem* body = table->child(0);
            QCOMPARE(body->text(0), QStringLiteral("TBODY"));
            QCOMPARE(offset(body, Role::StartRole), tableOpenEnd);
            QCOMPARE(offset(body, Role::OpenEndRole), tableOpenEnd);
            QCOMPARE(offset(body, Role::CloseStartRole), tableClose);
            QCOMPARE(offset(body, Role::EndRole), tableClose);
            QCOMPARE(offset(table, Role::EndRole), tableClose + 8);
        },
        Ending::Cancel);
}

void TestHtmlInserterTree::paragraphEndingInBreak()
{
    TemporaryFolder folder;
    const QByteArray content = fixture(QStringLiteral("offsets-br.html"));
    const QString path = folder.writeFile(QStringLiteral("page.html"), content);
    const QString text = QString::fromUtf8(content);
    const int paragraphClose = text.indexOf(QStringLiteral("</p>"));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            const QTreeWidgetItem* lineBreak = driver.itemWithId(QStringLiteral("br2"));
            const QTreeWidgetItem* paragraph = driver.itemWithId(QStringLiteral("para"));
            QVERIFY(lineBreak && paragraph);
            QCOMPARE(offset(lineBreak, Role::CloseStartRole), paragraphClose);
            QCOMPARE(offset(lineBreak, Role::EndRole), paragraphClose);
            QCOMPARE(offset(paragraph, Role::CloseStartRole), paragraphClose);
            QCOMPARE(offset(paragraph, Role::EndRole), paragraphClose + 4);
        },
        Ending::Cancel);
}

void TestHtmlInserterTree::componentsAreRecognised()
{
    TemporaryFolder folder;
    const QString path = folder.writeFile(QStringLiteral("components.html"),
                                          fixture(QStringLiteral("components.html")));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            const QTreeWidgetItem* body = driver.tree()->topLevelItem(0);
            QVERIFY(body);
            QStringList children;
            for (int i = 0; i < body->childCount(); ++i) {
                const QTreeWidgetItem* child = body->child(i);
                // Components and indivisible elements show no children.
                QCOMPARE(child->childCount(), 0);
                QString line = child->text(0);
                if (child->data(0, Role::ComponentRole).toInt() > 0)
                    line += QLatin1Char('|') + driver.elementOf(child).toPlainText().trimmed();
                children << line;
            }
            const QStringList expected {
                "TovaLumen|TovaLumen []", "DIV", "TovaLumen|TovaLumen [1]", "Gallery|Gallery [7]",
                "Gallery|Gallery []",
                // The menu's footnote belongs to it; the next paragraph does not.
                "Menu|Menu [2]", "P", "Slideshow|Slideshow []",
                // A script of the carousel's own pulls in the one before it.
                "Carousel|Carousel []", "SCRIPT", "Slider|Slider [3]", "SPAN", "OBJECT", "VIDEO",
                "IFRAME"};
            QCOMPARE(children, expected);
            QCOMPARE(HtmlInserterTest::maxId(driver.wizard(), QStringLiteral("Gallery")), 7);
            QVERIFY(
                driver.frame()->findFirstElement(QStringLiteral("script[src*=slides]")).isNull());
            QVERIFY(driver.frame()
                        ->findFirstElement(QStringLiteral("p.tlmenu-footer:not(#plain)"))
                        .isNull());
        },
        Ending::Cancel);
}

void TestHtmlInserterTree::pressSelects_data()
{
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("selected");
    QTest::newRow("plain text in a paragraph") << "#plain"
                                               << "#plain";
    QTest::newRow("a word in bold") << "#boldword"
                                    << "#boldword";
    QTest::newRow("an existing block's mock-up") << "div[int_id=\"1\"]"
                                                 << "div[int_id=\"1\"]";
    // The fallback paragraph lies inside an object, shown without children.
    QTest::newRow("inside an indivisible element") << "#fallback"
                                                   << "#tail";
}

void TestHtmlInserterTree::pressSelects()
{
    QFETCH(QString, pressed);
    QFETCH(QString, selected);
    TemporaryFolder folder;
    const QString path =
        folder.writeFile(QStringLiteral("editing.html"), fixture(QStringLiteral("editing.html")));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            driver.wizard().resize(1000, 800);
            QVERIFY(driver.selectId(QStringLiteral("tail")));
            const QWebElement target = driver.frame()->findFirstElement(pressed);
            QVERIFY(!target.isNull());
            QTest::mousePress(driver.view(), Qt::LeftButton, {}, centreInView(driver, target));
            const QWebElement expected = driver.frame()->findFirstElement(selected);
            QVERIFY(driver.tree()->currentItem());
            QCOMPARE(driver.tree()->currentItem(), itemOf(driver, expected));
        },
        Ending::Cancel);
}

void TestHtmlInserterTree::highlightRestoresInlineStyle()
{
    TemporaryFolder folder;
    const QString path =
        folder.writeFile(QStringLiteral("editing.html"), fixture(QStringLiteral("editing.html")));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            QWebElement styled = driver.frame()->findFirstElement(QStringLiteral("#styled"));
            QWebElement plain = driver.frame()->findFirstElement(QStringLiteral("#tail"));
            const QString styledStyle = styled.attribute(QStringLiteral("style"));
            QVERIFY(!plain.hasAttribute(QStringLiteral("style")));

            QVERIFY(driver.selectId(QStringLiteral("styled")));
            QCOMPARE(
                styled.styleProperty(QStringLiteral("background-color"), QWebElement::InlineStyle),
                QStringLiteral("rgb(255, 255, 0)"));
            QCOMPARE(
                styled.styleProperty(QStringLiteral("outline-style"), QWebElement::InlineStyle),
                QStringLiteral("solid"));
            QVERIFY(driver.selectId(QStringLiteral("tail")));
            QCOMPARE(styled.attribute(QStringLiteral("style")), styledStyle);
            QVERIFY(plain.hasAttribute(QStringLiteral("style")));
            QVERIFY(driver.selectId(QStringLiteral("styled")));
            QVERIFY(!plain.hasAttribute(QStringLiteral("style")));
        },
        Ending::Cancel);
}

void TestHtmlInserterTree::changedColourRecoloursSelection()
{
    TemporaryFolder folder;
    const QString path =
        folder.writeFile(QStringLiteral("editing.html"), fixture(QStringLiteral("editing.html")));
    runWizard(
        path,
        [&](WizardDriver& driver) {
            QVERIFY(driver.selectId(QStringLiteral("tail")));
            auto* swatch = driver.wizard().findChild<QLabel*>(QStringLiteral("labelColor"));
            QVERIFY(swatch);
            QTimer chooser;
            QObject::connect(&chooser, &QTimer::timeout, [&] {
                if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                    dialog->setCurrentColor(QColor(0, 128, 255));
                    dialog->accept();
                }
            });
            chooser.start(20);
            QTest::mousePress(swatch, Qt::LeftButton);
            chooser.stop();
            QCOMPARE(swatch->styleSheet(), QStringLiteral("background: #0080ff;"));
            const QWebElement tail = driver.frame()->findFirstElement(QStringLiteral("#tail"));
            QCOMPARE(tail.styleProperty(QStringLiteral("outline-color"), QWebElement::InlineStyle),
                     QStringLiteral("rgb(0, 128, 255)"));
            // The colour stays for the next selection; taking it off the
            // recoloured element still restores that element as it was.
            QVERIFY(driver.selectId(QStringLiteral("plain")));
            QVERIFY(!tail.hasAttribute(QStringLiteral("style")));
            const QWebElement plain = driver.frame()->findFirstElement(QStringLiteral("#plain"));
            QCOMPARE(
                plain.styleProperty(QStringLiteral("background-color"), QWebElement::InlineStyle),
                QStringLiteral("rgb(0, 128, 255)"));
        },
        Ending::Cancel);
}

QTEST_MAIN(TestHtmlInserterTree)
#include "tst_htmlinserter_tree.moc"
