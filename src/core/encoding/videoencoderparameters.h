#pragma once

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

// The keys that make up a saved parameter set, in this order. The source size
// is not among them: it follows from the video itself.
extern const QStringList SAVED_ENCODE_PARAMS;
} // namespace VideoEncoderParameters
