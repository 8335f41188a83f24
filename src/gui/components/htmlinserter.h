#pragma once

#include "components/typecomponent.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QWebElement>

class QDir;
class QTreeWidgetItem;
class PreviewPage;

namespace Ui {
class HtmlInserter;
}

// The page insertion wizard: shows an existing HTML page in a live preview
// beside the tree of its elements, lets the user place a placeholder for a new
// block before, after or inside an element, delete blocks inserted earlier,
// and writes the page back. Saving edits the text of the page file at the
// offsets recorded while the tree was built, never a serialisation of the
// preview, so everything the user did not touch stays as it was.
class HtmlInserter : public QDialog
{
    Q_OBJECT
    friend class HtmlInserterTest;

public:
    // Data of the element tree's items, all in column 0. The offsets count
    // characters of the decoded page text.
    enum ItemRole {
        // Component row + 1 of a recognised component; 1 for the placeholder.
        ComponentRole = Qt::UserRole + 1,
        // The number in the element's "qqqid" attribute in the preview.
        ElementIdRole,
        TagRole,
        // Where the opening tag starts; for the placeholder, where the block goes.
        StartRole,
        // Just after the opening tag.
        OpenEndRole,
        // The first tag after the element's children (usually its closing tag).
        CloseStartRole,
        // Just after the element.
        EndRole,
    };

    explicit HtmlInserter(QWidget* parent = nullptr);
    ~HtmlInserter() override;

    // Lets the user place the component's block in the page and saves the
    // page. Returns 0 when the page was saved, -1 when the user cancelled, -2
    // when the page could not be read or written, -3 when the placeholder was
    // lost. *result receives the new block's number (0 for the first block of
    // its kind on the page), or -1 when no block was placed.
    int pageInsertRun(QString componentName, const QString& headHtml, const QString& blockHtml,
                      const QString& pagePath, int* result);
    // Loads the page and runs the dialog: 0 when the user saved, -1 otherwise.
    int pagePreInsert(QString componentName, const QString& pagePath, int* result);
    // Writes the page with the user's edits; returns 0, -2 or -3 as above.
    int savePage(const QString& blockHtml, const QString& headHtml);

    // The element shown in the preview in place of a component instance.
    static QString generateMaket(QString idPrefix, int number, QString className, int elementId,
                                 QString maket);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void loadFinished(bool ok);
    void on_treeWidget_currentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void on_treeWidget_itemSelectionChanged();
    void on_treeWidget_itemExpanded(QTreeWidgetItem* item);
    void changeColor();
    void on_toolButton_Insert_clicked();
    void on_toolButton_InsertAfter_clicked();
    void on_toolButton_Prepend_clicked();
    void on_toolButton_Append_clicked();
    void on_toolButton_Delete_clicked();
    void on_toolButton_Undo_clicked();
    void on_toolButton_Publish_clicked();
    void on_toolButton_Cancel_clicked();
    void onClose();

private:
    struct InsertMode;
    struct SavedStyle
    {
        QString style;
        bool hadStyleAttribute = false;
    };
    using DeletedComponent = QPair<QTreeWidgetItem*, QWebElement>;

    // Loading and the element tree.
    void loadPage();
    QString findCharset() const;
    bool readPageText(QString& text) const;
    void OpenDocument();
    bool AddDomNode(QWebElement& element, QTreeWidgetItem* parent, QString& text, int& position);
    void replaceByMockups(const QList<QPair<int, QWebElement>>& componentChildren);
    QWebElement elementOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* findItem(const QString& elementId) const;
    QWebElement elementAt(const QPoint& point) const;

    // Selection and highlight.
    void selectElementAt(const QPoint& point);
    void SelectWebElement(QWebElement element);
    void DeSelectWebElement(QWebElement element);
    void setLabelColor();
    void updateInsertButtons(const QTreeWidgetItem* item);
    void setDisabledButtons(bool disabled);
    void setDeleteEnabled(bool enabled);

    // Components.
    void InitComponents();
    int scanComponent(QWebElement& element);
    bool IsIndividible(const QString& tag) const;
    bool IsAvailableAppendTo(const QString& tag) const;
    int delScriptsAfterComponentsFromDOMTree(QTreeWidgetItem* item);
    void attachSibling(QTreeWidgetItem* component, int index, QWebElement& element);
    static bool refersToFiles(const QString& source, const typeComponent& component);
    void pullComments(QTreeWidgetItem* item);
    void clearIndividibleNodes(QTreeWidgetItem* item);
    void checkScriptComments(QString& text);

    // Editing.
    void insertPlaceholder(const InsertMode& mode);
    QTreeWidgetItem* generateTreeWidgetItem();
    void clearDeletedComponents();

    // Saving.
    QString pageBaseName() const;
    QString pageFolder() const;
    // Cuts the component and its head references out of the text; returns its
    // support files (folder parts and a name pattern) for removal.
    QList<QStringList> removeDeletedComponent(QString& text, const DeletedComponent& deleted);
    QTreeWidgetItem* findPlaceholderItem() const;
    void removeFromHtmlText(QString& text, int start, int length);
    void correctCoordinatesOfNodes(QTreeWidgetItem* item, int start, int length);
    // Removes every file and folder matching the last part, in the folder the
    // other parts name.
    void removeFileOrFolder(const QStringList& pathParts);
    // Removes the folder with its contents; true when the folder itself stays.
    static bool removeFolder(const QDir& folder);
    int fail(const QString& message, int code);

    Ui::HtmlInserter* ui;
    PreviewPage* preview;
    QString pagePath;
    QColor selectionColor = Qt::yellow;
    SavedStyle savedStyle;
    QString componentName;
    int componentIndex = -1;
    QString idPrefix;
    QString className;
    QString maket;
    QString charset = QStringLiteral("UTF-8");
    int* result = nullptr;
    int elementCounter = 0;
    // Set while a load that the wizard started is under way.
    bool loading = false;
    // The page text read when the tree was built; the tree's offsets refer to it.
    QString documentText;
    QWebElement selectedElement;
    QWebElement insertedElement;
    QList<DeletedComponent> deletedComponents;
    QStringList indivisibleTags;
    QStringList availableTagsAppendTo;
    QStringList commentScripts;
    QList<typeComponent> components;
};
