// Where the desktop keeps what it remembers: under HALYX_HOME when it is set, so that two
// experimenters on one account (or a test) never share settings; the usual place otherwise.

#include "controls/settings.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>

#include <memory>

namespace halyx {
namespace {

// Sets HALYX_HOME for one scope (a null value unsets it); the test's own comes back after.
class HomeScope {
public:
    explicit HomeScope(const QByteArray& home) {
        home.isNull() ? qunsetenv("HALYX_HOME") : qputenv("HALYX_HOME", home);
    }
    ~HomeScope() { qputenv("HALYX_HOME", m_own); }

private:
    const QByteArray m_own = qgetenv("HALYX_HOME");
};

// An empty folder of the test's own, without the trailing '/'.
QString Fresh(const char* name) {
    return QString::fromStdString(test::FreshFolder(name)).chopped(1);
}

TEST(SettingsHome, EachHomeKeepsItsOwnSettingsAndWithoutOneTheUsualPlaceIsUsed) {
    const QString first = Fresh("first");
    const QString second = Fresh("second");
    {
        HomeScope home(first.toLocal8Bit());
        EXPECT_EQ(CSettings::FilePath(), first + QStringLiteral("/settings.ini"));
        CSettings::SetText(QStringLiteral("Registration/Agent"), QStringLiteral("Lab-One"));
        CSettings::SetLastFolder(QStringLiteral("Experiment"), first);
    }
    {
        // A home given with its final separator names the same file.
        HomeScope home((second + QLatin1Char('/')).toLocal8Bit());
        EXPECT_EQ(CSettings::FilePath(), second + QStringLiteral("/settings.ini"));
        EXPECT_EQ(CSettings::Text(QStringLiteral("Registration/Agent"), QStringLiteral("none")),
                  QStringLiteral("none"));
        EXPECT_EQ(CSettings::LastFolder(QStringLiteral("Experiment"), QStringLiteral("fallback")),
                  QStringLiteral("fallback"));
        CSettings::SetText(QStringLiteral("Registration/Agent"), QStringLiteral("Lab-Two"));
    }
    HomeScope home(first.toLocal8Bit());
    EXPECT_EQ(CSettings::Text(QStringLiteral("Registration/Agent"), QString()),
              QStringLiteral("Lab-One"));
    EXPECT_EQ(CSettings::LastFolder(QStringLiteral("Experiment"), QString()), first);
    // A plain INI file in the home, readable by anyone who looks.
    QSettings file(first + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Registration/Agent")).toString(),
              QStringLiteral("Lab-One"));
    // Without a home (an empty one counts as not set) the usual place is used.
    for (const QByteArray& unset : {QByteArray{}, QByteArray("")}) {
        HomeScope none(unset);
        EXPECT_TRUE(CSettings::FilePath().isEmpty()) << unset.isNull();
    }
}

std::unique_ptr<QSplitter> TwoPanes() {
    auto splitter = std::make_unique<QSplitter>();
    splitter->addWidget(new QLabel(QStringLiteral("a")));
    splitter->addWidget(new QLabel(QStringLiteral("b")));
    splitter->resize(400, 100);
    return splitter;
}

// What a window remembers comes back in the next run; what cannot be used (a folder since
// removed, bytes that are no saved state) leaves the default in place instead of a broken layout.
TEST(SettingsHome, RememberedLayoutComesBackAndBadValuesFallBack) {
    const QString folder = Fresh("layout");
    HomeScope home(folder.toLocal8Bit());
    {
        const auto splitter = TwoPanes();
        CSettings::TrackSplitter(splitter.get(), QStringLiteral("Test/Sides"));
        splitter->setSizes({300, 100});
        emit splitter->splitterMoved(300, 1);
    }
    {
        const auto splitter = TwoPanes();
        CSettings::TrackSplitter(splitter.get(), QStringLiteral("Test/Sides"));
        EXPECT_GT(splitter->sizes().value(0), splitter->sizes().value(1));
    }

    const QString gone = folder + QStringLiteral("/gone");
    QDir().mkpath(gone);
    CSettings::SetLastFolder(QStringLiteral("Scenario"), gone);
    EXPECT_EQ(CSettings::LastFolder(QStringLiteral("Scenario"), QStringLiteral("fb")), gone);
    QDir(gone).removeRecursively();
    EXPECT_EQ(CSettings::LastFolder(QStringLiteral("Scenario"), QStringLiteral("fb")),
              QStringLiteral("fb"));
    // An empty folder is never stored over a good one.
    CSettings::SetLastFolder(QStringLiteral("Experiment"), folder);
    CSettings::SetLastFolder(QStringLiteral("Experiment"), QString());
    EXPECT_EQ(CSettings::LastFolder(QStringLiteral("Experiment"), QString()), folder);

    {
        QSettings file(CSettings::FilePath(), QSettings::IniFormat);
        for (const char* key :
             {"Windows/Bad/header", "Windows/Bad/splitter", "Windows/Bad/geometry"}) {
            file.setValue(QLatin1String(key), QByteArray("not a saved state"));
        }
    }
    QTableWidget table(2, 3);
    table.horizontalHeader()->resizeSection(1, 77);
    CSettings::TrackHeader(table.horizontalHeader(), QStringLiteral("Bad"));
    EXPECT_EQ(table.horizontalHeader()->count(), 3);
    EXPECT_EQ(table.horizontalHeader()->sectionSize(1), 77);
    const auto splitter = TwoPanes();
    splitter->setSizes({100, 300});
    const QList<int> sizes = splitter->sizes();
    CSettings::TrackSplitter(splitter.get(), QStringLiteral("Bad"));
    EXPECT_EQ(splitter->sizes(), sizes);
    QWidget window;
    window.resize(321, 123);
    CSettings::TrackGeometry(&window, QStringLiteral("Bad"));
    EXPECT_EQ(window.size(), QSize(321, 123));
}

} // namespace
} // namespace halyx
