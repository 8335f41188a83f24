#include "publish/publishthread.h"

#include "project/projectsettings.h"
#include "publish/ftpfilemanager.h"
#include "publish/localfilemanager.h"
#include "publish/passwordcipher.h"
#include "util/miscutils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <QSize>
#include <QTemporaryFile>
#include <QTextStream>
#include <QUrl>

#include <memory>

namespace {
// Keys that only the job itself writes: the addresses of the published files.
const QString FILES_URI = QStringLiteral("FilesUri");
const QString POSTER_URI = QStringLiteral("PosterUri");
const QString VIDEO_MPEG4_URI = QStringLiteral("VideoMpeg4Uri");
const QString VIDEO_WEBM_URI = QStringLiteral("VideoWebMUri");
const QString VIDEO_THEORA_URI = QStringLiteral("VideoTheoraUri");
const QString VIDEO_LOW_MPEG4_URI = QStringLiteral("VideoLowMpeg4Uri");
const QString VIDEO_FLASH_URI = QStringLiteral("VideoFlashUri");

const QString MEDIA_FOLDER = QStringLiteral("vudi5dozur");
const QString KEYWORDS = QStringLiteral("duvo5 rezar idurizadu");
const QString SUFFIX_PLACEHOLDER = QStringLiteral("$SUFFIX$");
const QString FLASH_PLAYER_PAGE = QStringLiteral("http://www.adobe.com/go/getflashplayer");
const QString CRLF = QStringLiteral("\r\n");

const QString NEXT_LINK_HEAD = QStringLiteral("<a class=\"next-video\" href=\"");
const QString NEXT_LINK_TAIL = QStringLiteral("\"> <span>Next Video</span><br/> <i>&gt;</i> </a>");
const QString PREV_LINK_HEAD = QStringLiteral("<a class=\"prev-video\" href=\"");
const QString PREV_LINK_TAIL =
    QStringLiteral("\"> <span>Prev Video</span><br/> <i> &lt; </i> </a>");

// Percent-encodes a relative address for an attribute: unreserved ASCII and
// "/" stay, every other UTF-8 byte becomes %XX.
QString encodeFilename(const QString& name)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(name, "/"));
}

QString escapeQuotes(QString text)
{
    return text.replace(QLatin1Char('"'), QLatin1String("&quot;"));
}

// Flash decodes its variables once more than an attribute is decoded.
QString encodeFilenameForFlash(const QString& name)
{
    return encodeFilename(name).replace(QLatin1Char('%'), QLatin1String("%25"));
}

QString trueOrFalse(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// The parts before and after the last "." of a file name.
QString completeBaseName(const QString& name)
{
    return QFileInfo(name).completeBaseName();
}

QString suffixOf(const QString& name)
{
    return QFileInfo(name).suffix();
}

QString howtoPageName(const QString& page)
{
    return completeBaseName(page) + QStringLiteral("-howto.") + suffixOf(page);
}

// Sizes and maps have no text form in a template.
QString placeholderText(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::QSize:
    case QMetaType::QVariantMap:
        return QString();
    case QMetaType::QUrl:
        return value.toUrl().toString();
    default:
        return value.toString();
    }
}
} // namespace

PublishThread::PublishThread(QObject* parent, const QMap<QString, QVariant>& parameters)
    : QThread(parent)
    , m_parameters(parameters)
{ }

PublishThread::~PublishThread()
{
    cancel();
    wait();
}

void PublishThread::cancel()
{
    m_canceled = true;
}

void PublishThread::makeUri(const QString& suffix)
{
    const bool intoPage = m_parameters.value(PUBLISH_TYPE).toString() == PUBLISH_TYPE_HTML;
    const QString page =
        m_parameters.value(intoPage ? PUBLISH_HTML : PUBLISH_INDEX_FILE).toString();
    const QString media = completeBaseName(m_parameters.value(VIDEO_SOURCE).toString())
                              .replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString files = completeBaseName(page) + QStringLiteral(".files/") + MEDIA_FOLDER +
        suffix + QLatin1Char('/');
    m_parameters.insert(FILES_URI, files);

    const struct
    {
        const QString& source;
        const QString& address;
        const char* extension;
    } outputs[] = {
        {VIDEO_POSTER_PATH, POSTER_URI, ".jpg"},
        {VIDEO_WEBM_FORMAT, VIDEO_WEBM_URI, ".webm"},
        {VIDEO_MPEG4_FORMAT, VIDEO_MPEG4_URI, ".m4v"},
        {VIDEO_LOW_MPEG4_FORMAT, VIDEO_LOW_MPEG4_URI, ".mp4"},
        {VIDEO_THEORA_FORMAT, VIDEO_THEORA_URI, ".ogv"},
    };
    for (const auto& output : outputs) {
        if (m_parameters.contains(output.source))
            m_parameters.insert(output.address,
                                QString(files + media + QLatin1String(output.extension)));
    }
    // The player lies in the media folder: it plays the MP4 by its bare name.
    if (m_parameters.value(VIDEO_FLASH).toBool() && m_parameters.contains(VIDEO_MPEG4_FORMAT))
        m_parameters.insert(VIDEO_FLASH_URI, QString(media + QStringLiteral(".m4v")));
}

QString PublishThread::createVideoElement() const
{
    const auto text = [this](const QString& key) { return m_parameters.value(key).toString(); };
    const auto flag = [this](const QString& key) { return m_parameters.value(key).toBool(); };
    const QString organization = QCoreApplication::organizationName();
    const QSize size = m_parameters.value(VIDEO_SIZE).toSize();
    const bool hasVideo = m_parameters.contains(VIDEO_MPEG4_URI) ||
        m_parameters.contains(VIDEO_WEBM_URI) || m_parameters.contains(VIDEO_THEORA_URI) ||
        m_parameters.contains(VIDEO_LOW_MPEG4_URI);

    QString html = QStringLiteral("<!-- Start %1 BODY section -->").arg(organization) + CRLF;
    html +=
        QStringLiteral("<style type=\"text/css\">.tovalumen .tlm_script{display:none}</style>") +
        CRLF;
    html += QStringLiteral("<div class=\"tovalumen\" style=\"position:relative;max-width:%1px;\">")
                .arg(size.width());
    if (hasVideo) {
        html += QStringLiteral("<video");
        if (flag(VIDEO_CONTROLS))
            html += QStringLiteral(" controls=\"controls\"");
        // One pass: a title holding "%2" stays as it is.
        html +=
            QStringLiteral(" %1 poster=\"%2\" style=\"width:100%\" title=\"%3\"")
                .arg(flag(VIDEO_AUTOPLAY) ? QStringLiteral(" autoplay=\"autoplay\"") : QString(),
                     encodeFilename(text(POSTER_URI)), escapeQuotes(text(VIDEO_TITLE)));
        if (flag(VIDEO_LOOP))
            html += QStringLiteral(" loop=\"loop\" "
                                   "onended=\"var v=this;setTimeout(function(){v.play()},300)\"");
        html += QLatin1Char('>') + CRLF;
    }
    const struct
    {
        const QString& address;
        const char* type;
    } sources[] = {
        {VIDEO_MPEG4_URI, " type=\"video/mp4\""},
        {VIDEO_WEBM_URI, " type=\"video/webm\""},
        {VIDEO_THEORA_URI, " type=\"video/ogg\""},
        {VIDEO_LOW_MPEG4_URI, ""},
    };
    for (const auto& source : sources) {
        if (m_parameters.contains(source.address))
            html += QStringLiteral("<source src=\"%1\"%2 />")
                        .arg(encodeFilename(text(source.address)), QLatin1String(source.type)) +
                CRLF;
    }
    if (flag(VIDEO_FLASH) && m_parameters.contains(VIDEO_MPEG4_URI)) {
        QString flash =
            QStringLiteral("<object type=\"application/x-shockwave-flash\" "
                           "data=\"@FILES_URI@plavex.swf\" width=\"@WIDTH@\" height=\"@HEIGHT@\" "
                           "style=\"position:relative;\">") +
            CRLF + QStringLiteral("<param name=\"movie\" value=\"@FILES_URI@plavex.swf\" />") +
            CRLF + QStringLiteral("<param name=\"allowFullScreen\" value=\"true\" />") + CRLF +
            QStringLiteral("<param name=\"flashVars\" value=\"autoplay=@VIDEO_AUTOPLAY@&amp;"
                           "controls=@VIDEO_CONTROLS@&amp;fullScreenEnabled=@VIDEO_CONTROLS@&amp;"
                           "posterOnEnd=true&amp;loop=@VIDEO_LOOP@&amp;"
                           "poster=@VIDEO_POSTER_URI_FLASH@&amp;src=@VIDEO_FLASH_URI@\" />") +
            CRLF +
            QStringLiteral(" <embed src=\"@FILES_URI@plavex.swf\" width=\"@WIDTH@\" "
                           "height=\"@HEIGHT@\" style=\"position:relative;\" ") +
            QStringLiteral(" flashVars=\"autoplay=@VIDEO_AUTOPLAY@&amp;controls=@VIDEO_CONTROLS@"
                           "&amp;fullScreenEnabled=@VIDEO_CONTROLS@&amp;posterOnEnd=true&amp;"
                           "loop=@VIDEO_LOOP@&amp;poster=@VIDEO_POSTER_URI_FLASH@&amp;"
                           "src=@VIDEO_FLASH_URI@\"") +
            QStringLiteral("\tallowFullScreen=\"true\" wmode=\"transparent\" "
                           "type=\"application/x-shockwave-flash\" pluginspage=\"") +
            FLASH_PLAYER_PAGE + QStringLiteral("\" />") + CRLF +
            QStringLiteral("<img alt=\"@VIDEO_TITLE@\" src=\"@VIDEO_POSTER_URI@\" "
                           "style=\"position:absolute;left:0;\" width=\"100%\" "
                           "title=\"Video playback is not supported by your browser\" />") +
            CRLF + QStringLiteral("</object>") + CRLF;
        // In this order: a later marker is also replaced in text that an
        // earlier one put in.
        flash.replace(QStringLiteral("@FILES_URI@"), encodeFilename(text(FILES_URI)));
        flash.replace(QStringLiteral("@VIDEO_AUTOPLAY@"), trueOrFalse(flag(VIDEO_AUTOPLAY)));
        flash.replace(QStringLiteral("@VIDEO_CONTROLS@"), trueOrFalse(flag(VIDEO_CONTROLS)));
        flash.replace(QStringLiteral("@VIDEO_LOOP@"), trueOrFalse(flag(VIDEO_LOOP)));
        flash.replace(QStringLiteral("@VIDEO_POSTER_URI_FLASH@"),
                      encodeFilenameForFlash(text(POSTER_URI)));
        flash.replace(QStringLiteral("@VIDEO_FLASH_URI@"),
                      encodeFilenameForFlash(text(VIDEO_FLASH_URI)));
        flash.replace(QStringLiteral("@VIDEO_TITLE@"), escapeQuotes(text(VIDEO_TITLE)));
        flash.replace(QStringLiteral("@VIDEO_POSTER_URI@"), encodeFilename(text(POSTER_URI)));
        flash.replace(QStringLiteral("@WIDTH@"), QString::number(size.width()));
        flash.replace(QStringLiteral("@HEIGHT@"), QString::number(size.height()));
        html += flash;
    }
    if (hasVideo)
        html += QStringLiteral("</video>");
    html += QStringLiteral("<div class=\"tlm_script\"><a href=\"http://%1\">%2</a> by %3 v%4</div>")
                .arg(QCoreApplication::organizationDomain(), KEYWORDS, organization,
                     QCoreApplication::applicationVersion());
    html += QStringLiteral("</div>") + CRLF;
    html += QStringLiteral("<script src=\"%1html5ext.js\" type=\"text/javascript\"></script>")
                .arg(encodeFilename(text(FILES_URI))) +
        CRLF;
    html += QStringLiteral("<!-- End %1 BODY section -->").arg(organization) + CRLF;
    return html;
}

QString PublishThread::publishingFolder() const
{
    const QString type = m_parameters.value(PUBLISH_TYPE).toString();
    QString folder = type == PUBLISH_TYPE_HTML
        ? QFileInfo(m_parameters.value(PUBLISH_HTML).toString()).path()
        : m_parameters.value(PUBLISH_PATH).toString();
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (type == PUBLISH_TYPE_FTP && !folder.startsWith(QLatin1Char('/')))
        folder.prepend(QLatin1Char('/'));
    return folder;
}

void PublishThread::setBatchLinks()
{
    QString next;
    QString previous;
    if (m_parameters.contains(PUBLISH_BATCH_COUNT)) {
        const int index = m_parameters.value(PUBLISH_BATCH_INDEX).toInt();
        const int count = m_parameters.value(PUBLISH_BATCH_COUNT).toInt();
        const QString page = m_parameters.value(PUBLISH_INDEX_FILE).toString();
        const QString base = completeBaseName(page);
        const QString suffix = suffixOf(page);
        const auto number = [](int i) { return i == 0 ? QString() : QString::number(i); };
        m_parameters.insert(PUBLISH_INDEX_FILE,
                            QString(base + number(index) + QLatin1Char('.') + suffix));
        if (index < count - 1)
            next = NEXT_LINK_HEAD + base + QString::number(index + 1) + QStringLiteral("-howto.") +
                suffix + NEXT_LINK_TAIL;
        if (index >= 1)
            previous = PREV_LINK_HEAD + base + number(index - 1) + QStringLiteral("-howto.") +
                suffix + PREV_LINK_TAIL;
    }
    m_parameters.insert(PUBLISH_NEXT_VIDEO, next);
    m_parameters.insert(PUBLISH_PREV_VIDEO, previous);
}

void PublishThread::run()
{
    const QString folder = publishingFolder();
    emit step(tr("Generating HTML code"));
    const QString templates = getResourcesPath() + QStringLiteral("/publish/");
    setBatchLinks();
    const QString howtoName = howtoPageName(m_parameters.value(PUBLISH_INDEX_FILE).toString());

    // Removed when the job ends.
    QTemporaryFile page;
    QTemporaryFile howto;
    QTemporaryFile script;
    if (m_parameters.value(PUBLISH_TYPE).toString() != PUBLISH_TYPE_HTML &&
        !preparePages(templates, page, howto))
        return;

    emit progress(10, 100);
    emit step(tr("Copying files"));
    if (!gatherFiles(folder, templates, howtoName, page, howto, script))
        return;
    const std::unique_ptr<FileManager> target(createTarget());
    if (!target) {
        fail(QString());
        return;
    }
    copyFiles(*target);
    if (m_hasError)
        return;
    emit progress(100, 100);
    m_finished = true;
}

QString PublishThread::restoreDollarSigns(QString block)
{
    block.replace(QStringLiteral("%2524"), QStringLiteral("$"));
    block.replace(QStringLiteral("%24"), QStringLiteral("$"));
    return block;
}

bool PublishThread::preparePages(const QString& templates, QTemporaryFile& page,
                                 QTemporaryFile& howto)
{
    QString block = restoreDollarSigns(createVideoElement());
    block.remove(SUFFIX_PLACEHOLDER);
    QString message = prepareExportFile(templates + QStringLiteral("index.html"), block, page);
    if (message.isEmpty())
        message = prepareExportFile(templates + QStringLiteral("howto.html"), block, howto);
    if (!message.isEmpty()) {
        fail(message);
        return false;
    }
    return true;
}

bool PublishThread::gatherFiles(const QString& folder, const QString& templates,
                                const QString& howtoName, QTemporaryFile& page,
                                QTemporaryFile& howto, QTemporaryFile& script)
{
    const auto text = [this](const QString& key) { return m_parameters.value(key).toString(); };
    const QString files = folder + text(FILES_URI);
    m_files.clear();
    if (text(PUBLISH_TYPE) != PUBLISH_TYPE_HTML) {
        m_files.insert(page.fileName(), folder + text(PUBLISH_INDEX_FILE));
        m_files.insert(howto.fileName(), folder + howtoName);
    }
    const std::pair<const QString&, const QString&> outputs[] = {
        {VIDEO_POSTER_PATH, POSTER_URI},         {VIDEO_WEBM_FORMAT, VIDEO_WEBM_URI},
        {VIDEO_MPEG4_FORMAT, VIDEO_MPEG4_URI},   {VIDEO_LOW_MPEG4_FORMAT, VIDEO_LOW_MPEG4_URI},
        {VIDEO_THEORA_FORMAT, VIDEO_THEORA_URI},
    };
    for (const auto& [source, address] : outputs) {
        if (m_parameters.contains(source))
            m_files.insert(text(source), folder + text(address));
    }
    if (m_parameters.contains(VIDEO_MPEG4_FORMAT) && m_parameters.value(VIDEO_FLASH).toBool())
        m_files.insert(templates + QStringLiteral("plavex.swf"),
                       files + QStringLiteral("plavex.swf"));
    m_files.insert(templates + QStringLiteral(".htaccess"), files + QStringLiteral(".htaccess"));

    const QString scriptTemplate = templates + QStringLiteral("html5ext.js");
    QString scriptText;
    if (!readFile(scriptTemplate, scriptText)) {
        fail(tr("Failed to read the file '%1'").arg(scriptTemplate));
        return false;
    }
    const QString message = writeTempFile(scriptText, script);
    if (!message.isEmpty()) {
        fail(message);
        return false;
    }
    m_files.insert(script.fileName(), files + QStringLiteral("html5ext.js"));
    if (m_parameters.value(VIDEO_CONTROLS).toBool())
        m_files.insert(templates + QStringLiteral("fullscreen.png"),
                       files + QStringLiteral("fullscreen.png"));
    return true;
}

FileManager* PublishThread::createTarget() const
{
    const QString type = m_parameters.value(PUBLISH_TYPE).toString();
    if (type == PUBLISH_TYPE_LOCAL || type == PUBLISH_TYPE_HTML)
        return new LocalFileManager;
    if (type != PUBLISH_TYPE_FTP)
        return nullptr;
    QUrl server = m_parameters.value(PUBLISH_FTP_SERVER).toUrl();
    const QString password = server.password(QUrl::FullyDecoded);
    if (!password.isEmpty())
        server.setPassword(decrypt(password), QUrl::DecodedMode);
    return new FtpFileManager(server);
}

QString PublishThread::prepareExportFile(const QString& templatePath, const QString& videoBlock,
                                         QTemporaryFile& file) const
{
    QString text;
    if (!readFile(templatePath, text))
        return tr("Failed to read the file '%1'").arg(templatePath);
    QString codeText = videoBlock;
    codeText.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QStringLiteral("$keywords$"), KEYWORDS);
    text.replace(QStringLiteral("$video$"), videoBlock);
    text.replace(QStringLiteral("$videoText$"), codeText);
    text.replace(QStringLiteral("$orgname$"), QCoreApplication::organizationName());
    text.replace(QStringLiteral("$baseName$"),
                 completeBaseName(m_parameters.value(PUBLISH_INDEX_FILE).toString()));
    for (auto it = m_parameters.cbegin(); it != m_parameters.cend(); ++it)
        text.replace(QLatin1Char('$') + it.key() + QLatin1Char('$'), placeholderText(it.value()));
    return writeTempFile(text, file);
}

QString PublishThread::writeTempFile(const QString& text, QTemporaryFile& file)
{
    file.setAutoRemove(true);
    const QByteArray bytes = text.toUtf8();
    // A short write (a full disk) would publish a cut page.
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return tr("Failed to create a temporary file");
    return QString();
}

bool PublishThread::readFile(const QString& path, QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextStream stream(&file); // the locale's encoding, unless a byte-order mark says otherwise
    text = stream.readAll();
    return true;
}

void PublishThread::copyFiles(FileManager& target)
{
    QSet<QString> madeFolders;
    int copied = 0;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (m_canceled)
            return;
        const QString& destination = it.value();
        emit item(destination);
        const QString folder = QFileInfo(destination).path();
        if (!madeFolders.contains(folder)) {
            if (!target.mkpath(folder)) {
                fail(target.errorString());
                return;
            }
            madeFolders.insert(folder);
        }
        if (!target.putfile(destination, it.key())) {
            fail(target.errorString());
            return;
        }
        ++copied;
        emit progress(10 + 90 * copied / m_files.size(), 100);
    }
}

void PublishThread::fail(const QString& error)
{
    m_error = error;
    m_hasError = true;
}
