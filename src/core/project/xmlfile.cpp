#include "project/xmlfile.h"

#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

const QString XmlRootTag = QStringLiteral("TovaLumen");

bool saveXmlFile(const QString& path, const std::function<void(QXmlStreamWriter&)>& writeContent)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QXmlStreamWriter writer(&file);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(XmlRootTag);
    writeContent(writer);
    writer.writeEndDocument();
    // The writer also fails on text that XML cannot hold (control
    // characters); such a file would not load again.
    if (writer.hasError()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString readXmlText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::SkipChildElements);
}
