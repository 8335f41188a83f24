#include "encoding/videoencoderparameters.h"

namespace VideoEncoderParameters {
const QString SOURCE_SIZE = QStringLiteral("SourceSize");
const QString TARGET_SIZE = QStringLiteral("TargetSize");
const QString TARGET_FORMAT = QStringLiteral("VideoFormat");
const QString TARGET_QUALITY = QStringLiteral("VideoQuality");
const QString RESIZE_METHOD = QStringLiteral("ResizeMethod");
const QString WATERMARK_TEXT = QStringLiteral("WatermarkText");
const QString WATERMARK_FILE = QStringLiteral("WatermarkFile");

const QStringList SAVED_ENCODE_PARAMS = {TARGET_SIZE,   TARGET_FORMAT,  TARGET_QUALITY,
                                         RESIZE_METHOD, WATERMARK_TEXT, WATERMARK_FILE};
} // namespace VideoEncoderParameters
