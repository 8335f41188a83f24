#include "encoding/videoencoderparameters.h"

#include <limits>

namespace VideoEncoderParameters {
const QString SOURCE_SIZE = QStringLiteral("SourceSize");
const QString TARGET_SIZE = QStringLiteral("TargetSize");
const QString TARGET_FORMAT = QStringLiteral("VideoFormat");
const QString TARGET_QUALITY = QStringLiteral("VideoQuality");
const QString RESIZE_METHOD = QStringLiteral("ResizeMethod");
const QString WATERMARK_TEXT = QStringLiteral("WatermarkText");
const QString WATERMARK_FILE = QStringLiteral("WatermarkFile");

const QString RESIZE_METHOD_CROP = QStringLiteral("ResizeCrop");
const QString RESIZE_METHOD_PAD = QStringLiteral("ResizePad");
const QString RESIZE_METHOD_KEEP_RATIO = QStringLiteral("KeepRatio");

const QStringList SAVED_ENCODE_PARAMS = {TARGET_SIZE,   TARGET_FORMAT,  TARGET_QUALITY,
                                         RESIZE_METHOD, WATERMARK_TEXT, WATERMARK_FILE};
} // namespace VideoEncoderParameters

QSize unpackSize(const QSize& packed, const QSize& source)
{
    if (packed.width() != 0)
        return packed;
    if (packed.height() == 0)
        return source;
    return source.scaled(QSize(std::numeric_limits<int>::max(), packed.height()),
                         Qt::KeepAspectRatio);
}
