#include "project/xmlvideocache.h"

#include "encoding/videoencoderparameters.h"
#include "project/serialize.h"
#include "project/xmlfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
const QString& RootTag = XmlRootTag;
const QString VideoCacheTag = QStringLiteral("VideoCache");
const QString VideoFileTag = QStringLiteral("VideoFile");
const QString PathTag = QStringLiteral("Path");
const QString LastModifiedTag = QStringLiteral("LastModified");
const QString SizeTag = QStringLiteral("Size");
const QString EncodingParametersTag = QStringLiteral("EncodingParameters");
const QString VersionAttribute = QStringLiteral("version");
const QString Version = QStringLiteral("1.0");
} // namespace

QMap<QString, QVariant> extractSavedParameters(const QMap<QString, QVariant>& parameters)
{
    QMap<QString, QVariant> saved;
    for (const QString& key : VideoEncoderParameters::SAVED_ENCODE_PARAMS) {
        const auto found = parameters.constFind(key);
        if (found != parameters.cend())
            saved.insert(key, found.value());
    }
    return saved;
}

XmlVideoCache::XmlVideoCache() = default;

QString XmlVideoCache::getVideo(const QMap<QString, QVariant>& parameters) const
{
    return m_videos.value(Key {extractSavedParameters(parameters)}).path;
}

void XmlVideoCache::addVideo(const QMap<QString, QVariant>& parameters, const QString& path)
{
    const QFileInfo file(path);
    insert({extractSavedParameters(parameters), path, file.lastModified(), file.size()});
}

void XmlVideoCache::clear()
{
    for (const EncodedVideo& video : qAsConst(m_videos))
        QFile::remove(video.path);
    m_videos.clear();
}

bool XmlVideoCache::isFileValid(const EncodedVideo& video) const
{
    const QFileInfo file(video.path);
    return file.exists() && file.lastModified() == video.lastModified && file.size() == video.size;
}

void XmlVideoCache::insert(const EncodedVideo& video)
{
    m_videos.insert(Key {video.parameters}, video);
}

bool XmlVideoCache::save(const QString& file) const
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    return saveXmlFile(file, [this](QXmlStreamWriter& writer) {
        writer.writeStartElement(VideoCacheTag);
        writer.writeAttribute(VersionAttribute, Version);
        for (const EncodedVideo& video : m_videos) {
            writer.writeStartElement(VideoFileTag);
            writer.writeTextElement(PathTag, video.path);
            writer.writeTextElement(LastModifiedTag,
                                    QString::number(video.lastModified.toMSecsSinceEpoch()));
            writer.writeTextElement(SizeTag, QString::number(video.size));
            writer.writeStartElement(EncodingParametersTag);
            Serialize(writer, video.parameters);
            writer.writeEndElement();
            writer.writeEndElement();
        }
        writer.writeEndElement();
    });
}

bool XmlVideoCache::load(const QString& file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    m_videos.clear();
    QXmlStreamReader reader(&input);
    // Elements around the cache element are passed by, not skipped: their
    // contents are read on.
    int rootLevel = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == RootTag)
            ++rootLevel;
        else if (reader.isEndElement() && reader.name() == RootTag)
            --rootLevel;
        else if (reader.isStartElement() && rootLevel > 0 && reader.name() == VideoCacheTag)
            readEntries(reader);
    }
    return !reader.hasError();
}

void XmlVideoCache::readEntries(QXmlStreamReader& reader)
{
    const QStringRef version = reader.attributes().value(VersionAttribute);
    if (version != Version) {
        reader.raiseError(QStringLiteral("File version '%1' is unsupported.").arg(version));
        return;
    }
    while (reader.readNextStartElement()) {
        if (reader.name() == VideoFileTag)
            readEntry(reader);
        else
            reader.skipCurrentElement();
    }
}

void XmlVideoCache::readEntry(QXmlStreamReader& reader)
{
    EncodedVideo video;
    while (reader.readNextStartElement()) {
        if (reader.name() == PathTag) {
            video.path = readXmlText(reader);
        } else if (reader.name() == LastModifiedTag) {
            video.lastModified = QDateTime::fromMSecsSinceEpoch(
                static_cast<qint64>(readXmlText(reader).toULongLong()));
        } else if (reader.name() == SizeTag) {
            video.size = readXmlText(reader).toLongLong();
        } else if (reader.name() == EncodingParametersTag) {
            Deserialize(reader, video.parameters);
        } else {
            reader.skipCurrentElement();
        }
    }
    if (!reader.hasError() && isFileValid(video))
        insert(video);
}
