// The date-time value and the process's clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/threads/clock.h"
#include "platform/strings/oledatetime.h"

namespace {

class OleDateTime : public ::testing::Test {
 protected:
  void SetUp() override {
    // Local dates are Warsaw's, with its daylight saving changes.
    setenv("TZ", "Europe/Warsaw", 1);
    tzset();
  }
  void TearDown() override { platform::clock::UseRealTime(); }
  static std::int64_t Local(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
  }
};

TEST_F(OleDateTime, NowIsTheLocalTimeOfTheClockThatTestsSet) {
  platform::clock::SetTime(Local(2024, 3, 31, 2, 30, 0) + 0);  // just after the spring change
  const COleDateTime now = COleDateTime::GetCurrentTime();
  EXPECT_EQ(now.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(now.Format(L"%Y-%m-%d %H:%M:%S"), L"2024-03-31 03:30:00");
  SYSTEMTIME st{};
  GetLocalTime(&st);
  EXPECT_EQ(st.wHour, 3);
  GetSystemTime(&st);
  EXPECT_EQ(st.wHour, 1);  // UTC
  // The clock stands still where it was set, but for what a manual clock is moved on.
  EXPECT_EQ(COleDateTime::GetCurrentTime(), now);
  platform::clock::UseManual(5000);
  platform::clock::SetTime(Local(2024, 3, 31, 3, 30, 0));
  platform::clock::Advance(90500);
  EXPECT_EQ(COleDateTime::GetCurrentTime().Format(L"%H:%M:%S"), L"03:31:30");
  platform::clock::UseReal();
  EXPECT_EQ(COleDateTime::GetCurrentTime().Format(L"%H:%M:%S"), L"03:30:00");

  platform::clock::UseRealTime();
  EXPECT_FALSE(platform::clock::IsTimeSet());
  EXPECT_GT(COleDateTime::GetCurrentTime().GetYear(), 2024);
}

TEST_F(OleDateTime, WholeDaysBackLandOnTheSameTimeOfDayAcrossDaylightSaving) {
  platform::clock::SetTime(Local(2024, 4, 15, 0, 0, 1));
  const COleDateTime back = COleDateTime::GetCurrentTime() - COleDateTimeSpan(30, 0, 0, 0);
  EXPECT_EQ(back.Format(L"%Y%m%d"), L"20240316");
  EXPECT_EQ(back.Format(L"%H:%M:%S"), L"00:00:01");
  EXPECT_EQ((COleDateTime(2024, 3, 1, 0, 0, 0) - COleDateTimeSpan(1, 0, 0, 0)).Format(L"%Y%m%d"), L"20240229");
  EXPECT_EQ((COleDateTime(2000, 1, 1, 0, 0, 0) + COleDateTimeSpan(0, 23, 59, 59)).Format(L"%d.%m.%Y %H:%M:%S %%"),
            L"01.01.2000 23:59:59 %");
  EXPECT_DOUBLE_EQ((COleDateTime(2024, 4, 15, 0, 0, 0) - COleDateTime(2024, 3, 16, 0, 0, 0)).GetTotalDays(), 30.0);
}

TEST_F(OleDateTime, DatesBefore1900KeepTheirTimeOfDayOnTheTimeLine) {
  // -1.25 is 29 December 1899, 06:00: six hours later is noon that day (-1.5), not 30 December.
  const COleDateTime morning(-1.25);
  EXPECT_EQ(morning.Format(L"%Y-%m-%d %H:%M"), L"1899-12-29 06:00");
  const COleDateTime noon = morning + COleDateTimeSpan(0, 6, 0, 0);
  EXPECT_EQ(noon.Format(L"%Y-%m-%d %H:%M"), L"1899-12-29 12:00");
  EXPECT_DOUBLE_EQ(noon.m_dt, -1.5);
  EXPECT_TRUE(morning < noon);
  EXPECT_TRUE(noon < COleDateTime(0.25));
  EXPECT_EQ((morning + COleDateTimeSpan(0, 18, 0, 0)).Format(L"%Y-%m-%d %H:%M"), L"1899-12-30 00:00");
}

TEST_F(OleDateTime, StatusFollowsTheValueAndInvalidValuesSayIt) {
  COleDateTime bad(2023, 2, 29, 0, 0, 0);
  EXPECT_EQ(bad.GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(bad.Format(L"%Y"), L"Invalid DateTime");
  EXPECT_EQ(bad.GetYear(), -1);
  EXPECT_EQ((bad + COleDateTimeSpan(1, 0, 0, 0)).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(2024, 1, 1, 24, 0, 0).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ((COleDateTime(9999, 12, 31, 0, 0, 0) + COleDateTimeSpan(1, 0, 0, 0)).GetStatus(), COleDateTime::invalid);

  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  COleDateTime fromNull(null);
  EXPECT_EQ(fromNull.GetStatus(), COleDateTime::null);
  EXPECT_EQ(fromNull.Format(L"%Y"), L"");
  COleDateTime fromText(_variant_t(L"2024-05-06 07:08:09"));
  EXPECT_EQ(fromText.Format(L"%Y%m%d %H:%M:%S"), L"20240506 07:08:09");
  EXPECT_EQ(COleDateTime(_variant_t(L"not a date")).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(2024, 5, 6, 7, 8, 9), fromText);
  EXPECT_NE(COleDateTime(2024, 5, 6, 7, 8, 10), fromText);
  EXPECT_TRUE(COleDateTime(2024, 5, 6, 7, 8, 10) > fromText);
}

TEST_F(OleDateTime, SystemTimesAndTheNeutralTextGoBothWays) {
  SYSTEMTIME st{};
  st.wYear = 2024;
  st.wMonth = 3;
  st.wDay = 5;
  st.wHour = 14;
  st.wMinute = 7;
  const COleDateTime value(st);
  EXPECT_EQ(value, COleDateTime(2024, 3, 5, 14, 7, 0));
  SYSTEMTIME back{};
  ASSERT_TRUE(value.GetAsSystemTime(back));
  EXPECT_EQ(back.wDay, 5);
  EXPECT_EQ(back.wMinute, 7);
  EXPECT_EQ(value.Format(0, LOCALE_USER_DEFAULT), L"2024-03-05 14:07:00");
  EXPECT_EQ(value.Format(VAR_DATEVALUEONLY, LOCALE_USER_DEFAULT), L"2024-03-05");
  EXPECT_FALSE(COleDateTime(2023, 2, 29, 0, 0, 0).GetAsSystemTime(back));

  COleDateTime parsed;
  EXPECT_TRUE(parsed.ParseDateTime(L"2024-03-05 14:07:00"));
  EXPECT_EQ(parsed, value);
  EXPECT_FALSE(parsed.ParseDateTime(L"piąty marca"));
  EXPECT_EQ(parsed.GetStatus(), COleDateTime::invalid);
  st.wMonth = 13;
  EXPECT_EQ(COleDateTime(st).GetStatus(), COleDateTime::invalid);
}

}  // namespace
