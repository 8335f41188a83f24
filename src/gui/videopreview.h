#pragma once

#include <QLabel>

// Shows the label's pixmap centred, scaled down to fit the widget when it is
// larger, never enlarged.
class VideoPreview : public QLabel
{
    Q_OBJECT
public:
    explicit VideoPreview(QWidget* parent = nullptr);

    // No preference: the layout decides.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
