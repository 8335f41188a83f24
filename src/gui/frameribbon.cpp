#include "frameribbon.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

FrameRibbon::FrameRibbon(QWidget* parent)
    : QWidget(parent)
{ }

void FrameRibbon::setDuration(qint64 duration)
{
    if (duration == m_duration)
        return;
    m_duration = duration;
    update();
}

void FrameRibbon::addFrame(const QPixmap& frame, qint64 time)
{
    m_frames.append(frame);
    m_times.append(time);
    updateGeometry();
    update();
}

QVector<QPixmap> FrameRibbon::getFrames() const
{
    return m_frames;
}

void FrameRibbon::clear()
{
    m_frames.clear();
    m_times.clear();
    updateGeometry();
    update();
}

int FrameRibbon::getFrameXPos(int index, int frameWidth) const
{
    const int width = this->width();
    // Without a time line every thumbnail sits at the left end.
    const qint64 centre =
        m_duration > 0 ? static_cast<qint64>(width) * m_times.value(index) / m_duration : 0;
    const qint64 x = centre - frameWidth / 2;
    if (x < 0)
        return 0;
    if (x + frameWidth > width)
        return width - frameWidth;
    return static_cast<int>(x);
}

QSize FrameRibbon::sizeHint() const
{
    if (m_frames.isEmpty())
        return QSize(-1, -1);
    const auto tallest = std::max_element(
        m_frames.cbegin(), m_frames.cend(),
        [](const QPixmap& a, const QPixmap& b) { return a.height() < b.height(); });
    return QSize(-1, tallest->height());
}

QSize FrameRibbon::minimumSizeHint() const
{
    return sizeHint();
}

bool FrameRibbon::isShowing() const
{
    return !m_frames.isEmpty() && m_duration != 0;
}

void FrameRibbon::paintEvent(QPaintEvent*)
{
    if (!isShowing())
        return;
    QPainter painter(this);
    // The first thumbnail is drawn last, so it lies on top of its neighbours,
    // as the click test expects.
    for (int i = m_frames.size() - 1; i >= 0; --i) {
        const QPixmap& frame = m_frames.at(i);
        painter.drawPixmap(getFrameXPos(i, frame.width()), (height() - frame.height()) / 2, frame);
    }
}

void FrameRibbon::mousePressEvent(QMouseEvent* event)
{
    if (!isShowing())
        return;
    // Every thumbnail is taken to be as wide as the first.
    const int frameWidth = m_frames.first().width();
    const int px = qRound(event->localPos().x());
    for (int i = 0; i < m_frames.size(); ++i) {
        const int x = getFrameXPos(i, frameWidth);
        if (x <= px && px <= x + frameWidth) {
            emit click(static_cast<int>(m_times.at(i)));
            return;
        }
    }
}
