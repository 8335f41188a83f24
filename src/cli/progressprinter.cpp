#include "progressprinter.h"

#include <cstdio>
#include <unistd.h>

ProgressPrinter::ProgressPrinter()
    : ProgressPrinter(isatty(fileno(stderr)) != 0)
{ }

ProgressPrinter::ProgressPrinter(bool terminal)
    : m_terminal(terminal)
{ }

void ProgressPrinter::update(const QString& status)
{
    if (status == m_last)
        return;
    // Pads over the rest of a longer previous status.
    const int width = std::max(status.size(), m_last.size());
    m_last = status;
    const QByteArray text = status.leftJustified(m_terminal ? width : 0).toLocal8Bit();
    std::fprintf(stderr, m_terminal ? "\r%s" : "%s\n", text.constData());
    std::fflush(stderr);
}

void ProgressPrinter::finish()
{
    if (m_terminal && !m_last.isEmpty())
        std::fputc('\n', stderr);
    m_last.clear();
}
