#pragma once

#include <QSize>
#include <QStringList>
#include <QVariantMap>

// Distance of the watermark's top-right corner from the right and top edges
// of the picture.
extern const QSize WatermarkDefaultOffset;
// When the picture is padded, the offset grows by the padding and is rounded
// up to a multiple of this.
extern const QSize WatermarkOffsetAligment;

// "TargetSize", or "SourceSize" when a side of the target is below 1.
QSize resolveTargetSize(const QVariantMap& parameters);

// Each odd side made one smaller: H.264 in 4:2:0 needs even sizes.
QSize evenSize(const QSize& size);

// Appends "-vf" and the filter chain that scales the source to the target
// size by the "ResizeMethod" of the parameters and draws the "WatermarkFile"
// on it; appends nothing when no filter is needed.
void applyFilters(const QVariantMap& parameters, QStringList& arguments, QSize target);
// The same for the resolved target size.
void applyFilters(const QVariantMap& parameters, QStringList& arguments);
