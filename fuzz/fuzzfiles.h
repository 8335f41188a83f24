#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// The readers under test open files by name, so the inputs go through files in
// a temporary folder of the fuzzing process, removed when it ends.

// The path of the scratch file of that name.
QString scratchPath(const QString& name);

// Writes the fuzzer's input into the scratch file of that name and returns
// its path. Stops the process when the file cannot be written: a run whose
// inputs never reach the reader would test nothing.
QString writeScratchFile(const QString& name, const uint8_t* data, size_t size);

// The whole file, or an empty array when it cannot be read.
QByteArray readWholeFile(const QString& path);
