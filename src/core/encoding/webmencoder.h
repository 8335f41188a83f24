#pragma once

#include "encoding/videoencoderbuilder.h"

#include <QStringList>

// WebM: VP8 at a fixed quantizer chosen by the quality, with Vorbis audio.
class WebMEncoder : public VideoEncoderBuilder
{
public:
    // ffmpeg's arguments for the input, without the output path.
    QStringList arguments(const QString& input, const QVariantMap& parameters) const;

    VideoEncoder* createEncoder(const QString& input, const QString& output,
                                QVariantMap& parameters) const override;
    QString getExtension() const override;
};

// A new builder; the caller owns it.
VideoEncoderBuilder* CreateWebMEncoder();
