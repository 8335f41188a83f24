#pragma once

#include <QPixmap>
#include <QVector>
#include <QWidget>

// A strip of thumbnails laid along the video's time line: each one is centred
// on its time and kept inside the widget; clicking one reports its time.
class FrameRibbon : public QWidget
{
    Q_OBJECT
public:
    explicit FrameRibbon(QWidget* parent = nullptr);

    void setDuration(qint64 duration);
    void addFrame(const QPixmap& frame, qint64 time);
    QVector<QPixmap> getFrames() const;
    // Removes the thumbnails; the duration stays.
    void clear();

    // Left edge of a thumbnail of the given width at the time of thumbnail
    // `index`.
    int getFrameXPos(int index, int frameWidth) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The time is cut to int, as the poster slider holds it.
    void click(int Time);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool isShowing() const;

    QVector<QPixmap> m_frames;
    QVector<qint64> m_times;
    qint64 m_duration = 0;
};
