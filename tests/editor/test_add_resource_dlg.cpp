#include "editor/addresourcedlg.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

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
    // Not numbers, and still accepted: the dialog checks presence only.
    texts.heading = "north";
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

TEST(UnitDialog, EditingAnIncursionKeepsItsStartTime) {
    const CIncursion unit("Boat", "1", "10", "20", "30", "40", "12");
    CAddResourceDlg dlg(UnitKind::Incursion, TextsOf(unit));
    EXPECT_EQ(dlg.TimeEdit()->text(), "12");
    CIncursion copy = unit;
    ApplyTexts(dlg.Texts(), copy);
    EXPECT_EQ(copy, unit);
}

TEST(UnitDialog, OkWithAMissingFieldStaysOpenWithTheMessage) {
    CAddResourceDlg dlg(UnitKind::Radar, {"R", "1", "2", "", "", "", ""});
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    dlg.accept();
    EXPECT_EQ(shown, "Please specify a Range for this Radar");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    dlg.RangeEdit()->setText("50");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(UnitDialog, InterceptorEditKeepsTheFieldsTheDialogDoesNotShow) {
    CInterceptor unit("I", "9", 1, 2, 3, 45, 60, 10, "wide");
    CUnitTexts texts = TextsOf(unit);
    texts.speed = "500";
    ApplyTexts(texts, unit);
    EXPECT_EQ(unit.GetSpeed(), 500);
    EXPECT_EQ(unit.GetHeading(), 45);
    EXPECT_EQ(unit.GetRange(), 60);
    EXPECT_EQ(unit.GetMinRange(), 10);
    EXPECT_EQ(unit.GetScope(), "wide");
}

} // namespace
} // namespace halyx
