// The geography page as a user works it: an address typed in and the preview that follows, a
// server that never answers, the line files, undo (the terrain codes are the geography's test).
#include "controls/mappreview.h"
#include "desktop/geographypage.h"
#include "pagefixture.h"
#include "scenario/defaultscenario.h"
#include "scenario/mapsource.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>

namespace halyx::test {
namespace {

const std::string kMaps = HALYX_SOURCE_DIR "/data/maps/";

class GeographyPage : public PageTest {
protected:
    void SetUp() override {
        LoadDefaultScenario(scenario, kMaps);
        page = Open<CGeographyPage>();
        QSignalSpy first(page.get(), &CGeographyPage::PreviewUpdated);
        ASSERT_TRUE(page->Fetching() ? first.wait(10000) : true);
    }
    std::unique_ptr<CGeographyPage> page;
};

TEST_F(GeographyPage, ATypedAddressShowsItsMapInThePreview) {
    EXPECT_EQ(page->MapStatus()->text().toStdString().rfind("Map is ", 0), 0u)
        << page->MapStatus()->text().toStdString();
    const QImage world = page->Preview()->Image();
    ASSERT_FALSE(world.isNull());

    const QString florida = QString::fromStdString(PathToFileAddress(kMaps + "florida.txt"));
    QSignalSpy updated(page.get(), &CGeographyPage::PreviewUpdated);
    Type(page->AddressField(CGeography::kGlobalMap), florida);
    EXPECT_EQ(scenario.Geography().GetMapURL(CGeography::kGlobalMap), florida.toStdString());
    ASSERT_TRUE(updated.wait(10000));
    EXPECT_EQ(page->MapStatus()->text(), "Map is 320 pixels wide by 240 pixels high");
    EXPECT_EQ(page->Preview()->Image().size(), QSize(320, 240));
    EXPECT_GT(scenarioChanges, 0);

    // The whole typed address is one undo step.
    undoStack.undo();
    EXPECT_EQ(page->AddressField(CGeography::kGlobalMap)->text().toStdString(),
              DefaultMapURLs(kMaps)[CGeography::kGlobalMap]);
    ASSERT_TRUE(updated.wait(10000));
    EXPECT_EQ(page->Preview()->Image().size(), world.size());

    // An address that does not read keeps the previous picture and says why.
    Type(page->AddressField(CGeography::kGlobalMap), "/no/such/map.txt");
    ASSERT_TRUE(updated.wait(10000));
    EXPECT_TRUE(page->MapStatus()->text().startsWith("Error in retriving /no/such/map.txt"));
    EXPECT_EQ(page->Preview()->Image().size(), world.size());
}

TEST_F(GeographyPage, AServerThatNeverAnswersKeepsTheWindowResponsiveAndCanBeCancelled) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString address =
        QStringLiteral("http://127.0.0.1:%1/world.txt").arg(silent.serverPort());
    QSignalSpy updated(page.get(), &CGeographyPage::PreviewUpdated);
    Type(page->AddressField(CGeography::kGlobalMap), address);
    // The read waits without holding the window.
    page->FetchPreview();
    ASSERT_TRUE(page->Fetching());
    QTest::qWait(50);
    EXPECT_TRUE(page->Fetching());

    QTest::mouseClick(page->Button("Cancel"), Qt::LeftButton);
    EXPECT_FALSE(page->Fetching());
    EXPECT_EQ(page->MapStatus()->text(), "Cancelled");
    // Closing the connection lets the abandoned read end at once.
    silent.close();
    for (QTcpSocket* connection : silent.findChildren<QTcpSocket*>()) {
        connection->abort();
    }
}

TEST_F(GeographyPage, LineAndMapFilesSaveAndLoad) {
    const QAbstractItemModel* lines = page->ImpactLineList()->model();
    ASSERT_EQ(lines->rowCount(), 30);

    const std::string folder = FreshFolder("geography");
    struct File {
        const char* save;
        const char* load;
        QString path;
    };
    const File files[] = {
        {"Save IILs", "Load IILs", QString::fromStdString(folder + "lines.hil")},
        {"Save Trajectory", "Load Trajectory", QString::fromStdString(folder + "path.hti")},
        {"Save Maps", "Load Maps", QString::fromStdString(folder + "maps.hmi")}};
    for (const File& file : files) {
        ClickChoosing(page->Button(file.save), file.path);
    }

    const auto savedLines = scenario.Geography().GetImpactLines();
    const auto savedUrls = scenario.Geography().GetMapURLs();
    scenario.Geography().SetImpactLines(CImpactLines());
    scenario.Geography().SetTrajectory(CTrajectory());
    scenario.Geography().SetMapURLs({"a", "b", "c", "d"});
    EXPECT_EQ(lines->rowCount(), 0);
    for (const File& file : files) {
        ClickChoosing(page->Button(file.load), file.path);
    }
    EXPECT_EQ(lines->rowCount(), 30);
    EXPECT_EQ(page->TrajectoryList()->model()->rowCount(), 6);
    EXPECT_EQ(page->AddressField(0)->text().toStdString(), savedUrls[0]);

    // A file that is not an impact-line file: a message, the lines as they were.
    CatchMessage();
    ClickChoosing(page->Button("Load IILs"), files[2].path);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(scenario.Geography().GetImpactLines(), savedLines);
}

} // namespace
} // namespace halyx::test
