#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QXmlStreamReader;
class QXmlStreamWriter;

// The root element shared by the project file, the cache file and the
// recent-projects file.
extern const QString XmlRootTag;

// Writes the file beside the target and renames it over the target only when
// every byte was written, so that a failed or interrupted save leaves the
// previous file as it was. False when the file could not be written.
bool saveFileAtomically(const QString& path, const QByteArray& content);

// Writes an XML file (declaration, indented, UTF-8) whose root element holds
// what writeContent writes, with saveFileAtomically(). Also false when the
// content holds text XML cannot (control characters): such a file would not
// load again.
bool saveXmlFile(const QString& path, const std::function<void(QXmlStreamWriter&)>& writeContent);

// The text of the element the reader has just started, up to its end; child
// elements are passed over.
QString readXmlText(QXmlStreamReader& reader);
