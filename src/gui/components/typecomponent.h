#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWebElement;

// An element that directly follows an instance of a component and belongs to
// it: its tag and, when attribute is not empty, the value that attribute has.
struct additionalTag
{
    QString tag;
    QString attribute;
    QString value;
};

// One kind of block that the page insertion wizard recognises in a page and
// can insert: this program's video block and the blocks of other
// page-authoring tools. An instance is the element with the given tag whose id
// begins with idPrefix (followed by its number) or whose whole class (or
// class_name) is className.
class typeComponent
{
public:
    QString name;
    QString tag;
    QString idPrefix;
    QString className;
    // Shown in the preview in place of an instance; "$SUFFIX$" stands for the
    // instance number.
    QString maket;
    // Support files and folders of an instance, relative to the page's folder:
    // "$PAGE$" is the page's base name, "$SUFFIX$" the instance number, and the
    // last path component is a regular expression.
    QStringList filePatterns;
    QList<additionalTag> additionalTags;
    // Highest instance number on the page (-1: none) and number of instances.
    int maxId = -1;
    int count = 0;

    bool containsElement(const QWebElement& element) const;
    // The number of the next new instance as text; empty for the first one.
    QString getStrMaxId() const;
};

// The component table, in the order recognition tries the rows.
void initComponents(QList<typeComponent>& components);
// Elements shown without children in the element tree.
void initIndivisibleTags(QStringList& tags);
// The only elements a block may be inserted into or next to a child of.
void initAvailableTagsAppendTo(QStringList& tags);
// File names (regular expressions) of script libraries that a page should
// include only once.
void initCommentScripts(QStringList& patterns);
