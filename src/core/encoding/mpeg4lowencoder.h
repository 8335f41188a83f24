#pragma once

#include "encoding/videoencoderbuilder.h"

#include <QStringList>

// Low-resolution MP4 for old phones and tablets: H.264 baseline at most 640 x 480
// with mono AAC, the index moved to the front afterwards.
class Mpeg4LowEncoder : public VideoEncoderBuilder
{
public:
    // ffmpeg's arguments for the input, without the output path.
    QStringList arguments(const QString& input, const QVariantMap& parameters) const;

    VideoEncoder* createEncoder(const QString& input, const QString& output,
                                QVariantMap& parameters) const override;
    QString getExtension() const override;
};

// A new builder; the caller owns it.
VideoEncoderBuilder* CreateMpeg4LowEncoder();
