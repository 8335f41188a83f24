#pragma once

#include "encoding/videoencoderbuilder.h"

#include <QStringList>

// MP4: H.264 (high 4:2:2 profile, level 4.0) with stereo AAC, the index written in
// front by ffmpeg itself.
class Mpeg4Encoder : public VideoEncoderBuilder
{
public:
    // ffmpeg's arguments for the input, without the output path.
    QStringList arguments(const QString& input, const QVariantMap& parameters) const;

    VideoEncoder* createEncoder(const QString& input, const QString& output,
                                QVariantMap& parameters) const override;
    QString getExtension() const override;
};

// A new builder; the caller owns it.
VideoEncoderBuilder* CreateMpeg4Encoder();
