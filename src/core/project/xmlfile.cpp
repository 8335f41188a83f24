#include "project/xmlfile.h"

#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

const QString XmlRootTag = QStringLiteral("TovaLumen");

bool saveFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    // Unbuffered: QSaveFile::commit() does not notice a failure of the final
    // flush of a buffered file and would put a truncated file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool saveXmlFile(const QString& path, const std::function<void(QXmlStreamWriter&)>& writeContent)
{
    QByteArray content;
    QXmlStreamWriter writer(&content);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(XmlRootTag);
    writeContent(writer);
    writer.writeEndDocument();
    return !writer.hasError() && saveFileAtomically(path, content);
}

QString readXmlText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::SkipChildElements);
}
