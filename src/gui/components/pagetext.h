#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Work on the text of an HTML page. The page insertion wizard edits the page
// file's own text at character offsets, so that everything the user did not
// touch stays exactly as it was in the file.
namespace PageText {

// A stretch of text, [start, end). Invalid (start -1) when nothing was found.
struct Range
{
    int start = -1;
    int end = -1;
    bool isValid() const { return start >= 0; }
    int length() const { return end - start; }
};

// The text with every comment (also "<!...>" and "<?...>") and the contents of
// every element whose contents the browser does not read as markup (script,
// style, textarea, title, xmp, iframe, noembed, noframes) overwritten with
// spaces. Offsets stay as they are; tag searches in the result see only the
// tags that the browser builds elements from.
QString maskNonMarkup(const QString& text);

// The tag that opens the element named tagName, at or after from: "<name"
// followed by white space, "/" or ">" up to the next ">" (any letter case). A
// closing tag of that name counts as well, because the browser makes an element
// of a stray one (a "</p>" without its paragraph).
Range findElementTag(const QString& text, const QString& tagName, int from);

// The first tag ("<" up to the next ">" without another "<" between) at or after from.
Range findNextTag(const QString& text, int from);

// Whether the tag text is the closing tag of the element named tagName.
bool isClosingTag(const QString& tag, const QString& tagName);

// The range widened over a comment that directly precedes it and one that
// directly follows it; only white space may stand between the range and such
// a comment. A comment holding "<" or ">" does not count.
Range widenOverComments(const QString& text, Range range);

// The first run of tags in the head that refer to files matching one of the
// patterns (regular expressions), with a comment directly before it and one
// after it; invalid when the head (up to the first "</head>") has none.
Range headReferences(const QString& text, const QStringList& patterns);

// Keeps one active inclusion of each script library in the head: for every
// pattern, the first inclusion before "</head>" is made active (a commented-out
// one is restored) and every later one is commented out. Nothing is done when
// the text has no "</head>".
void keepOneScriptInclusion(QString& text, const QStringList& patterns);

// The charset named in a meta element's content ("text/html; charset=koi8-r"
// gives "koi8-r"); empty when it names none.
QString charsetFromContent(const QString& content);

// The charset the page is read and written with: the named one when the text
// library knows it. Otherwise UTF-8, unless the bytes are not valid UTF-8: then
// ISO-8859-1, which reads and writes every byte as it is.
QString effectiveCharset(const QString& named, const QByteArray& data);

// The page's bytes as text in the charset (a byte-order mark is kept as a
// character, so that writing the text back restores it), and back.
QString decode(const QByteArray& data, const QString& charset);
QByteArray encode(const QString& text, const QString& charset);

} // namespace PageText
