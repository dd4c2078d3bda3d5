// Every program answers --help on standard output, and refuses an option it does not know, or a
// value it cannot read, with its usage and exit status 2, before it does anything: a typo such as
// "--tick 20" must not run a whole session at the default tick.
#include "e2eutil.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace halyx::e2e {
namespace {

struct Refused {
    int status = -1;
    QString error;
    QString output;
};

Refused RunProgram(const std::string& program, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(Program(program)), args);
    process.closeWriteChannel();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError()),
            QString::fromLocal8Bit(process.readAllStandardOutput())};
}

TEST(CommandLines, UnknownOptionsAndMalformedValuesAreRefusedWithTheUsage) {
    const std::pair<std::string, QStringList> cases[] = {
        {"halyx-command", {"--headless", "--tick", "20"}},
        {"halyx-command", {"--headless", "--tick-ms", "abc"}},
        {"halyx-command", {"--headless", "--ans", "host:notaport"}},
        {"halyx-command", {"--headless", "--clock-every", "often"}},
        {"halyx-command", {"--headless", "--port"}},
        {"halyx-command", {"--headless", "--event-stream", "70000"}},
        {"halyx-station", {"--seat", "A=bot", "--answer-errors", "101"}},
        {"halyx-station", {"--name", "S1", "--sead", "4"}},
        {"halyx-station", {"--name", "S1", "--tick-ms", "abc"}},
        {"halyx-station", {"--name", "S1", "--ans", "host:notaport"}},
        {"halyx-ans", {"--prot", "7000"}},
        {"halyx-ans", {"--port", "x"}},
        {"halyx-scenario", {"dump", "--bogus"}},
        {"halyx-log", {"summary", "--bogus", "a.xml"}},
    };
    for (const auto& [program, args] : cases) {
        const Refused refused = RunProgram(program, args);
        const std::string what = program + " " + args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(refused.status, 2) << what << "\n" << refused.error.toStdString();
        EXPECT_TRUE(refused.error.contains(QStringLiteral("sage"))) << what << "\n"
                                                                    << refused.error.toStdString();
    }
}

// The manual pages are made from --help: it must succeed and print on standard output a usage
// line naming the program, then a description.
TEST(CommandLines, HelpPrintsTheUsageOnStandardOutputAndSucceeds) {
    for (const char* program :
         {"halyx-command", "halyx-ans", "halyx-station", "halyx-scenario", "halyx-log"}) {
        const Refused help = RunProgram(program, {QStringLiteral("--help")});
        EXPECT_EQ(help.status, 0) << program << "\n" << help.error.toStdString();
        EXPECT_TRUE(help.error.isEmpty()) << program << "\n" << help.error.toStdString();
        EXPECT_TRUE(help.output.startsWith(QStringLiteral("Usage: ") + QLatin1String(program) +
                                           QLatin1Char(' ')))
            << help.output.toStdString();
        // A blank line ends the synopsis; the description follows.
        const qsizetype blank = help.output.indexOf(QStringLiteral("\n\n"));
        EXPECT_GT(blank, 0) << program;
        EXPECT_GT(help.output.size(), blank + 10) << program;
    }
}

} // namespace
} // namespace halyx::e2e
