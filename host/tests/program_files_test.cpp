// The program's commands on files: xml, preview, print, md5, thumbnail and fit-image.
#include "host/tests/program_fixture.h"

#include <fstream>

#include "testing/pictures/pictures.h"

namespace program_test {
namespace {

TEST_F(Program, XmlRunsADefinitionFile) {
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  const std::string def = db + ".def.xml", log = db + ".log", broken = db + ".broken.xml";
  WriteFile(def,
            "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
            "<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\"><def:data>"
            "<def:sql>SELECT us_Id, us_Name FROM kd_User WHERE us_Name = '%1'</def:sql>"
            "<def:param idx=\"1\" name=\"kto\">nikt</def:param>"
            "<def:element name=\"u\"><def:attribute name=\"opis\" val=\"u\xbfytkownik\"/>"
            "<def:element name=\"n\" src=\"us_Name\"/></def:element></def:data></def:schema>");
  Result run = RunProgram("--db " + db + " xml " + def + " kto=Szef --log " + log);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<u opis=\"użytkownik\">\n\t<n>Szef</n>\n</u>\n");
  EXPECT_NE(ReadFile(log).find("WHERE us_Name = 'Szef'\r\n"), std::string::npos);
  // A value with a quote is doubled in the query; no such user gives just the document.
  Result quoted = RunProgram("--db " + db + " xml " + def + " \"kto=O'Brien=x\"");
  EXPECT_EQ(quoted.status, 0) << quoted.out;
  EXPECT_EQ(quoted.out, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n");
  // A log that cannot be written loses nothing of the XML: it is printed, then the log's failure.
  Result unlogged = RunProgram("--db " + db + " xml " + def + " kto=Szef --log /nonexistent-folder/xml.log");
  EXPECT_EQ(unlogged.status, 1);
  EXPECT_EQ(unlogged.out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<u opis=", 0), 0u)
      << unlogged.out;
  EXPECT_NE(unlogged.out.find("</u>\nvantor: nie można zapisać dziennika do pliku /nonexistent-folder/xml.log"),
            std::string::npos)
      << unlogged.out;

  WriteFile(broken, "<def:schema xmlns:def=\"x\"><def:data>");
  Result bad = RunProgram("--db " + db + " xml " + broken);
  EXPECT_EQ(bad.status, 2);
  // What failed, in Polish, with the parser's own text after it.
  EXPECT_NE(bad.out.find("nie jest poprawnym dokumentem XML (wiersz 1, kolumna "), std::string::npos) << bad.out;
  EXPECT_NE(bad.out.find("\nSzczegóły: "), std::string::npos) << bad.out;
  EXPECT_LT(bad.out.find("XML (wiersz"), bad.out.find("Szczegóły")) << bad.out;
  Result missing = RunProgram("--db " + db + " xml " + db + ".missing.xml");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out.rfind("vantor: nie można odczytać pliku definicji " + db + ".missing.xml\nSzczegóły: ", 0), 0u)
      << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " xml").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " xml " + def + " bezznaku").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " xml " + def + " --log").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " log --log " + log).status, 2);  // --log is xml's own option
  WriteFile(broken, "<inny/>");
  Result empty = RunProgram("--db " + db + " xml " + broken);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("def:schema"), std::string::npos) << empty.out;
  for (const std::string& path : {def, log, broken}) std::remove(path.c_str());
}

TEST_F(Program, PreviewWritesTheHtmlOfARecord) {
  EXPECT_EQ(RunProgram("--db " + db + " preview 1 1").status, 1);  // reading never creates the database
  ASSERT_EQ(RunProgram("--db " + db).status, 0);
  Result user = RunProgram("--db " + db + " preview 1 1");
  EXPECT_EQ(user.status, 0) << user.out;
  EXPECT_NE(user.out.find("<h1>Użytkownik Szef</h1>"), std::string::npos) << user.out;
  const std::string html = db + ".html";
  Result file = RunProgram("--db " + db + " preview 1 1 " + html);
  EXPECT_EQ(file.status, 0) << file.out;
  EXPECT_EQ(file.out, "");
  EXPECT_NE(ReadFile(html).find("<h1>Użytkownik Szef</h1>"), std::string::npos);
  std::remove(html.c_str());
  Result missing = RunProgram("--db " + db + " preview 2 99");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("jest pusty"), std::string::npos) << missing.out;
  EXPECT_EQ(RunProgram("--db " + db + " preview 1").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " preview x 1").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " preview 1 1 a.html b").status, 2);
}

TEST_F(ProgramFiles, PrintSpoolsThePageAndNamesTheJob) {
  const std::string page = Write("strona.html", "<html><body><h1>Zamówienie 17</h1></body></html>");
  Result printed = RunProgram("--db " + db + " print " + page);
  ASSERT_EQ(printed.status, 0) << printed.out;
  const size_t at = printed.out.find(folder + "/spool/job-");
  ASSERT_NE(at, std::string::npos) << printed.out;
  const std::string job = printed.out.substr(at, printed.out.find('\n', at) - at);
  FILE* f = std::fopen(job.c_str(), "rb");
  ASSERT_TRUE(f) << job;
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  EXPECT_EQ(text.rfind("header:  \nfooter: Vantor, Kordel \n\n", 0), 0u) << text;
  EXPECT_NE(text.find("<h1>Zamówienie 17</h1>"), std::string::npos) << text;

  Result missing = RunProgram("--db " + db + " print " + folder + "/nie-ma.html");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("nie można odczytać pliku"), std::string::npos) << missing.out;
  // A page over the 64 MB bound is too large, not unreadable.
  const std::string huge = folder + "/ogromna.html";
  {
    std::ofstream page(huge, std::ios::binary);
    page << "<html><body>";
    page.seekp((65 << 20) - 1);
    page.put(' ');
  }
  Result large = RunProgram("--db " + db + " print " + huge);
  EXPECT_EQ(large.status, 2);
  EXPECT_NE(large.out.find("jest za duża do wydruku"), std::string::npos) << large.out;
  std::remove(huge.c_str());
  EXPECT_EQ(RunProgram("--db " + db + " print").status, 2);
}

TEST_F(ProgramFiles, Md5PrintsTheDigestAsMd5sumDoes) {
  const std::string file = Write("dane.bin", "The quick brown fox jumps over the lazy dog");
  Result digest = RunProgram("--db " + db + " md5 " + file);
  EXPECT_EQ(digest.status, 0);
  EXPECT_EQ(digest.out, "9e107d9d372bb6826bd81d3542a419d6  " + file + "\n");
  Result missing = RunProgram("--db " + db + " md5 " + folder + "/nie-ma");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("nie można odczytać pliku"), std::string::npos) << missing.out;
}

TEST_F(ProgramFiles, ThumbnailAndFitImageWorkOnPictureFiles) {
  const std::string photo = Write("zdjecie.jpg", testpictures::Photo("JPEG", 1600, 1200));
  Result thumb = RunProgram("--db " + db + " thumbnail " + photo + " " + folder + "/miniatura.png");
  ASSERT_EQ(thumb.status, 0) << thumb.out;
  EXPECT_NE(thumb.out.find("135 x 101 w polu 150 x 150"), std::string::npos) << thumb.out;   // the parameters' box
  const auto cell = testpictures::Inspect(ReadFile(folder + "/miniatura.png"));
  EXPECT_EQ(cell.width, 150u);
  EXPECT_EQ(cell.height, 150u);
  const std::string fake = Write("rysunek.jpg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
  EXPECT_EQ(RunProgram("--db " + db + " thumbnail " + fake + " " + folder + "/m2.png").status, 1);

  Result fitted = RunProgram("--db " + db + " fit-image " + photo + " 100000 " + folder + "/maly.jpg --max-side 1000 --exact");
  ASSERT_EQ(fitted.status, 0) << fitted.out;
  const std::string small = ReadFile(folder + "/maly.jpg");
  EXPECT_LE(small.size(), 100000u);
  const auto d = testpictures::Inspect(small);
  EXPECT_EQ(d.format, "JPEG");
  EXPECT_EQ(d.width, 1000u);
  EXPECT_EQ(d.height, 750u);
  Result tiny = RunProgram("--db " + db + " fit-image " + photo + " 100 " + folder + "/x.jpg");
  EXPECT_EQ(tiny.status, 1);
  EXPECT_NE(tiny.out.find("najniższej jakości"), std::string::npos) << tiny.out;
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + fake + " 10 " + folder + "/x.jpg").status, 1);
  // What is not a picture is refused by its first bytes, under the limit too and unread when it
  // never ends; a file over the decoder's bound is refused by its size.
  const std::string text = Write("notatka.txt", "zwykły tekst, nie obraz");
  for (const std::string& file : {fake, text, std::string("/dev/zero")}) {
    Result refused = RunProgram("--db " + db + " fit-image " + file + " 100000 " + folder + "/x.jpg");
    EXPECT_EQ(refused.status, 1) << file;
    EXPECT_NE(refused.out.find("nie jest obrazem"), std::string::npos) << refused.out;
    EXPECT_FALSE(Exists(folder + "/x.jpg")) << file;
  }
  const std::string huge = folder + "/ogromny.jpg";
  {
    std::ofstream big(huge, std::ios::binary);
    big.write("\xFF\xD8\xFF", 3);
    big.seekp((300 << 20) - 1);
    big.put('\0');
  }
  Result large = RunProgram("--db " + db + " fit-image " + huge + " 100000 " + folder + "/x.jpg");
  EXPECT_EQ(large.status, 1);
  EXPECT_NE(large.out.find("jest za duży na obraz"), std::string::npos) << large.out;
  std::remove(huge.c_str());
  // A JPEG cut short decodes (what arrived of it) and is fitted as any picture.
  const std::string whole = testpictures::Photo("JPEG", 800, 600);
  const std::string cut = Write("uciety.jpg", whole.substr(0, whole.size() * 2 / 3));
  Result truncated = RunProgram("--db " + db + " fit-image " + cut + " 20000 " + folder + "/uciety-maly.jpg");
  EXPECT_EQ(truncated.status, 0) << truncated.out;
  EXPECT_LE(ReadFile(folder + "/uciety-maly.jpg").size(), 20000u);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 0 " + folder + "/x.jpg").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 1000 " + folder + "/x.jpg --max-side -3").status, 2);
  EXPECT_EQ(RunProgram("--db " + db + " fit-image " + photo + " 1000").status, 2);
}

}  // namespace
}  // namespace program_test
