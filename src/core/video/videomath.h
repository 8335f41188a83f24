#pragma once

#include <QTime>

// The arithmetic of the video reader, kept apart from the decoding so that it
// can be checked on its own.
namespace VideoMath {
// Some files declare a decoder time base of N/1 with N above 1000 where N/1000
// is meant; any other time base is left as it is.
void correctTimeBase(int& numerator, int& denominator);

// QImage rows start on 4-byte boundaries, so 24-bit pixels fill a row without
// padding only when the width is a multiple of 4; other widths take 32 bits.
bool needsFourBytePixels(int width);

// A duration in microseconds as a time of day for the "hh:mm:ss.z" display:
// the whole seconds, plus the hundredths of a second carried in the
// milliseconds field (so that "z" prints them).
QTime displayDuration(qint64 microseconds);

// The hundredths of the duration time above, as the two digits a reader expects
// after the point ("00:00:10.05").
QString durationText(const QTime& duration);
} // namespace VideoMath
