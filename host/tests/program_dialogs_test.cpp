// The program's dialog pictures: the dialogs and controls it lists and renders.
#include "host/tests/program_fixture.h"

namespace program_test {
namespace {

TEST_F(Program, TheRunOptionDialogsAreListedAndRendered) {
  Result list = RunProgram("--db " + db + " dialog");
  EXPECT_NE(list.out.find("#108  (Lotrix, 262 x 200): opcje odbierania"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("#109  (Lotrix, 232 x 62): opcje wysyłania"), std::string::npos) << list.out;
  const std::string png = db + ".png";
  // The account's settings need an account.
  Result none = RunProgram("--db " + db + " dialog '#106' " + png);
  EXPECT_EQ(none.status, 1) << none.out;
  EXPECT_FALSE(Exists(png));
  ASSERT_EQ(RunProgram("--db " + db + " demo").status, 0);
  for (const char* name : {"'#101'", "'#106'", "'#108'", "'#109'"}) {
    Result shown = RunProgram("--db " + db + " dialog " + name + " " + png);
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_TRUE(Exists(png)) << name;
    std::remove(png.c_str());
  }
}

TEST_F(Program, ListsTheDialogsAndRendersOneAsPng) {
  Result list = RunProgram("--db " + db + " dialog");
  EXPECT_EQ(list.status, 0) << list.out;
  for (const char* name : {"IDD_ONE_FIELD_DLG", "IDD_ONE_BIG_FIELD_DLG", "IDD_STD_PLEASE_WAIT"})
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("251 x 65"), std::string::npos) << list.out;
  const std::string png = folder + "/okno.png";
  Result rendered = RunProgram("--db " + db + " dialog IDD_ONE_FIELD_DLG " + png);
  EXPECT_EQ(rendered.status, 0) << rendered.out;
  FILE* f = std::fopen(png.c_str(), "rb");
  ASSERT_TRUE(f) << rendered.out;
  unsigned char magic[8] = {0};
  EXPECT_EQ(std::fread(magic, 1, 8, f), 8u);
  std::fclose(f);
  std::remove(png.c_str());
  EXPECT_EQ(magic[1], 'P');
  EXPECT_EQ(magic[2], 'N');
  Result unknown = RunProgram("--db " + db + " dialog IDD_NO_SUCH " + png);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("IDD_NO_SUCH"), std::string::npos);
  EXPECT_EQ(std::fopen(png.c_str(), "rb"), nullptr);
  EXPECT_EQ(RunProgram("--db " + db + " dialog IDD_ONE_FIELD_DLG").status, 2);
  Result unwritable = RunProgram("--db " + db + " dialog IDD_STD_PLEASE_WAIT /nonexistent-folder/x.png");
  EXPECT_EQ(unwritable.status, 1);
}

TEST_F(ProgramFiles, TheBrowserPrintingAndAddressDialogsRender) {
  Result list = RunProgram("--db " + db + " dialog");
  for (const char* name : {"IDD_HTML_INNER_BROWSER", "IDD_DRUK_DLG", "#1003"})
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  for (const char* name : {"IDD_HTML_INNER_BROWSER", "IDD_DRUK_DLG", "'#1003'"}) {
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + folder + "/okno.png");
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(folder + "/okno.png")) << name;
    std::remove((folder + "/okno.png").c_str());
  }
}

TEST_F(ProgramFiles, ThePictureListPreviewAndStatePicturesRender) {
  Result list = RunProgram("--db " + db + " dialog");
  for (const char* name : {"CImageListCtrl", "IDD_BMP_VIEW", "CStatePicture"}) {
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
    const std::string png = folder + "/okno.png";
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + png);
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(png)) << name;
    std::remove(png.c_str());
  }
  // The preview is sized to its picture (640 x 400 in its frame).
  Result preview = RunProgram("--db " + db + " dialog IDD_BMP_VIEW " + folder + "/okno.png");
  EXPECT_NE(preview.out.find("(646 x 425 pikseli)"), std::string::npos) << preview.out;
}

TEST_F(ProgramFiles, TheBatchCurrencyAndTemplateDialogsRender) {
  for (const char* name : {"IDD_SUMMARY_DLG", "'#13019'", "'#1004'", "'#122'", "'#13030'"}) {
    Result rendered = RunProgram("--db " + db + " dialog " + name + " " + folder + "/okno.png");
    EXPECT_EQ(rendered.status, 0) << name << rendered.out;
    EXPECT_TRUE(Exists(folder + "/okno.png")) << name;
    std::remove((folder + "/okno.png").c_str());
  }
}

}  // namespace
}  // namespace program_test
