#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// The keys of the encoder parameter map: what the main window fills in from
// the user's choices, the builders read, the project stores and the cache of
// encoded files is keyed by.
namespace VideoEncoderParameters {
extern const QString SOURCE_SIZE; // QSize of the source video
extern const QString TARGET_SIZE; // QSize; a side below 1 means the source size
extern const QString TARGET_FORMAT; // QString, the builder's file extension
extern const QString TARGET_QUALITY; // int: -1 low, 0 normal, 1 high
extern const QString RESIZE_METHOD; // QString, one of the RESIZE_METHOD_ values
extern const QString WATERMARK_TEXT; // QString, only when a watermark is on
extern const QString WATERMARK_FILE; // QString, path of the rendered watermark PNG

// Scale to cover the target, then crop.
extern const QString RESIZE_METHOD_CROP;
// Scale to fit inside the target, then pad (letterbox).
extern const QString RESIZE_METHOD_PAD;
// Scale straight to the target size.
extern const QString RESIZE_METHOD_KEEP_RATIO;

// The keys that make up a saved parameter set, in this order. The source size
// is not among them: it follows from the video itself.
extern const QStringList SAVED_ENCODE_PARAMS;
} // namespace VideoEncoderParameters

// Makes a packed output size concrete: (0, 0) is the source size, (0, h) the
// source scaled to height h at its aspect ratio, anything with a width an
// explicit size.
QSize unpackSize(const QSize& packed, const QSize& source);
