#include "project/project.h"
#include "project/projectsettings.h"
#include "project/recentprojectmanager.h"
#include "project/recentprojectmodel.h"
#include "recentprojects.h"

#include <QImage>
#include <QPixmap>
#include <QTest>

namespace {
const QString AddVideo =
    QStringLiteral("<i><img src=':/add_80_48.png'/><br/><b>&nbsp;Add video</b></i>");
const QString SelectVideo = QStringLiteral("<i><b>Select new video...</b></i>");
const QString Paragraph = QStringLiteral("<p style=\"margin-top:0px;margin-bottom:0px\">%1</p>");
const QString Small = QStringLiteral("<small style=\"color:#606060\">%1</small>");

// Pictures compare by their pixels.
QVariant comparable(const QVariant& value)
{
    if (value.userType() == QMetaType::QPixmap)
        return value.value<QPixmap>().toImage().convertToFormat(QImage::Format_ARGB32);
    if (value.userType() == QMetaType::QImage)
        return value.value<QImage>().convertToFormat(QImage::Format_ARGB32);
    return value;
}

QVariant resourceImage(const QString& name)
{
    return QImage(name).convertToFormat(QImage::Format_ARGB32);
}
} // namespace

class TestRecentProjectModel : public QObject
{
    Q_OBJECT
private slots:
    void emptyStore();
    void data_data();
    void data();
    void flags_data();
    void flags();
    void tickingToggles();
    void description_data();
    void description();
    void updateTellsTheViews();
};

void TestRecentProjectModel::emptyStore()
{
    RecentProjects fixture {QList<QVariantMap>()};
    QCOMPARE(fixture.model->rowCount(), 1);
    QCOMPARE(fixture.model->columnCount(), 4);
    const QModelIndex special = fixture.model->index(0, 2);
    QCOMPARE(special.data().toString(), SelectVideo);
    const QImage open = comparable(special.data(Qt::DecorationRole)).value<QImage>();
    QVERIFY(!open.isNull());
    QCOMPARE(QVariant(open), resourceImage(QStringLiteral(":/open.png")));
    QVERIFY(!fixture.model->index(1, 0).isValid());
}

void TestRecentProjectModel::data_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    const QString description =
        Paragraph.arg(QStringLiteral("/v/0.mp4")) + Small.arg(QStringLiteral("Codec: vp8"));
    const QVariant none;
    QTest::newRow("add video text") << 0 << 1 << int(Qt::DisplayRole) << QVariant(AddVideo);
    QTest::newRow("add video edit") << 0 << 1 << int(Qt::EditRole) << QVariant(AddVideo);
    QTest::newRow("add video centred") << 0 << 1 << int(Qt::TextAlignmentRole) << QVariant(132);
    QTest::newRow("add video no picture") << 0 << 1 << int(Qt::DecorationRole) << none;
    QTest::newRow("new video text") << 0 << 2 << int(Qt::DisplayRole) << QVariant(SelectVideo);
    QTest::newRow("new video edit") << 0 << 2 << int(Qt::EditRole) << QVariant(SelectVideo);
    QTest::newRow("new video icon")
        << 0 << 2 << int(Qt::DecorationRole) << resourceImage(QStringLiteral(":/open.png"));
    QTest::newRow("new video no tool tip") << 0 << 2 << int(Qt::ToolTipRole) << none;
    QTest::newRow("new video no tick") << 0 << 0 << int(Qt::CheckStateRole) << none;
    QTest::newRow("new video no remove mark") << 0 << 3 << int(Qt::DecorationRole) << none;

    QTest::newRow("tick") << 1 << 0 << int(Qt::CheckStateRole) << QVariant(int(Qt::Unchecked));
    QTest::newRow("tick column no text") << 1 << 0 << int(Qt::DisplayRole) << none;
    QTest::newRow("preview") << 1 << 1 << int(Qt::DecorationRole)
                             << QVariant(RecentProjects::previewImage());
    QTest::newRow("preview tool tip") << 1 << 1 << int(Qt::ToolTipRole) << QVariant(description);
    QTest::newRow("preview no text") << 1 << 1 << int(Qt::DisplayRole) << none;
    QTest::newRow("description") << 1 << 2 << int(Qt::DisplayRole) << QVariant(description);
    QTest::newRow("description edit") << 1 << 2 << int(Qt::EditRole) << QVariant(description);
    QTest::newRow("description picture")
        << 1 << 2 << int(Qt::DecorationRole) << QVariant(RecentProjects::previewImage());
    QTest::newRow("description no tool tip") << 1 << 2 << int(Qt::ToolTipRole) << none;
    QTest::newRow("remove mark") << 1 << 3 << int(Qt::DecorationRole)
                                 << resourceImage(QStringLiteral(":/error.png"));
    QTest::newRow("remove mark no text") << 1 << 3 << int(Qt::DisplayRole) << none;
    QTest::newRow("no fifth column") << 1 << 4 << int(Qt::DisplayRole) << none;
    QTest::newRow("past the last row") << 2 << 2 << int(Qt::DisplayRole) << none;
}

void TestRecentProjectModel::data()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    RecentProjects fixture(QList<QVariantMap> {{{VIDEO_CODEC, QStringLiteral("vp8")}}});

    const QVariant value = fixture.model->index(row, column).data(role);
    if (expected.userType() == QMetaType::QImage)
        QVERIFY(!expected.value<QImage>().isNull());
    QCOMPARE(comparable(value), comparable(expected));
}

void TestRecentProjectModel::flags_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("checkable");

    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 4; ++column)
            QTest::addRow("row %d column %d", row, column) << row << column << (column == 0);
    }
}

void TestRecentProjectModel::flags()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, checkable);
    RecentProjects fixture(QList<QVariantMap> {QVariantMap()});
    const Qt::ItemFlags base = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    QCOMPARE(fixture.model->flags(fixture.model->index(row, column)),
             checkable ? base | Qt::ItemIsUserCheckable | Qt::ItemIsEditable : base);
}

void TestRecentProjectModel::tickingToggles()
{
    RecentProjects fixture(QList<QVariantMap> {QVariantMap(), QVariantMap()});
    RecentProjectModel& model = *fixture.model;
    const auto state = [&model](int row) {
        return model.index(row, 0).data(Qt::CheckStateRole).toInt();
    };

    // The value is not looked at: every call toggles.
    QVERIFY(model.setData(model.index(2, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    QCOMPARE(state(2), int(Qt::Checked));
    QCOMPARE(state(1), int(Qt::Unchecked));
    QVERIFY(model.setData(model.index(2, 0), int(Qt::Checked), Qt::CheckStateRole));
    QCOMPARE(state(2), int(Qt::Unchecked));
    QVERIFY(model.setData(model.index(1, 3), QVariant(), Qt::CheckStateRole));
    QCOMPARE(state(1), int(Qt::Checked));

    QVERIFY(!model.setData(model.index(1, 0), int(Qt::Unchecked), Qt::EditRole));
    QCOMPARE(state(1), int(Qt::Checked));
    // The new-video row has no project to tick.
    QVERIFY(!model.setData(model.index(0, 0), int(Qt::Checked), Qt::CheckStateRole));
    QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole), QVariant());

    // The tick belongs to the project object, wherever its row moves.
    const auto ticked = fixture.store->getProject(0);
    fixture.store->addProject(ticked, fixture.folder.filePath(QStringLiteral("0.xml")), 1);
    QCOMPARE(state(1), int(Qt::Unchecked));
    QCOMPARE(state(2), int(Qt::Checked));
}

void TestRecentProjectModel::description_data()
{
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("expected");

    const QString path = QStringLiteral("/v/0.mp4");
    QTest::newRow("nothing to tell") << QVariantMap {{VIDEO_SIZE, QSize(0, 0)},
                                                     {VIDEO_DURATION, QTime()},
                                                     {VIDEO_BITRATE, 0.0},
                                                     {VIDEO_FRAMERATE, 0.0}}
                                     << path << path;
    QTest::newRow("no settings") << QVariantMap() << path << path;
    QTest::newRow("bit rate and frame rate")
        << QVariantMap {{VIDEO_BITRATE, 1500000.0}, {VIDEO_FRAMERATE, 25.0}} << path
        << Paragraph.arg(path) +
            Small.arg(QStringLiteral("Bit rate: 1500 kb/sec; frame rate: 25 fps"));
    QTest::newRow("everything") << QVariantMap {{VIDEO_SIZE, QSize(1920, 1080)},
                                                {VIDEO_DURATION, QTime(1, 2, 3, 500)},
                                                {VIDEO_BITRATE, 2999.0},
                                                {VIDEO_FRAMERATE, 29.97},
                                                {VIDEO_CODEC, QStringLiteral("h264")}}
                                << path
                                << Paragraph.arg(path) +
            Small.arg(QStringLiteral("Size: 1920x1080; duration: 01:02:03.5; bit rate: 2 kb/sec; "
                                     "frame rate: 29.97 fps; codec: h264"));
    QTest::newRow("size with a side of 0")
        << QVariantMap {{VIDEO_SIZE, QSize(640, 0)}, {VIDEO_CODEC, QStringLiteral("theora")}}
        << path << Paragraph.arg(path) + Small.arg(QStringLiteral("Codec: theora"));
    QTest::newRow("bit rate below 1 kb/sec")
        << QVariantMap {{VIDEO_BITRATE, 999.0}} << path
        << Paragraph.arg(path) + Small.arg(QStringLiteral("Bit rate: 0 kb/sec"));
    // The path is shown as text, not read as markup.
    QTest::newRow("path with markup")
        << QVariantMap {{VIDEO_CODEC, QStringLiteral("vp8")}}
        << QStringLiteral("/v/Tom & Jerry <1999>.mp4")
        << Paragraph.arg(QStringLiteral("/v/Tom &amp; Jerry &lt;1999&gt;.mp4")) +
            Small.arg(QStringLiteral("Codec: vp8"));
}

void TestRecentProjectModel::description()
{
    QFETCH(QVariantMap, settings);
    QFETCH(QString, video);
    QFETCH(QString, expected);
    RecentProjects fixture(QList<QVariantMap> {settings}, video);
    QCOMPARE(fixture.model->index(1, 2).data().toString(), expected);
    QCOMPARE(fixture.model->index(1, 1).data(Qt::ToolTipRole).toString(), expected);
}

void TestRecentProjectModel::updateTellsTheViews()
{
    RecentProjects fixture(QList<QVariantMap> {QVariantMap()});
    int changes = 0;
    connect(fixture.model.get(), &QAbstractItemModel::layoutChanged, this,
            [&changes] { ++changes; });
    fixture.model->update();
    QCOMPARE(changes, 1);
}

QTEST_MAIN(TestRecentProjectModel)
#include "tst_recentprojectmodel.moc"
