#pragma once

#include <QString>

// Shows a changing status on standard error: one line rewritten in place on a
// terminal, a new line for every change otherwise (logs, pipes, tests).
class ProgressPrinter
{
public:
    ProgressPrinter();
    explicit ProgressPrinter(bool terminal);

    void update(const QString& status);
    // Ends the rewritten line so that later output starts on a fresh one.
    void finish();

private:
    const bool m_terminal;
    QString m_last;
};
