#include "videopreview.h"

#include <QPainter>

VideoPreview::VideoPreview(QWidget* parent)
    : QLabel(parent)
{ }

QSize VideoPreview::sizeHint() const
{
    return QSize(-1, -1);
}

QSize VideoPreview::minimumSizeHint() const
{
    return QSize(-1, -1);
}

void VideoPreview::paintEvent(QPaintEvent* event)
{
    // The frame as a QFrame draws it; the label's own pixmap drawing would
    // neither centre nor scale.
    QFrame::paintEvent(event);
    const QPixmap picture = pixmap(Qt::ReturnByValue);
    if (picture.isNull())
        return;
    QSize size = picture.size();
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    // Centred by halving the free space (QStyle::alignedRect halves both
    // sizes first, which puts an odd remainder one pixel lower).
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, picture);
}
