#include "encoding/videoencoder.h"

VideoEncoder::VideoEncoder(const QString& outputFile, QObject* parent)
    : QObject(parent)
    , m_outputFile(outputFile)
{ }

VideoEncoder::~VideoEncoder() = default;
