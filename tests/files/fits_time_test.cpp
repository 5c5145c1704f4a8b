// FITS time stamps: mid-exposure UT from the local clock and FITS_Diff, and
// the default date of a manual save.
#include "file_test_util.h"
#include "files/fits.h"
#include "files/fits_time.h"
#include "settings/settings.h"
#include "support/test_env.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class FitsTimeTest : public NocterisTest {
  protected:
    void SetUp() override { NocterisTest::SetUp(); }
};

// 2024-03-09 22:30:00 UTC.
constexpr std::time_t T0 = 1710023400;

TEST_F(FitsTimeTest, StampsAreTheLocalClockOfMidExposurePlusTheDifference) {
    LocalZone zone("XYZ-3"); // the PC's clock runs 3 hours ahead of UTC: 01:30 on the 10th
    cfg.FITS_Diff = 0;
    EXPECT_EQ(fits_time_stamps(T0 - 61, T0 + 60), T0 - 1); // 60.5 s truncated
    EXPECT_STREQ(fits.FITS_Time, "01:29:59");
    EXPECT_STREQ(fits.FITS_Date, "2024-03-10");

    // Two hours behind the clock crosses midnight back into the 9th.
    cfg.FITS_Diff = -2;
    EXPECT_EQ(fits_time_stamps(T0, T0 + 3600), T0 + 1800);
    EXPECT_STREQ(fits.FITS_Time, "00:00:00");
    EXPECT_STREQ(fits.FITS_Date, "2024-03-10");
    fits_time_stamps(T0, T0);
    EXPECT_STREQ(fits.FITS_Time, "23:30:00");
    EXPECT_STREQ(fits.FITS_Date, "2024-03-09");

    // The process zone is left as it was.
    EXPECT_STREQ(std::getenv("TZ"), "XYZ-3");
}

TEST_F(FitsTimeTest, DifferenceCarriesAcrossMonthAndYearEnds) {
    LocalZone zone("UTC0");
    cfg.FITS_Diff = 11;
    fits_time_stamps(1704063600, 1704063600); // 2023-12-31 23:00:00
    EXPECT_STREQ(fits.FITS_Date, "2024-01-01");
    EXPECT_STREQ(fits.FITS_Time, "10:00:00");
    cfg.FITS_Diff = -11;
    fits_time_stamps(1709251200, 1709251200); // 2024-03-01 00:00:00, a leap year
    EXPECT_STREQ(fits.FITS_Date, "2024-02-29");
    EXPECT_STREQ(fits.FITS_Time, "13:00:00");
}

TEST_F(FitsTimeTest, SummerTimeOfTheLocalClockIsKept) {
    // Central European summer time: the clock shows UTC+2 in July.
    LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    cfg.FITS_Diff = -2;
    fits_time_stamps(1720000000, 1720000000); // 2024-07-03 09:46:40 UTC
    EXPECT_STREQ(fits.FITS_Time, "09:46:40");
    EXPECT_STREQ(fits.FITS_Date, "2024-07-03");
}

TEST_F(FitsTimeTest, ManualSavesGetTodaysDateOnlyWhenTheDateIsShort) {
    LocalZone zone("XYZ-3");
    default_fits_date(T0);
    EXPECT_STREQ(fits.FITS_Date, "2024-03-10");

    std::strcpy(fits.FITS_Date, "2024-3-1"); // too short to be a date
    default_fits_date(T0);
    EXPECT_STREQ(fits.FITS_Date, "2024-03-10");

    std::strcpy(fits.FITS_Date, "1999-12-31");
    default_fits_date(T0);
    EXPECT_STREQ(fits.FITS_Date, "1999-12-31");
}

} // namespace
