#include "clicommand.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {
void writeLine(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

ParseOutcome usageError(const QCommandLineParser& parser, const QString& message, int& exitCode)
{
    printError(message);
    printError(parser.helpText());
    exitCode = ExitUsage;
    return ParseOutcome::Exit;
}
} // namespace

void printError(const QString& text)
{
    writeLine(stderr, text);
}

void printOutput(const QString& text)
{
    writeLine(stdout, text);
}

ParseOutcome parseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                              int minimumPositionals, int& exitCode, int maximumPositionals)
{
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments))
        return usageError(parser, parser.errorText(), exitCode);
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        exitCode = ExitSuccess;
        return ParseOutcome::Exit;
    }
    const int positionals = parser.positionalArguments().size();
    if (positionals < minimumPositionals)
        return usageError(parser, QStringLiteral("Missing arguments."), exitCode);
    if (maximumPositionals >= 0 && positionals > maximumPositionals)
        return usageError(parser, QStringLiteral("Too many arguments."), exitCode);
    return ParseOutcome::Proceed;
}
