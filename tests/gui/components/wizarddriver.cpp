#include "wizarddriver.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebFrame>
#include <QWebView>

namespace {
const int LOAD_TIMEOUT = 30000;
}

QList<int> HtmlInserterTest::deletedNumbers(const HtmlInserter& wizard)
{
    QList<int> numbers;
    for (const auto& deleted : wizard.deletedComponents)
        numbers << deleted.second.attribute(QStringLiteral("int_id")).toInt();
    return numbers;
}

int HtmlInserterTest::maxId(const HtmlInserter& wizard, const QString& componentName)
{
    for (const typeComponent& component : wizard.components) {
        if (component.name == componentName)
            return component.maxId;
    }
    return -2;
}

QString HtmlInserterTest::charset(const HtmlInserter& wizard)
{
    return wizard.charset;
}

WizardDriver::WizardDriver(HtmlInserter& wizard)
    : m_wizard(wizard)
{ }

QTreeWidget* WizardDriver::tree() const
{
    return m_wizard.findChild<QTreeWidget*>(QStringLiteral("treeWidget"));
}

QWebView* WizardDriver::view() const
{
    return m_wizard.findChild<QWebView*>(QStringLiteral("webView"));
}

QWebFrame* WizardDriver::frame() const
{
    return view()->page()->mainFrame();
}

QToolButton* WizardDriver::button(const QString& name) const
{
    return m_wizard.findChild<QToolButton*>(name);
}

bool WizardDriver::waitForPage() const
{
    return QTest::qWaitFor(
        [this] { return button(QStringLiteral("toolButton_Publish"))->isEnabled(); }, LOAD_TIMEOUT);
}

bool WizardDriver::undo() const
{
    QSignalSpy loaded(frame(), &QWebFrame::loadFinished);
    click(QStringLiteral("toolButton_Undo"));
    return loaded.count() > 0 || loaded.wait(LOAD_TIMEOUT);
}

QWebElement WizardDriver::elementOf(const QTreeWidgetItem* item) const
{
    return frame()->findFirstElement(
        QStringLiteral("*[qqqid=\"%1\"]")
            .arg(item->data(0, HtmlInserter::ElementIdRole).toString()));
}

QList<QTreeWidgetItem*> WizardDriver::items() const
{
    QList<QTreeWidgetItem*> all;
    for (QTreeWidgetItemIterator it(tree()); *it; ++it)
        all << *it;
    return all;
}

QTreeWidgetItem* WizardDriver::itemWithId(const QString& id) const
{
    const QList<QTreeWidgetItem*> all = items();
    for (QTreeWidgetItem* item : all) {
        if (elementOf(item).attribute(QStringLiteral("id")) == id)
            return item;
    }
    return nullptr;
}

bool WizardDriver::select(QTreeWidgetItem* item) const
{
    if (!item)
        return false;
    tree()->setCurrentItem(item);
    return tree()->currentItem() == item;
}

bool WizardDriver::selectId(const QString& id) const
{
    return select(itemWithId(id));
}

QList<bool> WizardDriver::buttonStates() const
{
    QList<bool> states;
    for (const char* name : {"toolButton_Prepend", "toolButton_Append", "toolButton_Insert",
                             "toolButton_InsertAfter", "toolButton_Delete"})
        states << button(QString::fromLatin1(name))->isEnabled();
    return states;
}

void WizardDriver::click(const QString& buttonName) const
{
    button(buttonName)->click();
}

MessageCatcher::MessageCatcher()
    : m_timer(new QTimer)
{
    QObject::connect(m_timer, &QTimer::timeout, [this] { check(); });
    m_timer->start(20);
}

MessageCatcher::~MessageCatcher()
{
    delete m_timer;
}

void MessageCatcher::check()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_messages << box->windowTitle() + QStringLiteral(": ") + box->text();
    box->done(QMessageBox::Ok);
}

WizardRun runWizard(const QString& pagePath, const std::function<void(WizardDriver&)>& actions,
                    Ending ending, const QString& blockHtml, const QString& headHtml,
                    int initialResult)
{
    WizardRun run;
    HtmlInserter wizard;
    MessageCatcher catcher;
    int result = initialResult;
    QTimer::singleShot(0, &wizard, [&] {
        WizardDriver driver(wizard);
        if (driver.waitForPage())
            actions(driver);
        else
            QTest::qFail("the page was not loaded", __FILE__, __LINE__);
        if (wizard.isVisible())
            driver.click(ending == Ending::Save ? QStringLiteral("toolButton_Publish")
                                                : QStringLiteral("toolButton_Cancel"));
    });
    run.returned =
        wizard.pageInsertRun(QStringLiteral("TovaLumen"), headHtml, blockHtml, pagePath, &result);
    run.result = result;
    run.messages = catcher.messages();
    return run;
}

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(TOVALUMEN_TEST_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data file %s", qPrintable(file.fileName()));
    return file.readAll();
}
