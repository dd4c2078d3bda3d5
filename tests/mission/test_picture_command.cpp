// halyx-log picture: a picture at a minute as PNG or SVG, one frame each M minutes, a cut-off log
// read through the repair, and malformed values refused with the usage before anything is read.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <string>

namespace halyx {
namespace {

struct Outcome {
    int status = -1;
    QString error;
};

Outcome HalyxLog(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HALYX_MAP_DIR"), QStringLiteral(HALYX_SOURCE_DIR "/data/maps/"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HALYX_BINARY_DIR "/bin/halyx-log"),
                  QStringList{QStringLiteral("picture")} + args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

struct PictureCommand : ::testing::Test {
    const QString log = QStringLiteral(HALYX_SOURCE_DIR "/tests/record/data/all_events.xml");
    QString out;
    void SetUp() override {
        out = QString::fromLocal8Bit(qgetenv("HALYX_HOME")) + QStringLiteral("/picture/");
        QDir(out).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(out));
    }
};

TEST_F(PictureCommand, WritesAPictureAtAMinuteAsPngOrSvgAndFramesEveryMMinutes) {
    Outcome run = HalyxLog({log, QStringLiteral("--minute"), QStringLiteral("5"),
                            QStringLiteral("-o"), out + QStringLiteral("at5.PNG")});
    ASSERT_EQ(run.status, 0) << run.error.toStdString();
    const QImage png(out + QStringLiteral("at5.PNG"), "PNG");
    EXPECT_GT(png.width(), 800);

    run = HalyxLog({log, QStringLiteral("-o"), out + QStringLiteral("end.svg")});
    ASSERT_EQ(run.status, 0) << run.error.toStdString();
    QFile svg(out + QStringLiteral("end.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));

    // The log's last command is at minute 25, its decision at the close of the window: the
    // frames run to minute 960, the last one off the 400-minute steps.
    run = HalyxLog({log, QStringLiteral("--every"), QStringLiteral("400"), QStringLiteral("-o"),
                    out + QStringLiteral("frames")});
    ASSERT_EQ(run.status, 0) << run.error.toStdString();
    EXPECT_EQ(QDir(out + QStringLiteral("frames")).entryList(QDir::Files),
              (QStringList{QStringLiteral("minute_0000.png"), QStringLiteral("minute_0400.png"),
                           QStringLiteral("minute_0800.png"), QStringLiteral("minute_0960.png")}));
}

TEST_F(PictureCommand, ACutOffLogIsReadThroughTheRepair) {
    QFile whole(log);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QByteArray text = whole.readAll();
    const qsizetype cut = text.indexOf("<Event", text.indexOf("<SimEvents") + 200) + 20;
    ASSERT_GT(cut, 20);
    text.truncate(cut);
    QFile broken(out + QStringLiteral("broken.xml"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(text);
    broken.close();
    const Outcome run =
        HalyxLog({broken.fileName(), QStringLiteral("-o"), out + QStringLiteral("b.png")});
    EXPECT_EQ(run.status, 0) << run.error.toStdString();
    EXPECT_TRUE(run.error.contains(QStringLiteral("repair"))) << run.error.toStdString();
    EXPECT_TRUE(QFile::exists(out + QStringLiteral("b.png")));
}

TEST_F(PictureCommand, MalformedValuesAreRefusedWithTheUsageAndNothingWritten) {
    const QString png = out + QStringLiteral("x.png");
    const QStringList cases[] = {
        {log, QStringLiteral("--minute"), QStringLiteral("abc"), QStringLiteral("-o"), png},
        {log, QStringLiteral("--minute"), QStringLiteral("961"), QStringLiteral("-o"), png},
        {log, QStringLiteral("--minute"), QStringLiteral("-3"), QStringLiteral("-o"), png},
        {log, QStringLiteral("--every"), QStringLiteral("0"), QStringLiteral("-o"), out},
        {log, QStringLiteral("--every"), QStringLiteral("5"), QStringLiteral("--minute"),
         QStringLiteral("3"), QStringLiteral("-o"), out},
        {log, QStringLiteral("-o"), out + QStringLiteral("x.gif")},
        {log, QStringLiteral("--minute")},
        {log, log, QStringLiteral("-o"), png},
    };
    for (const QStringList& args : cases) {
        const Outcome run = HalyxLog(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.error.contains(QStringLiteral("Usage"))) << run.error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(png));
    // A log that cannot be read is a failure, not a usage error.
    EXPECT_EQ(HalyxLog({out + QStringLiteral("missing.xml"), QStringLiteral("-o"), png}).status, 1);
}

} // namespace
} // namespace halyx
