#pragma once
// What the controls' tests share: a top-level window that records the commands it gets, a
// memory canvas, colour comparison with a tolerance, and the window layer and clock reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"
#include "platform/gui/input.h"
#include "platform/threads/clock.h"
#include "testing/host_doubles/host_doubles.h"
#include "testing/support/canvas.h"

// Rectangles print as their sides in test messages.
inline void PrintTo(const CRect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace controls_test {

// A popup window that records its WM_COMMANDs (wParam, lParam) and answers message 1025.
class Host : public CWnd {
 public:
  bool Make(int width = 400, int height = 300) {
    return CreateEx(0, nullptr, L"host", WS_POPUP | WS_VISIBLE, CRect(50, 50, 50 + width, 50 + height), nullptr, 0) != FALSE;
  }
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_COMMAND) commands.push_back({wParam, lParam});
    if (message == WM_USER + 1) {
      ++asked;
      if (result) *result = answer;
      return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
  }
  BOOL OnEraseBkgnd(CDC* dc) override {
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, RGB(255, 255, 255));
    return TRUE;
  }
  std::vector<std::pair<WPARAM, LPARAM>> commands;
  int asked = 0;
  LRESULT answer = 1;
};

using testutil::Canvas;

inline bool Near(COLORREF a, COLORREF b, int tolerance = 2) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The data parameters' thumbnail box the host doubles give (number 5000).
inline void SetThumbnailBox(doubles::FakeInstance& instance, LONG cx, LONG cy) {
  _RecordsetPtr rs;
  ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  rs->Fields->Append(L"pd_IR_ThumbnailCX", adInteger, 4, adFldIsNullable);
  rs->Fields->Append(L"pd_IR_ThumbnailCY", adInteger, 4, adFldIsNullable);
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  rs->AddNew();
  rs->Fields->GetItem(L"pd_IR_ThumbnailCX")->PutValue(_variant_t(cx));
  rs->Fields->GetItem(L"pd_IR_ThumbnailCY")->PutValue(_variant_t(cy));
  rs->Update();
  instance.numbered[5000] = IUnknownPtr(rs);
}

// Resets the window layer (and a manual clock) around each test.
class Fixture : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override {
    platform::gui::ResetHeadless();
    platform::clock::UseReal();
  }
};

}  // namespace controls_test
