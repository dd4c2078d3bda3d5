// The unit dialog: the checks on OK in their order, what each kind shows, and editing that
// keeps the fields the dialog does not show.
#include "controls/addresourcedlg.h"
#include "scenario/incursion.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

namespace halyx {
namespace {

// Texts as they reach the check, typed or not: the first failing check gives its message.
TEST(UnitDialogChecks, FirstFailingCheckGivesItsMessage) {
    struct Case {
        UnitKind kind;
        CUnitTexts texts; // name, latitude, longitude, range, heading, speed, time
        const char* message;
    };
    const Case cases[] = {
        {UnitKind::Radar, {"", "", "", "", "", "", ""}, "Please specify a name for this unit"},
        {UnitKind::Radar, {"R", "1", "", "", "", "", ""}, "Please specify a Lat/Lng for this unit"},
        {UnitKind::Radar, {"R", "1", "2", "", "", "", ""}, "Please specify a Range for this Radar"},
        {UnitKind::Radar, {"R", "1", "2", "-5", "", "", ""}, "Range cannot be negative"},
        {UnitKind::Interceptor,
         {"R", "1", "2", "", "", "", ""},
         "Please specify a Speed for this Interceptor"},
        {UnitKind::Interceptor, {"R", "1", "2", "", "", "5", ""}, ""},
        {UnitKind::Incursion,
         {"R", "1", "2", "", "", "5", ""},
         "Please specify a Speed and Heading for this Incursion"},
        // Present but not numbers: the stations would be sent the text as it is.
        {UnitKind::Incursion,
         {"R", "1", "2", "", "north", "5", ""},
         "Heading must be a number (with '.' before any decimals)"},
        {UnitKind::Incursion,
         {"N3", "28.5", "-80.1", "", "90", "80x", "0"},
         "Speed must be a number (with '.' before any decimals)"},
        {UnitKind::Incursion,
         {"N3", "28.5", "-80.1", "", "90", "80", "-3"},
         "Time cannot be negative"},
        {UnitKind::Incursion, {"N3", "28.5", "-80.1", "", "90", "80", "0"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(CAddResourceDlg::Check(c.kind, c.texts).toStdString(), c.message);
    }
    // A name the stations' message syntax cannot carry.
    EXPECT_TRUE(CAddResourceDlg::Check(UnitKind::Incursion,
                                       {"say \"hi\"", "28.5", "-80.1", "", "90", "80", "0"})
                    .startsWith(QStringLiteral("A unit name cannot hold")));
}

TEST(UnitDialog, KindDecidesTheFields) {
    CAddResourceDlg radar(UnitKind::Radar, {});
    EXPECT_FALSE(radar.SpeedEdit()->isEnabled());
    EXPECT_TRUE(radar.RangeEdit()->isEnabled());
    CAddResourceDlg incursion(UnitKind::Incursion, {});
    EXPECT_TRUE(incursion.HeadingEdit()->isEnabled());
    EXPECT_EQ(incursion.TimeEdit()->text(), "0");
    CAddResourceDlg interceptor(UnitKind::Interceptor, {});
    EXPECT_FALSE(interceptor.TimeEdit()->isEnabled());
}

TEST(UnitDialog, EditingKeepsAnIncursionsStartTimeAndTheFieldsTheDialogDoesNotShow) {
    const CIncursion boat("Boat", "1", "10", "20", "30", "40", "12");
    CAddResourceDlg dlg(UnitKind::Incursion, TextsOf(boat));
    EXPECT_EQ(dlg.TimeEdit()->text(), "12");
    CIncursion copy = boat;
    ApplyTexts(dlg.Texts(), copy);
    EXPECT_EQ(copy, boat);
}

// What typing lets into the fields, whatever the user's locale.
TEST(UnitDialog, FieldsTakeNumbersAndReadableNamesOnly) {
    // A comma locale must not turn '.' away: the tests run in C, the experimenter may not.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CAddResourceDlg dialog(UnitKind::Incursion, CUnitTexts{});
    dialog.show();
    QTest::keyClicks(dialog.LatEdit(), QStringLiteral("28.5"));
    EXPECT_EQ(dialog.LatEdit()->text(), QStringLiteral("28.5"));
    QTest::keyClicks(dialog.SpeedEdit(), QStringLiteral("80x"));
    EXPECT_EQ(dialog.SpeedEdit()->text(), QStringLiteral("80"));
    EXPECT_EQ(dialog.WhyLabel()->text(),
              QStringLiteral("Speed takes a number, with '.' before any decimals"));
    QTest::keyClicks(dialog.HeadingEdit(), QStringLiteral("ninety"));
    EXPECT_TRUE(dialog.HeadingEdit()->text().isEmpty());
    QTest::keyClicks(dialog.NameEdit(), QStringLiteral("N3 (x)"));
    EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("N3 x"));
    EXPECT_TRUE(dialog.WhyLabel()->text().startsWith(QStringLiteral("A unit name cannot hold")));
    QLocale::setDefault(before);
}

} // namespace
} // namespace halyx
