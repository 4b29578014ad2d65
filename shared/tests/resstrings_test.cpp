#include <gtest/gtest.h>

#include "shared/resstrings.h"

// A library of its own with a string table, as Lotrix and Vorlen have.
static platform::ResourceModule g_otherModule(L"ResStringsTestLibrary", platform::ModuleKind::Library,
                                              {{15, L"ostatni w bloku 1"},
                                               {16, L"pierwszy w bloku 2"},
                                               {1013, L"Transakcja innej biblioteki"},
                                               {20, L""}});

namespace {

TEST(ResourceStrings, VantorsOwnWords) {
  EXPECT_STREQ(CHxString(hxsPaid), L"opłacona");
  EXPECT_STREQ(CHxString(hxsPrepaid), L"Płatne z góry ");
  EXPECT_STREQ(CHxString(hxsSyncInterrupted), L"Przerwano wysyłanie/odbieranie");
  EXPECT_STREQ(CHxString(static_cast<HxString>(26)), L"");
  EXPECT_STREQ(CHxString(static_cast<HxString>(-1)), L"");
  CString out;
  hxLoadString(out, 1029);
  EXPECT_STREQ(out, L"Dowolna wysyłka");
  hxLoadString(out, 4242);
  EXPECT_TRUE(out.IsEmpty());
}

TEST(ResourceStrings, AutomationStringsFollowTheCurrentModule) {
  {
    AFX_MANAGE_STATE(g_otherModule.State());
    AfxSetResourceHandle(g_otherModule.Handle());
    CHxResBSTR own(1013);
    EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(own)), L"Transakcja innej biblioteki");
    EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(CHxResBSTR(15))), L"ostatni w bloku 1");
    EXPECT_STREQ(static_cast<const wchar_t*>(_bstr_t(CHxResBSTR(16))), L"pierwszy w bloku 2");
    // An empty entry of an existing block, and a missing block: null.
    CHxResBSTR empty(20);
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_EQ(_bstr_t(empty).length(), 0u);
    EXPECT_EQ(CHxResBSTR(5000).Get(), nullptr);
    CHxResBSTR copy(own);
    CHxResBSTR assigned(16);
    assigned = own;
    EXPECT_STREQ(copy.Get(), own.Get());
    EXPECT_NE(copy.Get(), own.Get());
    EXPECT_STREQ(assigned.Get(), own.Get());
  }
}

TEST(ResourceStrings, ClassLibraryLoadingSearchesTheChain) {
  // Vantor joined the chain when it was loaded, so its words are found from the application.
  EXPECT_STREQ(CHxResString(1014), L"opłacona");
  EXPECT_STREQ(hxLoadString(1031), L"tylko odbieraj");
  EXPECT_STREQ(CHxResString(4242), L"");
}

}  // namespace

#include "shared/hxhelpers.h"

namespace {

const char kPicture[] = "GIF89a-bytes";
platform::ResourceModule g_pictures(L"HelpersTestPictures", platform::ModuleKind::Library, {},
                                    {{RT_RCDATA, L"LOGO", kPicture, sizeof kPicture}});

TEST(Helpers, BlendColor) {
  const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
  EXPECT_EQ(hxBlendColor(red, blue, 0), red);
  EXPECT_EQ(hxBlendColor(red, blue, 100), blue);
  EXPECT_EQ(hxBlendColor(RGB(200, 100, 0), RGB(0, 0, 101), 50), RGB(100, 50, 50));
}

TEST(Helpers, StreamFromResource) {
  IStreamPtr stream = hxStreamFromResource(g_pictures.Handle(), L"LOGO", RT_RCDATA);
  ASSERT_TRUE(stream);
  char buffer[64] = {};
  ULONG read = 0;
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
  EXPECT_EQ(read, sizeof kPicture);
  EXPECT_STREQ(buffer, kPicture);
  EXPECT_FALSE(hxStreamFromResource(g_pictures.Handle(), L"MISSING", RT_RCDATA));
}

}  // namespace
