#pragma once

#include <QString>

#include <functional>

class QXmlStreamReader;
class QXmlStreamWriter;

// The root element shared by the project file, the cache file and the
// recent-projects file.
extern const QString XmlRootTag;

// Writes an XML file (declaration, indented, UTF-8) whose root element holds
// what writeContent writes. The file is written beside the target and renamed
// over it only when everything was written, so a failed or interrupted save
// leaves the previous file as it was. False when the file could not be
// written.
bool saveXmlFile(const QString& path, const std::function<void(QXmlStreamWriter&)>& writeContent);

// The text of the element the reader has just started, up to its end; child
// elements are passed over.
QString readXmlText(QXmlStreamReader& reader);
