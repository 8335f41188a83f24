// How long the start page takes to show a long list of recent videos: from
// opening the store of 2,000 entries to the first 20 rows painted in a view,
// against reading all 2,000 project files, which is what a store that loaded
// every project up front would cost at least.

#include "benchstats.h"
#include "project/project.h"
#include "project/projectsettings.h"
#include "project/recentprojectmanager.h"
#include "project/recentprojectmodel.h"
#include "recentprojectlistitem.h"
#include "temporaryfolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QPixmap>
#include <QTableView>
#include <QTime>

#include <algorithm>
#include <cstdio>

namespace {
const int ENTRIES = 2000;
const int VISIBLE_ROWS = 20;
const int ROUNDS = 5;
const QSize ICON_SIZE(64, 36);
const int ROW_HEIGHT = 44;

QString projectFile(const TemporaryFolder& folder, int i)
{
    return folder.filePath(QStringLiteral("projects/%1.xml").arg(i));
}

// Projects as the program saves them: settings of a probed video and a
// preview picture.
QString makeStore(const TemporaryFolder& folder)
{
    QImage preview(160, 90, QImage::Format_RGB32);
    const QString storeFile = folder.filePath(QStringLiteral("projects.xml"));
    QScopedPointer<RecentProjectManager> store(CreateXmlRecentProjectManager(storeFile));
    QDir().mkpath(folder.filePath(QStringLiteral("projects")));
    for (int i = 0; i < ENTRIES; ++i) {
        const auto project = createXmlProject(QStringLiteral("/videos/clip %1.mp4").arg(i));
        project->setSettings(
            {{VIDEO_TITLE, QStringLiteral("clip %1").arg(i)},
             {VIDEO_SIZE, QSize(1280, 720)},
             {VIDEO_DURATION, QTime(0, 3, i % 60)},
             {VIDEO_BITRATE, 2500000.0 + i},
             {VIDEO_FRAMERATE, 25.0},
             {VIDEO_CODEC, QStringLiteral("h264")},
             {VIDEO_FORMATS, QStringList {VIDEO_WEBM_FORMAT, VIDEO_MPEG4_FORMAT}}});
        preview.fill(QColor::fromHsv(i % 360, 200, 200));
        project->setVideoPreview(QPixmap::fromImage(preview));
        project->save(projectFile(folder, i));
        store->addProject(project, projectFile(folder, i), -1);
    }
    store->save();
    return storeFile;
}

// From opening the store to the first rows on screen, the way the start page
// shows them.
double openAndPaint(const QString& storeFile)
{
    QElapsedTimer timer;
    timer.start();
    QSharedPointer<RecentProjectManager> store(CreateXmlRecentProjectManager(storeFile));
    RecentProjectModel model(store);
    QTableView view;
    view.setIconSize(ICON_SIZE);
    view.setItemDelegate(new RecentProjectListItem(&view));
    view.setModel(&model);
    view.hideColumn(0);
    view.hideColumn(1);
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(ROW_HEIGHT);
    view.horizontalHeader()->hide();
    view.setColumnWidth(2, 500);
    view.resize(560, ROW_HEIGHT * VISIBLE_ROWS + 2 * view.frameWidth());
    const QPixmap painted = view.grab();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    if (painted.isNull() || store->count() != ENTRIES)
        std::fprintf(stderr, "the view did not paint the store\n");
    return elapsed;
}

double loadAll(const TemporaryFolder& folder)
{
    QElapsedTimer timer;
    timer.start();
    int loaded = 0;
    for (int i = 0; i < ENTRIES; ++i)
        loaded += createXmlProject()->load(projectFile(folder, i)) ? 1 : 0;
    const double elapsed = timer.nsecsElapsed() / 1e6;
    if (loaded != ENTRIES)
        std::fprintf(stderr, "only %d of %d projects loaded\n", loaded, ENTRIES);
    return elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    TemporaryFolder folder;
    const QString storeFile = makeStore(folder);
    QVector<double> shown;
    QVector<double> all;
    // Interleaved, so that a change in machine load hits both sides alike.
    for (int round = 0; round < ROUNDS; ++round) {
        shown.append(openAndPaint(storeFile));
        all.append(loadAll(folder));
    }
    const double shownMs = median(shown);
    const double allMs = median(all);
    std::printf("recent list of %d entries, first %d rows painted: %8.1f ms\n", ENTRIES,
                VISIBLE_ROWS, shownMs);
    std::printf("loading all %d project files:                 %8.1f ms\n", ENTRIES, allMs);
    std::printf("ratio (shown / all): %.4f\n", allMs > 0 ? shownMs / allMs : 0.0);
    return 0;
}
