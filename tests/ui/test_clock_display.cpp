// The page's digital clock and count-down.
#include "ui/initpage.h"

#include <gtest/gtest.h>

using halyx::CInitPage;

TEST(ClockDisplay, DigitsAreThreeWide) {
    EXPECT_EQ(CInitPage::ClockDigitsText(0), "000");
    EXPECT_EQ(CInitPage::ClockDigitsText(59), "059");
    EXPECT_EQ(CInitPage::ClockDigitsText(960), "960");
}

TEST(ClockDisplay, CountdownToTheCloseOfTheWindow) {
    EXPECT_EQ(CInitPage::CountdownText(0), "T-16 hours, 0 mins");
    EXPECT_EQ(CInitPage::CountdownText(1), "T-15 hours, 59 mins");
    EXPECT_EQ(CInitPage::CountdownText(59), "T-15 hours, 1 mins");
    EXPECT_EQ(CInitPage::CountdownText(60), "T-15 hours, 0 mins");
    EXPECT_EQ(CInitPage::CountdownText(959), "T-0 hours, 1 mins");
    EXPECT_EQ(CInitPage::CountdownText(960), "T-0 hours, 0 mins");
}

TEST(ClockDisplay, CountdownNeverGoesBelowZero) {
    // A mission started again after its end runs past the window.
    EXPECT_EQ(CInitPage::CountdownText(961), "T-0 hours, 0 mins");
    EXPECT_EQ(CInitPage::CountdownText(1500), "T-0 hours, 0 mins");
}
