#pragma once

#include <QString>
#include <QVariantMap>

class VideoEncoder;

// Knows how one output format is made: turns a source, an output path and the
// encoder parameter map into a ready-to-start encoder.
class VideoEncoderBuilder
{
public:
    virtual ~VideoEncoderBuilder() = default;

    // A new encoder; the caller owns it.
    virtual VideoEncoder* createEncoder(const QString& input, const QString& output,
                                        QVariantMap& parameters) const = 0;
    // The format's file extension, without a dot.
    virtual QString getExtension() const = 0;
};
