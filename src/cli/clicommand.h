#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// Exit codes of tovalumen-cli.
enum ExitCode { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// A subcommand: its arguments start with the program and command name
// ("tovalumen-cli ffmpeg") so that its own parser prints a fitting usage line.
struct CliCommand
{
    const char* name;
    const char* summary;
    int (*run)(const QStringList& arguments);
};

enum class ParseOutcome { Proceed, Exit };

// Adds --help, parses and handles the outcomes every command shares: --help
// prints the help text and yields ExitSuccess, a malformed command line (or
// too few or, when a maximum is given, too many positional arguments) prints
// the error and the usage and yields ExitUsage. `exitCode` is set when the
// outcome is Exit.
ParseOutcome parseCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                              int minimumPositionals, int& exitCode, int maximumPositionals = -1);

// Writes a line to standard error.
void printError(const QString& text);
// Writes a line to standard output.
void printOutput(const QString& text);
