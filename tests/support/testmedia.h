#pragma once

#include <QImage>
#include <QJsonObject>
#include <QSize>
#include <QString>
#include <QStringList>

// Media files made with the real ffmpeg from its generated test sources.
// A file is made once and kept in the build tree, keyed by its ffmpeg
// arguments, so every test of a run (and later runs) shares it.
namespace TestMedia {
// The ffmpeg program the build found.
QString ffmpegProgram();

// Runs ffmpeg with the arguments and a generated output name with the given
// extension; returns the output's path, or an empty string (after a warning
// with ffmpeg's messages) when ffmpeg fails.
QString generate(const QStringList& arguments, const QString& extension);

// The ffprobe program beside it.
QString ffprobeProgram();

// testsrc2 video with a sine tone, H.264 and AAC in MP4.
QString h264Clip(const QSize& size = QSize(320, 240), int seconds = 3);

// The ffmpeg input arguments of a testsrc2 picture at 25 frames per second.
QStringList testPicture(const QSize& size, double seconds);
// The ffmpeg input arguments of a sine tone.
QStringList testTone(double seconds);

// testsrc2 video alone, encoded with the given codec arguments
// ({"-c:v", "libvpx"}) into a file with the given extension ("webm").
QString videoClip(const QStringList& codecArguments, const QString& extension,
                  const QSize& size = QSize(320, 240), double seconds = 3);

// What ffprobe tells about the file's format ("format") and streams
// ("streams"); an empty object when it fails.
QJsonObject probe(const QString& path);
// The first stream of the given type ("video", "audio") in a probe result.
QJsonObject stream(const QJsonObject& probed, const QString& type);

// The decoded picture at the given second of the file; a null image on failure.
QImage frameAt(const QString& path, double seconds);

// One line per decoded frame with its checksum (ffmpeg's framemd5 muxer),
// for comparing the decoded content of two files.
QString frameChecksums(const QString& path);
} // namespace TestMedia
