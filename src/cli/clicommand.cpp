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
                              int minimumPositionals, int& exitCode)
{
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        printError(parser.helpText());
        exitCode = ExitUsage;
        return ParseOutcome::Exit;
    }
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        exitCode = ExitSuccess;
        return ParseOutcome::Exit;
    }
    if (parser.positionalArguments().size() < minimumPositionals) {
        printError(QStringLiteral("Missing arguments."));
        printError(parser.helpText());
        exitCode = ExitUsage;
        return ParseOutcome::Exit;
    }
    return ParseOutcome::Proceed;
}
