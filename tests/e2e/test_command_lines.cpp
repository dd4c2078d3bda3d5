// Every program refuses an option it does not know, or a value it cannot read, with its usage
// and exit status 2, before it does anything: a typo such as "--tick 20" must not run a whole
// session at the default tick.
#include "e2eutil.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace halyx::e2e {
namespace {

struct Refused {
    int status = -1;
    QString error;
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
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(CommandLines, UnknownOptionsAndMalformedValuesAreRefusedWithTheUsage) {
    const std::pair<std::string, QStringList> cases[] = {
        {"halyx-command", {"--headless", "--tick", "20"}},
        {"halyx-command", {"--headless", "--tick-ms", "abc"}},
        {"halyx-command", {"--headless", "--ans", "host:notaport"}},
        {"halyx-command", {"--headless", "--clock-every", "often"}},
        {"halyx-command", {"--headless", "--port"}},
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

} // namespace
} // namespace halyx::e2e
