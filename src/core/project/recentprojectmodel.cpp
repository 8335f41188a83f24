#include "project/recentprojectmodel.h"

#include "project/project.h"
#include "project/projectsettings.h"
#include "project/recentprojectmanager.h"

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QTime>

namespace {
enum Column { CheckColumn, PreviewColumn, DescriptionColumn, RemoveColumn, ColumnCount };
} // namespace

RecentProjectModel::RecentProjectModel(QSharedPointer<RecentProjectManager> manager,
                                       QObject* parent)
    : QAbstractListModel(parent)
    , m_manager(std::move(manager))
{ }

int RecentProjectModel::rowCount(const QModelIndex&) const
{
    return m_manager->count() + 1;
}

int RecentProjectModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

void RecentProjectModel::update()
{
    emit layoutChanged();
}

QVariant RecentProjectModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() > m_manager->count())
        return {};
    if (index.row() > 0)
        return getProjectData(index, role);
    const bool text = role == Qt::DisplayRole || role == Qt::EditRole;
    if (index.column() == PreviewColumn && text)
        return QStringLiteral("<i><img src=':/add_80_48.png'/><br/><b>&nbsp;Add video</b></i>");
    if (index.column() == PreviewColumn && role == Qt::TextAlignmentRole)
        return static_cast<int>(Qt::AlignCenter);
    if (index.column() == DescriptionColumn)
        return getSpecialItemData(role);
    return {};
}

QVariant RecentProjectModel::getSpecialItemData(int role) const
{
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return tr("<i><b>Select new video...</b></i>");
    if (role == Qt::DecorationRole)
        return QPixmap(QStringLiteral(":/open.png"));
    return {};
}

// Asks the store for the project only for the cells that show it: a row that
// is never shown is never loaded.
QVariant RecentProjectModel::getProjectData(const QModelIndex& index, int role) const
{
    const auto project = [this, &index] { return m_manager->getProject(index.row() - 1); };
    switch (index.column()) {
    case CheckColumn:
        // The state as the item delegates read it: a bool would show as
        // partially checked.
        if (role == Qt::CheckStateRole)
            return static_cast<int>(m_checked.contains(project()) ? Qt::Checked : Qt::Unchecked);
        break;
    case PreviewColumn:
        if (role == Qt::DecorationRole)
            return project()->videoPreview();
        if (role == Qt::ToolTipRole)
            return getDescription(project());
        break;
    case DescriptionColumn:
        if (role == Qt::DecorationRole)
            return project()->videoPreview();
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return getDescription(project());
        break;
    case RemoveColumn:
        if (role == Qt::DecorationRole)
            return QImage(QStringLiteral(":/error.png"));
        break;
    }
    return {};
}

bool RecentProjectModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole)
        return QAbstractListModel::setData(index, value, role);
    // Row 0 and rows past the end have no project to tick.
    const QSharedPointer<Project> project = m_manager->getProject(index.row() - 1);
    if (!project)
        return false;
    if (m_checked.contains(project))
        m_checked.removeAll(project);
    else
        m_checked.append(project);
    return true;
}

Qt::ItemFlags RecentProjectModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.column() == CheckColumn)
        flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    return flags;
}

QString RecentProjectModel::getDescription(QSharedPointer<Project> project)
{
    const QMap<QString, QVariant>& settings = project->settings();
    QStringList lines;
    const QSize size = settings.value(VIDEO_SIZE).toSize();
    if (size.width() >= 1 && size.height() >= 1)
        lines << QStringLiteral("size: %1x%2").arg(size.width()).arg(size.height());
    const QTime duration = settings.value(VIDEO_DURATION).toTime();
    if (!duration.isNull())
        lines
            << QStringLiteral("duration: %1").arg(duration.toString(QStringLiteral("hh:mm:ss.z")));
    const int bitrate = settings.value(VIDEO_BITRATE).toInt();
    if (bitrate != 0)
        lines << QStringLiteral("bit rate: %1 kb/sec").arg(bitrate / 1000);
    const double framerate = settings.value(VIDEO_FRAMERATE).toDouble();
    if (framerate != 0)
        lines << QStringLiteral("frame rate: %1 fps").arg(framerate, 0, 'g', -1);
    const QString codec = settings.value(VIDEO_CODEC).toString();
    if (!codec.isEmpty())
        lines << QStringLiteral("codec: %1").arg(codec);

    if (lines.isEmpty())
        return project->videoPath();
    lines[0][0] = lines[0][0].toUpper();
    // Escaped: a file name may hold characters that are markup.
    return QStringLiteral("<p style=\"margin-top:0px;margin-bottom:0px\">%1</p>")
               .arg(project->videoPath().toHtmlEscaped()) +
        QStringLiteral("<small style=\"color:#606060\">%1</small>")
            .arg(lines.join(QStringLiteral("; ")));
}
