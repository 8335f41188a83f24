#pragma once

#include "components/htmlinserter.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QWebElement>

#include <functional>

class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;
class QWebFrame;
class QWebView;

// A look at the wizard's private state where no widget shows it.
class HtmlInserterTest
{
public:
    // "int_id" of the deleted components, in the order saving handles them.
    static QList<int> deletedNumbers(const HtmlInserter& wizard);
    static int maxId(const HtmlInserter& wizard, const QString& componentName);
    static QString charset(const HtmlInserter& wizard);
};

// Drives a running wizard through its own widgets, as a user would.
class WizardDriver
{
public:
    explicit WizardDriver(HtmlInserter& wizard);

    HtmlInserter& wizard() const { return m_wizard; }
    QTreeWidget* tree() const;
    QWebView* view() const;
    QWebFrame* frame() const;
    QToolButton* button(const QString& name) const;

    // Waits until the page is shown and its tree built.
    bool waitForPage() const;
    // Clicks Undo and waits until the page is loaded again.
    bool undo() const;

    QWebElement elementOf(const QTreeWidgetItem* item) const;
    // The tree item of the element with this id attribute (in the preview).
    QTreeWidgetItem* itemWithId(const QString& id) const;
    // Every item of the tree, in tree order.
    QList<QTreeWidgetItem*> items() const;
    // Makes the item current (as a click on it would) and checks it took.
    bool select(QTreeWidgetItem* item) const;
    bool selectId(const QString& id) const;
    // Enabled states of To Beginning, To End, Before, After and Delete.
    QList<bool> buttonStates() const;
    void click(const QString& buttonName) const;

private:
    HtmlInserter& m_wizard;
};

// Closes every message box that comes up while it lives and keeps its title
// and text ("title: text").
class MessageCatcher
{
public:
    MessageCatcher();
    ~MessageCatcher();
    QStringList messages() const { return m_messages; }

private:
    void check();
    QStringList m_messages;
    class QTimer* m_timer;
};

struct WizardRun
{
    int returned = 0;
    int result = 0;
    QStringList messages;
};

enum class Ending { Save, Cancel };

// Runs pageInsertRun on the page. Once the page is shown, `actions` runs
// inside the dialog; then the dialog is ended with Save or Cancel unless the
// actions ended it. *result starts at `initialResult`.
WizardRun runWizard(const QString& pagePath, const std::function<void(WizardDriver&)>& actions,
                    Ending ending = Ending::Save, const QString& blockHtml = QString(),
                    const QString& headHtml = QString(), int initialResult = 12345);

// The content of a file in tests/data.
QByteArray fixture(const QString& name);
