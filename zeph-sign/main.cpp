// zeph-sign: makes the key pair that signs released scripts, writes the signed manifest of each
// release and checks a manifest against its script.

#include "Commands.h"
#include "Failure.h"
#include "ToolFiles.h"

#include <QCommandLineParser>

#include <sodium.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

QString usageOf(const Command& command) {
    return u"usage: zeph-sign "_s + command.usage;
}

QString toolUsage() {
    QStringList lines;
    for (const Command& command : Commands::all()) {
        lines << (lines.isEmpty() ? u"usage: zeph-sign "_s : u"       zeph-sign "_s) +
                     command.usage;
    }
    return lines.join(u'\n');
}

QString toolHelp() {
    QString help = toolUsage() + u"\n\n"_s;
    for (const Command& command : Commands::all()) {
        help += command.name + u": "_s + command.description + u'\n';
    }
    return help + u"\nzeph-sign COMMAND --help describes one command."_s;
}

// The command's option values in order, then its files; nothing when its help was asked for.
std::optional<QStringList> parse(const Command& command, const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    parser.addOption(help);
    for (const QString& option : command.options) {
        parser.addOption({option, QString(), option});
    }
    const QString usage = u'\n' + usageOf(command);
    if (!parser.parse(arguments)) {
        throw Failure{parser.errorText() + usage};
    }
    if (parser.isSet(help)) {
        return std::nullopt;
    }
    QStringList values;
    for (const QString& option : command.options) {
        if (!parser.isSet(option)) {
            throw Failure{u"--%1 is missing."_s.arg(option) + usage};
        }
        if (parser.values(option).size() > 1) {
            throw Failure{u"--%1 is given more than once."_s.arg(option) + usage};
        }
        values << parser.value(option);
    }
    if (parser.positionalArguments().size() != command.fileCount) {
        throw Failure{(command.fileCount == 1
                           ? u"expected 1 file argument."_s
                           : u"expected %1 file arguments."_s.arg(command.fileCount)) +
                      usage};
    }
    return values + parser.positionalArguments();
}

int run(const QString& name, const QStringList& arguments) {
    if (name == "--help"_L1 || name == "-h"_L1) {
        ToolFiles::printResult(toolHelp());
        return 0;
    }
    for (const Command& command : Commands::all()) {
        if (command.name == name) {
            const std::optional<QStringList> values = parse(command, arguments);
            if (!values) {
                ToolFiles::printResult(usageOf(command) + u"\n\n"_s + command.description);
                return 0;
            }
            return command.run(*values);
        }
    }
    throw Failure{(name.isEmpty() ? u"no command given."_s : u"unknown command “%1”."_s.arg(name)) +
                  u'\n' + toolUsage()};
}

} // namespace

int main(int argc, char* argv[]) {
    // A closed pipe or a file size limit is a failed write, reported and cleaned up like any
    // other, not the end of the process half-way through.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // What follows the command is parsed as a command line of its own, program name first.
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QStringList arguments{QString::fromLocal8Bit(argv[0])};
    for (int index = 2; index < argc; ++index) {
        arguments << QString::fromLocal8Bit(argv[index]);
    }
    try {
        if (sodium_init() < 0) {
            throw Failure{u"libsodium cannot start."_s, Failure::rejected};
        }
        return run(name, arguments);
    } catch (const Failure& failure) {
        ToolFiles::print(stderr, u"zeph-sign: "_s + failure.message);
        return failure.status;
    }
}
