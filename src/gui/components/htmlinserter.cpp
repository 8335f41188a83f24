#include "components/htmlinserter.h"

#include "components/disaccessnetworkmanager.h"
#include "components/pagetext.h"
#include "components/previewpage.h"
#include "ui_htmlinserter.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWebElementCollection>
#include <QWebFrame>
#include <QWebHitTestResult>
#include <QWebSettings>

#include <limits>

namespace {
const QString QQQID = QStringLiteral("qqqid");
const QString SUFFIX = QStringLiteral("$SUFFIX$");

// Shows the wait cursor until it is ended or goes out of scope.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { end(); }
    void end()
    {
        if (m_active)
            QApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};

bool hasRole(const QTreeWidgetItem* item, int role)
{
    return item->data(0, role).isValid();
}

int role(const QTreeWidgetItem* item, int role)
{
    return item->data(0, role).toInt();
}

QString elementSelector(const QString& elementId)
{
    return QStringLiteral("*[qqqid=\"%1\"]").arg(elementId);
}
} // namespace

// What differs between the four insert commands: how the mock-up goes into the
// preview, the script that tries again when the engine refuses the markup,
// which offset of the selected element the block is saved at, and where the
// placeholder's item goes in the tree.
struct HtmlInserter::InsertMode
{
    enum Placement { BeforeItem, AfterItem, FirstChild, LastChild };
    void (QWebElement::*insert)(const QString&);
    const char* fallbackScript;
    int startRole;
    Placement placement;
};

HtmlInserter::HtmlInserter(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::HtmlInserter)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::Window);

    preview = new PreviewPage(ui->webView);
    ui->webView->setPage(preview);
    preview->loadDocument(QUrl(QStringLiteral("about:blank")));
    preview->action(QWebPage::OpenLink)->setEnabled(false);
    QWebSettings* settings = preview->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebSettings::PluginsEnabled, false);
    settings->setAttribute(QWebSettings::SpatialNavigationEnabled, false);
    settings->setAttribute(QWebSettings::LinksIncludedInFocusChain, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);

    ui->webView->installEventFilter(this);
    ui->labelColor->installEventFilter(this);
    setLabelColor();
    connect(this, &QDialog::rejected, this, &HtmlInserter::onClose);
    initIndivisibleTags(indivisibleTags);
    initAvailableTagsAppendTo(availableTagsAppendTo);
    initCommentScripts(commentScripts);
    connect(preview->mainFrame(), &QWebFrame::loadFinished, this, &HtmlInserter::loadFinished);
}

HtmlInserter::~HtmlInserter()
{
    clearDeletedComponents();
    delete ui;
}

int HtmlInserter::pageInsertRun(QString componentName, const QString& headHtml,
                                const QString& blockHtml, const QString& pagePath, int* result)
{
    if (pagePreInsert(componentName, pagePath, result) == -1)
        return -1;
    return savePage(blockHtml, headHtml);
}

int HtmlInserter::pagePreInsert(QString componentName, const QString& pagePath, int* result)
{
    this->result = result;
    this->pagePath = pagePath;
    InitComponents();
    preview->setNetworkAccessManager(new DisAccessNetworkManager(ui->webView));
    loadPage();

    this->componentName = componentName;
    componentIndex = -1;
    for (int row = 0; row < components.size(); ++row) {
        if (components.at(row).name == componentName) {
            componentIndex = row;
            maket = components.at(row).maket;
            idPrefix = components.at(row).idPrefix;
            className = components.at(row).className;
            break;
        }
    }
    return exec() == QDialog::Accepted ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Loading and the element tree

void HtmlInserter::loadPage()
{
    loading = true;
    preview->loadDocument(QUrl::fromLocalFile(pagePath));
}

void HtmlInserter::loadFinished(bool ok)
{
    // Whether the page loaded completely does not matter: the tree is built
    // from whatever the preview shows, with the offsets from the file.
    Q_UNUSED(ok)
    if (!loading)
        return;
    loading = false;
    preview->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    charset = findCharset();
    OpenDocument();
    ui->toolButton_Publish->setEnabled(true);
    if (componentIndex >= 0)
        maket.replace(SUFFIX, components.at(componentIndex).getStrMaxId());
}

QString HtmlInserter::findCharset() const
{
    QString named;
    const QWebElementCollection metas =
        preview->mainFrame()->findAllElements(QStringLiteral("meta"));
    for (const QWebElement& meta : metas) {
        const QString fromContent =
            PageText::charsetFromContent(meta.attribute(QStringLiteral("content")));
        if (!fromContent.isEmpty())
            named = fromContent;
        const QString own = meta.attribute(QStringLiteral("charset")).trimmed();
        if (!own.isEmpty())
            named = own;
    }
    QFile file(pagePath);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return PageText::effectiveCharset(named, data);
}

bool HtmlInserter::readPageText(QString& text) const
{
    QFile file(pagePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    text = PageText::decode(file.readAll(), charset);
    return true;
}

void HtmlInserter::OpenDocument()
{
    ui->treeWidget->clear();
    QWebElement body = preview->mainFrame()->findFirstElement(QStringLiteral("BODY"));
    elementCounter = 0;
    documentText.clear();
    QString text;
    if (!readPageText(text)) {
        QMessageBox::warning(this, tr("Error"), tr("Can't open file %1.").arg(pagePath));
        return;
    }
    documentText = text;
    // Tags inside comments and scripts are not elements; searching the masked
    // text keeps them from being taken for the tags of elements.
    QString masked = PageText::maskNonMarkup(text);
    int position = 0;
    if (!body.isNull())
        AddDomNode(body, nullptr, masked, position);
    for (int i = 0; i < ui->treeWidget->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui->treeWidget->topLevelItem(i);
        delScriptsAfterComponentsFromDOMTree(item);
        clearIndividibleNodes(item);
    }
}

bool HtmlInserter::AddDomNode(QWebElement& element, QTreeWidgetItem* parent, QString& text,
                              int& position)
{
    auto* item = new QTreeWidgetItem;
    const int elementId = elementCounter++;
    element.setAttribute(QQQID, QString::number(elementId));
    item->setData(0, ElementIdRole, elementId);
    const QString tag = element.tagName();
    item->setText(0, tag);
    item->setData(0, TagRole, tag);

    PageText::Range opening = PageText::findElementTag(text, tag, position);
    if (tag.toUpper() == QLatin1String("TBODY") &&
        (!opening.isValid() || opening.start != PageText::findNextTag(text, position).start)) {
        // The parser adds the body of a table written without one; it starts
        // where the table's opening tag ends.
        opening = {position, position};
    }
    // An element the parser made up has no opening tag in the text: it gets no
    // offsets, and the search goes on from where it was.
    if (opening.isValid()) {
        position = opening.end;
        item->setData(0, StartRole, opening.start);
        item->setData(0, OpenEndRole, opening.end);
    }

    const int row = scanComponent(element);
    if (row >= 0) {
        ++components[row].count;
        item->setText(0, components.at(row).name);
        item->setData(0, ComponentRole, row + 1);
    }
    if (parent)
        parent->addChild(item);
    else
        ui->treeWidget->addTopLevelItem(item);

    QList<QPair<int, QWebElement>> componentChildren;
    for (QWebElement child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (AddDomNode(child, item, text, position))
            componentChildren.append({scanComponent(child), child});
    }

    const PageText::Range next = PageText::findNextTag(text, position);
    if (next.isValid()) {
        item->setData(0, CloseStartRole, next.start);
        const bool ownClosingTag = PageText::isClosingTag(text.mid(next.start, next.length()), tag);
        position = ownClosingTag ? next.end : next.start;
        item->setData(0, EndRole, position);
    }

    // A component is replaced whole by its parent; its own component children
    // stay as they are.
    if (row < 0)
        replaceByMockups(componentChildren);
    return row >= 0;
}

void HtmlInserter::replaceByMockups(const QList<QPair<int, QWebElement>>& componentChildren)
{
    for (const auto& child : componentChildren) {
        typeComponent& component = components[child.first];
        QWebElement element = child.second;
        int number = component.maxId + 1;
        if (!component.idPrefix.isEmpty())
            number = element.attribute(QStringLiteral("id")).mid(component.idPrefix.size()).toInt();
        component.maxId = qMax(component.maxId, number);
        element.replace(generateMaket(component.idPrefix, number, component.className,
                                      element.attribute(QQQID).toInt(), component.maket));
    }
}

QString HtmlInserter::generateMaket(QString idPrefix, int number, QString className, int elementId,
                                    QString maket)
{
    const QString suffix = number > 0 ? QString::number(number) : QString();
    maket.replace(SUFFIX, suffix);
    QString element = QStringLiteral("<div");
    if (!idPrefix.isEmpty())
        element += QStringLiteral(" id=\"%1%2\"")
                       .arg(idPrefix, number != 0 ? QString::number(number) : QString());
    if (!className.isEmpty())
        element += QStringLiteral(" class_name=\"%1\"").arg(className);
    element += QStringLiteral(" int_id=\"%1\"").arg(number);
    // One pass, so that the "%1" to "%3" of the template stay as they are.
    element += QStringLiteral(" %1=\"%2\">%3</div>").arg(QQQID, QString::number(elementId), maket);
    return element;
}

QWebElement HtmlInserter::elementOf(const QTreeWidgetItem* item) const
{
    return preview->mainFrame()->findFirstElement(
        elementSelector(item->data(0, ElementIdRole).toString()));
}

QTreeWidgetItem* HtmlInserter::findItem(const QString& elementId) const
{
    QTreeWidgetItemIterator it(ui->treeWidget);
    for (; *it; ++it) {
        if ((*it)->data(0, ElementIdRole).toString() == elementId)
            return *it;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Selection and highlight

bool HtmlInserter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == ui->labelColor)
            changeColor();
        else if (watched == ui->webView)
            selectElementAt(static_cast<QMouseEvent*>(event)->pos());
    }
    return QDialog::eventFilter(watched, event);
}

QWebElement HtmlInserter::elementAt(const QPoint& point) const
{
    QWebFrame* frame = preview->mainFrame();
    const QWebElement hit = frame->hitTestContent(point).element();
    if (!hit.isNull())
        return hit;
    // A press on text: the smallest element around the point.
    const QPoint scroll = frame->scrollPosition();
    QWebElement smallest;
    qint64 smallestArea = std::numeric_limits<qint64>::max();
    const QWebElementCollection all = frame->findAllElements(QStringLiteral("*"));
    for (const QWebElement& candidate : all) {
        const QRect box = candidate.geometry().translated(-scroll);
        if (point.x() < box.left() || point.x() > box.left() + box.width() ||
            point.y() < box.top() || point.y() > box.top() + box.height())
            continue;
        const qint64 area = qint64(box.width()) * box.height();
        if (area < smallestArea) {
            smallest = candidate;
            smallestArea = area;
        }
    }
    return smallest;
}

void HtmlInserter::selectElementAt(const QPoint& point)
{
    QWebElement element = elementAt(point);
    while (!element.isNull() && element.attribute(QQQID).isEmpty())
        element = element.parent();
    if (element.isNull())
        return;
    if (QTreeWidgetItem* item = findItem(element.attribute(QQQID)))
        ui->treeWidget->setCurrentItem(item);
}

void HtmlInserter::on_treeWidget_currentItemChanged(QTreeWidgetItem* current,
                                                    QTreeWidgetItem* previous)
{
    ui->treeWidget->resizeColumnToContents(0);
    if (previous) {
        const QWebElement element = elementOf(previous);
        if (!element.isNull())
            DeSelectWebElement(element);
    }
    selectedElement = QWebElement();
    if (!current) {
        setDeleteEnabled(false);
        return;
    }
    const QWebElement element = elementOf(current);
    setDeleteEnabled(!element.isNull() && role(current, ComponentRole) > 0);
    if (element.isNull()) {
        if (insertedElement.isNull())
            setDisabledButtons(true);
        return;
    }
    SelectWebElement(element);
    if (insertedElement.isNull())
        updateInsertButtons(current);
    selectedElement = element;
}

void HtmlInserter::on_treeWidget_itemSelectionChanged()
{
    ui->treeWidget->resizeColumnToContents(0);
}

void HtmlInserter::on_treeWidget_itemExpanded(QTreeWidgetItem* item)
{
    Q_UNUSED(item)
    ui->treeWidget->resizeColumnToContents(0);
}

void HtmlInserter::SelectWebElement(QWebElement element)
{
    // The style attribute is kept as it was, so that taking the highlight off
    // restores it exactly, also when the element had none.
    savedStyle.hadStyleAttribute = element.hasAttribute(QStringLiteral("style"));
    savedStyle.style = element.attribute(QStringLiteral("style"));
    const QString color = selectionColor.name();
    element.setStyleProperty(QStringLiteral("outline-style"), QStringLiteral("solid"));
    element.setStyleProperty(QStringLiteral("outline-width"), QStringLiteral("7px"));
    element.setStyleProperty(QStringLiteral("outline-color"), color);
    element.setStyleProperty(QStringLiteral("background-color"), color);
}

void HtmlInserter::DeSelectWebElement(QWebElement element)
{
    // Setting the attribute also resets the engine's inline style, which could
    // otherwise write the attribute back after it was removed.
    element.setAttribute(QStringLiteral("style"), savedStyle.style);
    if (!savedStyle.hadStyleAttribute)
        element.removeAttribute(QStringLiteral("style"));
}

void HtmlInserter::changeColor()
{
    const QColor chosen = QColorDialog::getColor(selectionColor, this);
    if (!chosen.isValid() || chosen == selectionColor)
        return;
    selectionColor = chosen;
    setLabelColor();
    if (!selectedElement.isNull()) {
        selectedElement.setStyleProperty(QStringLiteral("outline-color"), chosen.name());
        selectedElement.setStyleProperty(QStringLiteral("background-color"), chosen.name());
    }
}

void HtmlInserter::setLabelColor()
{
    ui->labelColor->setStyleSheet(QStringLiteral("background: %1;").arg(selectionColor.name()));
}

void HtmlInserter::updateInsertButtons(const QTreeWidgetItem* item)
{
    const QString tag = item->data(0, TagRole).toString();
    const bool inside =
        IsAvailableAppendTo(tag) && !IsIndividible(tag) && role(item, ComponentRole) == 0;
    const QTreeWidgetItem* parent = item->parent();
    const bool beside = tag.toUpper() != QLatin1String("BODY") && parent &&
        IsAvailableAppendTo(parent->data(0, TagRole).toString());
    // A command whose offset the element lacks (its tag is not in the text)
    // could only fail when saving.
    ui->toolButton_Prepend->setEnabled(inside && hasRole(item, OpenEndRole));
    ui->toolButton_Append->setEnabled(inside && hasRole(item, CloseStartRole));
    ui->toolButton_Insert->setEnabled(beside && hasRole(item, StartRole));
    ui->toolButton_InsertAfter->setEnabled(beside && hasRole(item, EndRole));
}

void HtmlInserter::setDisabledButtons(bool disabled)
{
    ui->toolButton_Prepend->setDisabled(disabled);
    ui->toolButton_Append->setDisabled(disabled);
    ui->toolButton_Insert->setDisabled(disabled);
    ui->toolButton_InsertAfter->setDisabled(disabled);
}

void HtmlInserter::setDeleteEnabled(bool enabled)
{
    ui->toolButton_Delete->setEnabled(enabled);
    ui->actionDelete->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Components

void HtmlInserter::InitComponents()
{
    initComponents(components);
    const QString baseName = pageBaseName();
    for (typeComponent& component : components) {
        for (QString& pattern : component.filePatterns)
            pattern.replace(QLatin1String("$PAGE$"), baseName);
    }
}

int HtmlInserter::scanComponent(QWebElement& element)
{
    const QString tag = element.tagName().toUpper();
    for (int row = 0; row < components.size(); ++row) {
        const typeComponent& component = components.at(row);
        if (tag != component.tag.toUpper())
            continue;
        if (!component.idPrefix.isEmpty()) {
            const QRegularExpression id(component.idPrefix + QStringLiteral("[0-9]*"),
                                        QRegularExpression::CaseInsensitiveOption);
            if (!id.match(element.attribute(QStringLiteral("id")), 0,
                          QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption)
                     .hasMatch())
                continue;
        }
        if (!component.className.isEmpty()) {
            const QString marker = component.className.toUpper();
            if (element.attribute(QStringLiteral("class")).toUpper() != marker &&
                element.attribute(QStringLiteral("class_name")).toUpper() != marker)
                continue;
        }
        return row;
    }
    return -1;
}

bool HtmlInserter::IsIndividible(const QString& tag) const
{
    return indivisibleTags.contains(tag, Qt::CaseInsensitive);
}

bool HtmlInserter::IsAvailableAppendTo(const QString& tag) const
{
    return availableTagsAppendTo.contains(tag, Qt::CaseInsensitive);
}

int HtmlInserter::delScriptsAfterComponentsFromDOMTree(QTreeWidgetItem* item)
{
    if (!item)
        return -1;
    if (role(item, ComponentRole) > 0)
        return role(item, ComponentRole) - 1;
    int i = 0;
    while (i < item->childCount()) {
        QTreeWidgetItem* child = item->child(i);
        const int row = delScriptsAfterComponentsFromDOMTree(child);
        int next = i + 1;
        if (row >= 0) {
            const typeComponent& component = components.at(row);
            while (next < item->childCount()) {
                QTreeWidgetItem* sibling = item->child(next);
                QWebElement element = elementOf(sibling);
                const bool isScript =
                    sibling->data(0, TagRole).toString().toUpper() == QLatin1String("SCRIPT");
                if (!isScript) {
                    if (!element.isNull() && component.containsElement(element))
                        attachSibling(child, next, element);
                    break;
                }
                if (!element.isNull() &&
                    refersToFiles(element.attribute(QStringLiteral("src")), component))
                    attachSibling(child, next, element);
                else
                    ++next;
            }
            pullComments(child);
        }
        i = next;
    }
    return -1;
}

void HtmlInserter::attachSibling(QTreeWidgetItem* component, int index, QWebElement& element)
{
    QTreeWidgetItem* sibling = component->parent()->takeChild(index);
    if (hasRole(sibling, EndRole))
        component->setData(0, EndRole, sibling->data(0, EndRole));
    element.removeFromDocument();
    delete sibling;
}

bool HtmlInserter::refersToFiles(const QString& source, const typeComponent& component)
{
    for (QString pattern : component.filePatterns) {
        pattern.replace(SUFFIX, QLatin1String("[0-9]*"));
        if (QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption)
                .match(source)
                .hasMatch())
            return true;
    }
    return false;
}

void HtmlInserter::pullComments(QTreeWidgetItem* item)
{
    if (!hasRole(item, StartRole) || !hasRole(item, EndRole))
        return;
    const PageText::Range range =
        PageText::widenOverComments(documentText, {role(item, StartRole), role(item, EndRole)});
    item->setData(0, StartRole, range.start);
    item->setData(0, EndRole, range.end);
}

void HtmlInserter::clearIndividibleNodes(QTreeWidgetItem* item)
{
    if (IsIndividible(item->data(0, TagRole).toString()) || role(item, ComponentRole) > 0) {
        qDeleteAll(item->takeChildren());
        return;
    }
    for (int i = 0; i < item->childCount(); ++i)
        clearIndividibleNodes(item->child(i));
}

void HtmlInserter::checkScriptComments(QString& text)
{
    PageText::keepOneScriptInclusion(text, commentScripts);
}

// ---------------------------------------------------------------------------
// Editing

// The fallback scripts wrap the mock-up in a div that exists only in the
// preview; saving goes by the offsets and never sees it.
void HtmlInserter::on_toolButton_Insert_clicked()
{
    insertPlaceholder({&QWebElement::prependOutside,
                       "var tmp=document.createElement('div');tmp.innerHTML='%1';"
                       "this.parentNode.insertBefore(tmp,this);",
                       StartRole, InsertMode::BeforeItem});
}

void HtmlInserter::on_toolButton_InsertAfter_clicked()
{
    insertPlaceholder({&QWebElement::appendOutside,
                       "var tmp=document.createElement('div');tmp.innerHTML='%1';"
                       "this.parentNode.insertBefore(tmp,this.nextSibling);",
                       EndRole, InsertMode::AfterItem});
}

void HtmlInserter::on_toolButton_Prepend_clicked()
{
    insertPlaceholder({&QWebElement::prependInside,
                       "var tmp=document.createElement('div');tmp.innerHTML='%1';"
                       "this.insertBefore(tmp,this.firstChild);",
                       OpenEndRole, InsertMode::FirstChild});
}

void HtmlInserter::on_toolButton_Append_clicked()
{
    insertPlaceholder({&QWebElement::appendInside,
                       "var tmp=document.createElement('div');tmp.innerHTML='%1';"
                       "this.appendChild(tmp);",
                       CloseStartRole, InsertMode::LastChild});
}

void HtmlInserter::insertPlaceholder(const InsertMode& mode)
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    if (!current || selectedElement.isNull() || componentIndex < 0)
        return;
    setDisabledButtons(true);
    const int elementId = elementCounter + 1;
    const QString mockup = generateMaket(idPrefix, components.at(componentIndex).maxId + 1,
                                         className, elementId, maket);
    (selectedElement.*mode.insert)(mockup);
    const QString selector = elementSelector(QString::number(elementId));
    insertedElement = preview->mainFrame()->findFirstElement(selector);
    if (insertedElement.isNull()) {
        QString quoted = mockup;
        quoted.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"))
            .replace(QLatin1String("'"), QLatin1String("\\'"))
            .replace(QLatin1String("\""), QLatin1String("\\\""));
        // The script ends in null: its value is not needed, and handing a DOM
        // node back would convert the whole document.
        selectedElement.evaluateJavaScript(QString::fromLatin1(mode.fallbackScript).arg(quoted) +
                                           QStringLiteral("null;"));
        insertedElement = preview->mainFrame()->findFirstElement(selector);
    }
    if (insertedElement.isNull()) {
        QMessageBox::warning(this, tr("Error"), tr("Can't insert element."));
        return;
    }

    QTreeWidgetItem* placeholder = generateTreeWidgetItem();
    placeholder->setData(0, StartRole, current->data(0, mode.startRole));
    QTreeWidgetItem* parent = current->parent();
    switch (mode.placement) {
    case InsertMode::BeforeItem:
        parent->insertChild(parent->indexOfChild(current), placeholder);
        break;
    case InsertMode::AfterItem:
        parent->insertChild(parent->indexOfChild(current) + 1, placeholder);
        break;
    case InsertMode::FirstChild:
        current->insertChild(0, placeholder);
        break;
    case InsertMode::LastChild:
        current->addChild(placeholder);
        break;
    }
}

QTreeWidgetItem* HtmlInserter::generateTreeWidgetItem()
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, componentName);
    item->setData(0, ElementIdRole, elementCounter + 1);
    item->setData(0, ComponentRole, 1);
    return item;
}

void HtmlInserter::on_toolButton_Delete_clicked()
{
    QTreeWidgetItem* current = ui->treeWidget->currentItem();
    if (!current || selectedElement.isNull())
        return;
    const bool placeholder = selectedElement == insertedElement;
    if (placeholder) {
        insertedElement.removeFromDocument();
        insertedElement = QWebElement();
    } else {
        const QWebElement taken = selectedElement.takeFromDocument();
        // Blocks without an id are numbered by their place among the blocks of
        // their kind; saving removes the highest numbers first.
        int index = deletedComponents.size();
        if (taken.attribute(QStringLiteral("id")).isEmpty()) {
            const int number = taken.attribute(QStringLiteral("int_id")).toInt();
            index = 0;
            while (index < deletedComponents.size() &&
                   deletedComponents.at(index).second.attribute(QStringLiteral("id")).isEmpty() &&
                   deletedComponents.at(index).second.attribute(QStringLiteral("int_id")).toInt() >=
                       number)
                ++index;
        }
        deletedComponents.insert(index, {current, taken});
    }
    selectedElement = QWebElement();
    if (QTreeWidgetItem* parent = current->parent()) {
        parent->removeChild(current);
        if (placeholder)
            delete current;
    }
}

void HtmlInserter::on_toolButton_Undo_clicked()
{
    InitComponents();
    savedStyle = SavedStyle();
    selectedElement = QWebElement();
    insertedElement = QWebElement();
    clearDeletedComponents();
    // The items refer to the document being replaced.
    ui->treeWidget->clear();
    setDisabledButtons(true);
    setDeleteEnabled(false);
    loadPage();
}

void HtmlInserter::clearDeletedComponents()
{
    for (const DeletedComponent& deleted : qAsConst(deletedComponents))
        delete deleted.first;
    deletedComponents.clear();
}

// ---------------------------------------------------------------------------
// Ending the dialog and saving

void HtmlInserter::on_toolButton_Publish_clicked()
{
    if (result)
        *result = insertedElement.isNull() ? -1 : components.at(componentIndex).maxId + 1;
    accept();
}

void HtmlInserter::on_toolButton_Cancel_clicked()
{
    // The button's click closes the dialog (see the form).
}

void HtmlInserter::onClose()
{
    if (result && insertedElement.isNull())
        *result = -1;
}

int HtmlInserter::savePage(const QString& blockHtml, const QString& headHtml)
{
    WaitCursor waitCursor;
    const QString cantOpen = tr("Can't open file %1.").arg(pagePath);
    QString text;
    if (!readPageText(text)) {
        waitCursor.end();
        return fail(cantOpen, -2);
    }
    // Looked up before anything changes, so that a lost placeholder leaves
    // the page and the support files as they were.
    QTreeWidgetItem* placeholder = nullptr;
    if (!insertedElement.isNull()) {
        placeholder = findPlaceholderItem();
        if (!placeholder || !hasRole(placeholder, StartRole)) {
            waitCursor.end();
            return fail(tr("Component was not inserted"), -3);
        }
    }

    QList<QStringList> supportFiles;
    for (const DeletedComponent& deleted : qAsConst(deletedComponents)) {
        if (role(deleted.first, ComponentRole) != 0)
            supportFiles += removeDeletedComponent(text, deleted);
    }

    if (placeholder) {
        const typeComponent& component = components.at(componentIndex);
        const QString number = component.getStrMaxId();
        QString block = blockHtml;
        QString head = headHtml;
        block.replace(QLatin1String("$PAGE$"), pageBaseName())
            .replace(QLatin1String("$ID$"), idPrefix + number)
            .replace(SUFFIX, number)
            .replace(QLatin1String("$CLASS$"), className);
        head.replace(QLatin1String("$PAGE$"), pageBaseName()).replace(SUFFIX, number);
        ui->treeWidget->setCurrentItem(placeholder);
        text.insert(role(placeholder, StartRole), block);
        const int headEnd = text.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
        if (headEnd >= 0)
            text.insert(headEnd, head);
        if (result)
            *result = component.maxId + 1;
    } else if (result) {
        *result = -1;
    }
    checkScriptComments(text);

    // The old page is kept as the backup. When it cannot be moved aside the
    // page is not overwritten.
    const QString backup = pagePath + QStringLiteral(".bak");
    if (QFileInfo::exists(backup))
        QFile::remove(backup);
    if (!QFile::rename(pagePath, backup)) {
        waitCursor.end();
        return fail(cantOpen, -2);
    }
    QFile page(pagePath);
    const QByteArray bytes = PageText::encode(text, charset);
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        page.write(bytes) != bytes.size() || !page.flush()) {
        waitCursor.end();
        return fail(cantOpen, -2);
    }
    page.setPermissions(QFile::permissions(backup));
    page.close();
    // Support files go only once the page no longer refers to them.
    for (const QStringList& pathParts : qAsConst(supportFiles))
        removeFileOrFolder(pathParts);
    return 0;
}

int HtmlInserter::fail(const QString& message, int code)
{
    QMessageBox::warning(this, tr("Error"), message);
    return code;
}

QString HtmlInserter::pageBaseName() const
{
    return QFileInfo(pagePath).fileName().section(QLatin1Char('.'), 0, 0);
}

QString HtmlInserter::pageFolder() const
{
    QString folder = QFileInfo(pagePath).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QList<QStringList> HtmlInserter::removeDeletedComponent(QString& text,
                                                        const DeletedComponent& deleted)
{
    QTreeWidgetItem* item = deleted.first;
    typeComponent& component = components[role(item, ComponentRole) - 1];
    QString suffix = deleted.second.attribute(QStringLiteral("id"));
    --component.count;
    if (suffix.isEmpty() && component.count != 0)
        suffix = QString::number(component.count);
    suffix.remove(0, component.idPrefix.size());

    QList<QStringList> supportFiles;
    QStringList patterns;
    for (const QString& pattern : qAsConst(component.filePatterns)) {
        const QString named = QString(pattern).replace(SUFFIX, suffix);
        patterns << named;
        // Files shared by all instances go with the last one.
        if (pattern.contains(SUFFIX) || component.count == 0)
            supportFiles << QString(pageFolder() + named).split(QLatin1Char('/'));
    }
    const PageText::Range references = PageText::headReferences(text, patterns);
    if (references.isValid())
        removeFromHtmlText(text, references.start, references.length());
    if (hasRole(item, StartRole) && hasRole(item, EndRole))
        removeFromHtmlText(text, role(item, StartRole),
                           role(item, EndRole) - role(item, StartRole));
    return supportFiles;
}

QTreeWidgetItem* HtmlInserter::findPlaceholderItem() const
{
    const QRegularExpression name(QRegularExpression::anchoredPattern(componentName),
                                  QRegularExpression::CaseInsensitiveOption);
    const QString elementId = insertedElement.attribute(QQQID);
    QTreeWidgetItemIterator it(ui->treeWidget);
    for (; *it; ++it) {
        if (name.match((*it)->text(0)).hasMatch() &&
            (*it)->data(0, ElementIdRole).toString() == elementId)
            return *it;
    }
    return nullptr;
}

void HtmlInserter::removeFromHtmlText(QString& text, int start, int length)
{
    if (length <= 0)
        return;
    text.remove(start, length);
    for (int i = 0; i < ui->treeWidget->topLevelItemCount(); ++i)
        correctCoordinatesOfNodes(ui->treeWidget->topLevelItem(i), start, length);
    for (const DeletedComponent& deleted : qAsConst(deletedComponents))
        correctCoordinatesOfNodes(deleted.first, start, length);
}

void HtmlInserter::correctCoordinatesOfNodes(QTreeWidgetItem* item, int start, int length)
{
    for (const int offset : {int(StartRole), int(CloseStartRole), int(EndRole)}) {
        if (hasRole(item, offset) && role(item, offset) >= start + length)
            item->setData(0, offset, role(item, offset) - length);
    }
    for (int i = 0; i < item->childCount(); ++i)
        correctCoordinatesOfNodes(item->child(i), start, length);
}

void HtmlInserter::removeFileOrFolder(const QStringList& pathParts)
{
    if (pathParts.size() < 2)
        return;
    const QRegularExpression name(pathParts.last(), QRegularExpression::InvertedGreedinessOption);
    const QDir folder(pathParts.mid(0, pathParts.size() - 1).join(QLatin1Char('/')));
    if (!name.isValid() || !folder.exists())
        return;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!name.match(entry.fileName(), 0, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchoredMatchOption)
                 .hasMatch())
            continue;
        if (entry.isDir() && !entry.isSymLink())
            removeFolder(QDir(entry.filePath()));
        else
            QFile::remove(entry.filePath());
    }
}

bool HtmlInserter::removeFolder(const QDir& folder)
{
    // A link is removed, never followed: what it points to is not ours.
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            removeFolder(QDir(entry.filePath()));
        else
            QFile::remove(entry.filePath());
    }
    return !QDir().rmdir(folder.absolutePath());
}
