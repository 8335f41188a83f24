#include "project/project.h"
#include "project/serialize.h"
#include "project/xmlfile.h"
#include "project/xmlvideocache.h"
#include "util/miscutils.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
const QString ProjectTag = QStringLiteral("Project");
const QString IdTag = QStringLiteral("Id");
const QString VideoPathTag = QStringLiteral("VideoPath");
const QString SettingsTag = QStringLiteral("Settings");
const QString VersionAttribute = QStringLiteral("version");
const QString Version = QStringLiteral("1.0");

QString previewFile(const QString& file)
{
    return changeFileExt(file, QStringLiteral("png"));
}

QString cacheFile(const QString& file)
{
    return changeFileExt(file, QStringLiteral("cache"));
}

// A project stored as an XML file, with its preview picture and its cache in
// companion files of the same base name.
class XmlProject : public Project
{
public:
    explicit XmlProject(const QUuid& id, const QString& videoPath = QString())
        : m_id(id)
        , m_videoPath(videoPath)
    { }

    QUuid id() const override { return m_id; }
    QString videoPath() const override { return m_videoPath; }
    QPixmap videoPreview() const override { return m_preview; }
    void setVideoPreview(const QPixmap& preview) override { m_preview = preview; }
    const QMap<QString, QVariant>& settings() const override { return m_settings; }
    QMap<QString, QVariant>& rsettings() override { return m_settings; }
    void setSettings(const QMap<QString, QVariant>& settings) override { m_settings = settings; }
    VideoCache* getVideoCache() const override;
    bool load(const QString& file) override;
    bool save(const QString& file) override;

private:
    bool readProject(QXmlStreamReader& reader);
    void savePreview(const QString& file) const;

    QUuid m_id;
    QString m_videoPath;
    QPixmap m_preview;
    QMap<QString, QVariant> m_settings;
    QString m_cacheFile;
    // The cache is read from its file on first use only: most loaded projects
    // are only listed, never converted.
    mutable bool m_cacheLoaded = false;
    mutable XmlVideoCache m_cache;
};

VideoCache* XmlProject::getVideoCache() const
{
    if (!m_cacheLoaded && !m_cacheFile.isEmpty()) {
        m_cache.load(m_cacheFile);
        m_cacheLoaded = true;
    }
    return &m_cache;
}

bool XmlProject::save(const QString& file)
{
    const bool saved = saveXmlFile(file, [this](QXmlStreamWriter& writer) {
        writer.writeStartElement(ProjectTag);
        writer.writeAttribute(VersionAttribute, Version);
        writer.writeTextElement(IdTag, m_id.toString());
        writer.writeTextElement(VideoPathTag, m_videoPath);
        writer.writeStartElement(SettingsTag);
        Serialize(writer, m_settings);
        writer.writeEndElement();
        writer.writeEndElement();
    });
    if (!saved)
        return false;
    if (!m_preview.isNull())
        savePreview(previewFile(file));
    // Reads the cache first when it is still only on disk, so that its entries
    // are written back.
    getVideoCache();
    m_cache.save(cacheFile(file));
    return true;
}

void XmlProject::savePreview(const QString& file) const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (m_preview.save(&buffer, "PNG"))
        saveFileAtomically(file, png);
}

bool XmlProject::load(const QString& file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader reader(&input);
    while (!reader.atEnd()) {
        // Elements around the root are passed by: their contents are read on.
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != XmlRootTag)
            continue;
        while (reader.readNextStartElement()) {
            if (reader.name() != ProjectTag)
                reader.skipCurrentElement();
            else if (!readProject(reader))
                return false;
        }
    }
    if (reader.hasError())
        return false;
    const QString preview = previewFile(file);
    if (QFile::exists(preview) && !m_preview.load(preview, "PNG"))
        return false;
    m_cacheFile = cacheFile(file);
    m_cacheLoaded = false;
    return true;
}

// False when the project has another version or lacks its id or video path.
bool XmlProject::readProject(QXmlStreamReader& reader)
{
    if (reader.attributes().value(VersionAttribute) != Version) {
        reader.raiseError(QStringLiteral("Project version is unsupported."));
        return false;
    }
    while (reader.readNextStartElement()) {
        if (reader.name() == IdTag)
            m_id = QUuid(readXmlText(reader));
        else if (reader.name() == VideoPathTag)
            m_videoPath = readXmlText(reader);
        else if (reader.name() == SettingsTag)
            Deserialize(reader, m_settings);
        else
            reader.skipCurrentElement();
    }
    return !m_id.isNull() && !m_videoPath.isEmpty();
}
} // namespace

QSharedPointer<Project> createXmlProject()
{
    return QSharedPointer<XmlProject>::create(QUuid());
}

QSharedPointer<Project> createXmlProject(const QString& videoPath)
{
    return QSharedPointer<XmlProject>::create(QUuid::createUuid(), videoPath);
}

void removeXmlProject(const QString& file)
{
    XmlVideoCache cache;
    cache.load(cacheFile(file));
    cache.clear();
    QFile::remove(cacheFile(file));
    QFile::remove(file);
    QFile::remove(previewFile(file));
}
