#include "batchlistitem.h"
#include "project/projectsettings.h"
#include "project/recentprojectmodel.h"
#include "recentprojectlistitem.h"
#include "recentprojects.h"

#include <QPainter>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {
const QColor Canvas(255, 0, 255);

// The smallest rectangle holding every pixel that is not the canvas colour.
QRect paintedArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != Canvas)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

std::unique_ptr<QStyledItemDelegate> makeDelegate(const QString& kind, QObject* view)
{
    if (kind == QLatin1String("batch"))
        return std::make_unique<BatchListItem>(view);
    return std::make_unique<RecentProjectListItem>(view);
}

// Reaches the option set-up the delegates keep protected.
template<typename Delegate> class Probe : public Delegate
{
public:
    using Delegate::Delegate;

    QSize decorationSize(QStyleOptionViewItem option, const QModelIndex& index) const
    {
        this->initStyleOption(&option, index);
        return option.decorationSize;
    }
};

// A view of the store, as the main window sets it up.
struct View
{
    explicit View(const QList<QVariantMap>& settings, const QString& firstVideo = QString())
        : projects(settings, firstVideo)
    {
        view.setModel(projects.model.get());
        view.setIconSize(QSize(64, 36));
        view.resize(800, 400);
    }

    QStyleOptionViewItem option(const QRect& rect) const
    {
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.rect = rect;
        option.state |= QStyle::State_Enabled | QStyle::State_Active;
        return option;
    }

    QImage paint(const QStyledItemDelegate& delegate, int row, int column,
                 const QSize& size = QSize(600, 60)) const
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Canvas);
        QPainter painter(&image);
        delegate.paint(&painter, option(QRect(QPoint(0, 0), size)),
                       projects.model->index(row, column));
        painter.end();
        return image;
    }

    RecentProjects projects;
    QTableView view;
};
} // namespace

class TestProjectListItemDelegate : public QObject
{
    Q_OBJECT
private slots:
    void paintsRow_data();
    void paintsRow();
    void textIsDrawnAsRichText();
    void decorationSize_data();
    void decorationSize();
    void sizeHintFollowsTheText_data();
    void sizeHintFollowsTheText();
};

void TestProjectListItemDelegate::paintsRow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("painted");

    for (const char* kind : {"recent", "batch"}) {
        const int newVideoColumn = qstrcmp(kind, "recent") == 0 ? 2 : 1;
        for (int column = 0; column < 4; ++column)
            QTest::addRow("%s, row 0, column %d", kind, column)
                << kind << 0 << column << (column == newVideoColumn);
        for (int column = 0; column < 4; ++column)
            QTest::addRow("%s, row 1, column %d", kind, column) << kind << 1 << column << true;
    }
}

void TestProjectListItemDelegate::paintsRow()
{
    QFETCH(QString, kind);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, painted);
    View view(QList<QVariantMap> {{{VIDEO_CODEC, QStringLiteral("h264")}}});
    const auto delegate = makeDelegate(kind, &view.view);

    const QImage image = view.paint(*delegate, row, column);

    QCOMPARE(!paintedArea(image).isEmpty(), painted);
}

// Markup in the texts is laid out, not shown: the painted text is far
// narrower than its markup would be.
void TestProjectListItemDelegate::textIsDrawnAsRichText()
{
    View view(QList<QVariantMap> {{{VIDEO_CODEC, QStringLiteral("h264")}}});
    RecentProjectListItem delegate(&view.view);
    const QString markup = view.projects.model->index(1, 2).data().toString();
    QVERIFY(markup.contains(QLatin1String("<small")));
    const int markupWidth = view.view.fontMetrics().horizontalAdvance(markup);

    const QImage image = view.paint(delegate, 1, 2, QSize(markupWidth + 200, 60));

    const QRect area = paintedArea(image);
    QVERIFY(!area.isEmpty());
    const int plainWidth = view.view.fontMetrics().horizontalAdvance(QStringLiteral("/v/0.mp4"));
    QVERIFY2(area.right() < 64 + 2 * plainWidth,
             qPrintable(QStringLiteral("painted up to x=%1").arg(area.right())));
    // Two lines: the path and the small text under it.
    QVERIFY(area.height() > view.view.fontMetrics().height());
}

void TestProjectListItemDelegate::decorationSize_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("tick") << 0 << QSize(45, 16);
    QTest::newRow("preview") << 1 << QSize(64, 36);
    QTest::newRow("description") << 2 << QSize(64, 36);
    QTest::newRow("remove mark") << 3 << QSize(45, 16);
}

void TestProjectListItemDelegate::decorationSize()
{
    QFETCH(int, column);
    QFETCH(QSize, expected);
    View view(QList<QVariantMap> {QVariantMap()});
    const QStyleOptionViewItem option = view.option(QRect(0, 0, 100, 40));
    const QModelIndex index = view.projects.model->index(1, column);
    QCOMPARE(Probe<RecentProjectListItem>(&view.view).decorationSize(option, index), expected);
    QCOMPARE(Probe<BatchListItem>(&view.view).decorationSize(option, index), expected);
}

void TestProjectListItemDelegate::sizeHintFollowsTheText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("recent") << "recent";
    QTest::newRow("batch") << "batch";
}

void TestProjectListItemDelegate::sizeHintFollowsTheText()
{
    QFETCH(QString, kind);
    const QString longPath =
        QStringLiteral("/videos") + QStringLiteral("/a long folder name").repeated(12) + ".mp4";
    View shortView(QList<QVariantMap> {{{VIDEO_CODEC, QStringLiteral("h264")}}});
    View longView(QList<QVariantMap> {{{VIDEO_CODEC, QStringLiteral("h264")}}}, longPath);
    const auto shortDelegate = makeDelegate(kind, &shortView.view);
    const auto longDelegate = makeDelegate(kind, &longView.view);
    const auto hint = [](const View& view, const QStyledItemDelegate& delegate, int width) {
        return delegate.sizeHint(view.option(QRect(0, 0, width, 40)),
                                 view.projects.model->index(1, 2));
    };

    const QSize shortHint = hint(shortView, *shortDelegate, 5000);
    const QSize longHint = hint(longView, *longDelegate, 5000);
    const QSize wrappedHint = hint(longView, *longDelegate, 300);

    // Never smaller than the view's pictures, plus a pixel around.
    QVERIFY(shortHint.width() >= 64 + 2 && shortHint.height() >= 36 + 2);
    QVERIFY2(longHint.width() > shortHint.width() + 500,
             qPrintable(QStringLiteral("%1 / %2").arg(longHint.width()).arg(shortHint.width())));
    // In a narrow column the long path wraps onto more lines.
    QVERIFY(wrappedHint.height() > longHint.height());
    QVERIFY(wrappedHint.width() < longHint.width());

    // The picture-only tick column still gets the icon size.
    const QSize tick = shortDelegate->sizeHint(shortView.option(QRect(0, 0, 100, 40)),
                                               shortView.projects.model->index(1, 0));
    QCOMPARE(tick, QSize(64 + 2, 36 + 2));
}

QTEST_MAIN(TestProjectListItemDelegate)
#include "tst_projectlistitemdelegate.moc"
