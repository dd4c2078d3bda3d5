// The unit dialog: the checks on OK in their order, what each kind shows, and editing that
// keeps the fields the dialog does not show. OK refused with a message is driven through the
// unit pages in tests/desktop.
#include "controls/addresourcedlg.h"
#include "scenario/incursion.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(UnitDialogChecks, FirstFailingCheckGivesItsMessage) {
    CUnitTexts texts;
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Radar, texts),
              "Please specify a name for this unit");
    texts.name = "R";
    texts.latitude = "1";
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Radar, texts),
              "Please specify a Lat/Lng for this unit");
    texts.longitude = "2";
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Radar, texts),
              "Please specify a Range for this Radar");
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Interceptor, texts),
              "Please specify a Speed for this Interceptor");
    texts.speed = "5";
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Incursion, texts),
              "Please specify a Speed and Heading for this Incursion");
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Interceptor, texts), "");
    // Present but not numbers: the stations would be sent the text as it is.
    texts.heading = "north";
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Incursion, texts),
              "Heading must be a number (with '.' before any decimals)");
    texts.heading = "90";
    texts.time = "0";
    EXPECT_EQ(CAddResourceDlg::Check(UnitKind::Incursion, texts), "");
}

TEST(UnitDialog, KindDecidesCaptionAndFields) {
    CAddResourceDlg radar(UnitKind::Radar, {});
    EXPECT_EQ(radar.windowTitle(), "Add/Edit Radar");
    EXPECT_FALSE(radar.SpeedEdit()->isEnabled());
    EXPECT_TRUE(radar.RangeEdit()->isEnabled());
    CAddResourceDlg incursion(UnitKind::Incursion, {});
    EXPECT_EQ(incursion.windowTitle(), "Add/Edit Incursion");
    EXPECT_TRUE(incursion.HeadingEdit()->isEnabled());
    EXPECT_EQ(incursion.TimeEdit()->text(), "0");
    CAddResourceDlg interceptor(UnitKind::Interceptor, {});
    EXPECT_EQ(interceptor.windowTitle(), "Add/Edit Interceptor");
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

} // namespace
} // namespace halyx
