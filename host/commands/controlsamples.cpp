// The controls of the host's main window with sample contents, which `vantor dialog` renders
// (`vantor dialog CHxButton buttons.png`).
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/gallery.h"
#include "shared/controls/hxappbar.h"
#include "shared/controls/hxbutton.h"
#include "shared/controls/hximagelist.h"
#include "shared/controls/hxpictureview.h"
#include "shared/controls/hxpanel.h"
#include "shared/controls/hxtask.h"
#include "platform/files/files.h"
#include "shared/filetools.h"
#include "shared/hxhelpers.h"

namespace {

// A plain window holding the sample's controls; they go before it does.
class SampleFrame : public CWnd, public CHxBkgnd {
 public:
  ~SampleFrame() override {
    panels.reset();
    children.clear();
  }
  bool Make(const wchar_t* caption, int width, int height) {
    return CreateEx(0, nullptr, caption, WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0) != FALSE;
  }
  template <class T>
  T* Add(std::unique_ptr<T> child) {
    T* raw = child.get();
    children.push_back(std::move(child));
    return raw;
  }
  // The background: a plain face, or the application bar's gradient.
  void DrawBkgnd(CDC* dc, CWnd*, CRect* rect) override {
    CRect r;
    if (rect) r = *rect;
    else GetClientRect(&r);
    if (gradient) hxFillGradientRect(dc->m_hDC, &r, RGB(38, 84, 160), RGB(10, 36, 106), GRADIENT_FILL_RECT_V);
    else dc->FillSolidRect(&r, face);
  }
  BOOL OnEraseBkgnd(CDC* dc) override {
    DrawBkgnd(dc, this, nullptr);
    return TRUE;
  }
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  bool gradient = false;
  std::vector<std::unique_ptr<CWnd>> children;
  std::unique_ptr<CHxWndPanel> panels;
};

std::unique_ptr<CWnd> Buttons() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CHxButton", 250, 44)) return nullptr;
  auto* save = frame->Add(std::make_unique<CHxButton>());
  save->Create(L"Zapisz", CRect(8, 8, 118, 36), frame.get(), 1);
  auto* chosen = frame->Add(std::make_unique<CHxButton>());
  chosen->Create(L"Wybrany", CRect(130, 8, 240, 36), frame.get(), 2);
  chosen->Select2(true);
  return frame;
}

std::unique_ptr<CWnd> Tabs() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CHxTabCtrlButton", 360, 34)) return nullptr;
  frame->face = GetSysColor(COLOR_WINDOW);
  int x = 4;
  const wchar_t* texts[] = {L"Aukcje", L"Transakcje", L"Klienci"};
  for (int i = 0; i < 3; ++i) {
    auto* tab = frame->Add(std::make_unique<CHxTabCtrlButton>());
    tab->SetLineColor(RGB(122, 150, 223));
    if (i == 0) tab->Select2(true);
    if (i == 2) tab->SetMaxState();   // under the pointer: fully highlighted
    tab->Create(texts[i], CRect(x, 4, x + 10, 30), frame.get(), 10 + i);
    const CSize size = tab->SizeOfContent();
    tab->MoveWindow(x, 4, size.cx + 10, 26);
    x += size.cx + 12;
  }
  return frame;
}

std::unique_ptr<CWnd> AppBar() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CHxAppBar", 330, 40)) return nullptr;
  frame->gradient = true;
  auto* caption = frame->Add(std::make_unique<CHxAppBarStatic>());
  caption->m_bkgnd.SetParentBkgnd(frame.get());
  caption->m_item.SetBold(true);
  caption->m_item.SetFontHeight(12);
  caption->CreateEx(0, nullptr, L"Vantor", WS_CHILD | WS_VISIBLE, CRect(6, 6, 96, 34), frame.get(), 1);
  const wchar_t* texts[] = {L"Aukcje", L"Transakcje"};
  for (int i = 0; i < 2; ++i) {
    auto* button = frame->Add(std::make_unique<CHxAppBarButton>());
    button->m_bkgnd.SetParentBkgnd(frame.get());
    button->m_item.SetHorzAligment(1);
    button->m_item.SetBold(i == 0);
    if (i == 0) button->SetMaxState();   // the highlighted one
    button->Create(texts[i], CRect(104 + 110 * i, 6, 204 + 110 * i, 34), frame.get(), 2 + i);
  }
  return frame;
}

CHxTaskControl* Link(CHxTaskPanel& panel, int id, CHxTask::HxTaskEnum task) {
  auto* link = new CHxTaskControl(id);
  link->SetDimensions(240, 18);
  link->SetEmph(CHxTask::Emphasize(task));
  panel.AddElement(link);
  return link;
}

CHxTaskPanel* Group(CHxWndPanel& root, int id, COLORREF face) {
  auto* panel = new CHxTaskPanel(id);
  panel->SetSizingToContent(true);
  panel->SetMarginBottom(8);
  auto* header = new CHxTaskGroup(id * 10);
  header->SetDimensions(240, 20);
  header->SetBkgndColor(face);
  header->SetTextColor(RGB(10, 36, 106));
  panel->AddElement(header);
  root.AddElement(panel);
  return panel;
}

std::unique_ptr<CWnd> TaskPanel() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CHxTaskPanel", 260, 150)) return nullptr;
  frame->face = GetSysColor(COLOR_WINDOW);
  frame->panels = std::make_unique<CHxWndPanel>();
  CHxWndPanel& root = *frame->panels;
  root.SetSizingToContent(true);
  root.SetRc(CRect(10, 10, 10, 10));
  const COLORREF band = RGB(214, 223, 247);
  CHxTaskPanel* first = Group(root, 1, band);
  const CHxTask::HxTaskEnum tasks[] = {CHxTask::htPostComments, CHxTask::htCreatePackage, CHxTask::htPrintDocuments,
                                       CHxTask::htShowTransaction};
  std::vector<CHxTaskControl*> links;
  for (int i = 0; i < 4; ++i) links.push_back(Link(*first, 11 + i, tasks[i]));
  CHxTaskPanel* second = Group(root, 2, band);
  Link(*second, 21, CHxTask::htHelp);
  Link(*second, 22, CHxTask::htChangeSettings);
  if (!root.Create(frame.get())) return nullptr;
  SetWindowTextW(first->GetElement(0)->GetHWND(), L"Zadania transakcji");
  SetWindowTextW(second->GetElement(0)->GetHWND(), L"Inne zadania (zwinięte)");
  for (int i = 0; i < 4; ++i) {
    CString text = CHxTask::GetDescr(tasks[i]);
    if (const wchar_t* shortcut = CHxTask::GetShortcut(tasks[i])) text += CString(L" (") + shortcut + L")";
    links[i]->SetWindowText(text);
  }
  links[2]->SetEnabled(false);
  root.ComputeLayout();
  root.ApplyLayout();
  second->SwitchTasksVisible();
  return frame;
}

// A picture of a sunset over a field: sky from deep blue to orange, a sun, a green ground.
IStreamPtr SamplePicture(int width, int height, int variant) {
  const int stride = (width * 3 + 3) & ~3;
  std::string bytes(54 + static_cast<size_t>(stride) * height, '\0');
  auto put32 = [&](size_t at, unsigned v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put32(2, static_cast<unsigned>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<unsigned>(width));
  put32(22, static_cast<unsigned>(height));
  bytes[26] = 1, bytes[28] = 24;
  const int horizon = height * (55 + 10 * variant) / 100;
  const int sunX = width * (25 + 20 * variant) / 100, sunY = horizon - height / 8, sunR = height / 9;
  for (int y = 0; y < height; ++y) {
    const size_t row = 54 + static_cast<size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      if (y < horizon) {
        const int t = y * 255 / std::max(1, horizon);
        r = 30 + t * 200 / 255, g = 40 + t * 90 / 255, b = 120 - t * 80 / 255;
        const int dx = x - sunX, dy = y - sunY;
        if (dx * dx + dy * dy <= sunR * sunR) r = 255, g = 220, b = 90;
      } else {
        const int t = (y - horizon) * 255 / std::max(1, height - horizon);
        r = 40 + 30 * variant, g = 140 - t * 60 / 255, b = 50;
      }
      bytes[row + x * 3] = static_cast<char>(b);
      bytes[row + x * 3 + 1] = static_cast<char>(g);
      bytes[row + x * 3 + 2] = static_cast<char>(r);
    }
  }
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw)) || !raw) return nullptr;
  IStreamPtr stream(raw, false);
  ULONG written = 0;
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

// The picture list over the pictures of a folder: four photographs written as JPEG files into
// the temporary folder, shown as the list's thumbnails (the files are removed again).
std::unique_ptr<CWnd> PictureList() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CImageListCtrl", 420, 160)) return nullptr;
  auto* list = frame->Add(std::make_unique<CImageListCtrl>());
  if (!list->Create(WS_VISIBLE, CRect(0, 0, 420, 160), frame.get(), 1)) return nullptr;
  list->SetMode(CImageListCtrl::lmHorizontal);
  CImgTools tools;
  CLSID jpeg{};
  tools.GetDefaultCodecInfo(jpeg);
  const int sizes[][2] = {{640, 480}, {480, 640}, {800, 450}, {600, 600}};
  for (int i = 0; i < 4; ++i) {
    CString path;
    if (!CHxFileTools::GetGUIDTempFile(L"jpg", path, 255)) continue;
    IStreamPtr source = SamplePicture(sizes[i][0], sizes[i][1], i % 3);
    if (!source) continue;
    Gdiplus::Bitmap picture(static_cast<IStream*>(source));
    if (picture.Save(path.GetString(), &jpeg) != Gdiplus::Ok) continue;
    list->AddImage(new CHalvexImage(path.GetString()));
    DeleteFileW(path.GetString());
  }
  list->Init();
  if (list->InnerImageList().size() > 1) list->Select(*std::next(list->InnerImageList().begin()));
  return frame;
}

// The preview of a photograph, modeless for the picture.
class SamplePreview : public CHxGdiplusPictureViewDlg {
 public:
  explicit SamplePreview(std::unique_ptr<Gdiplus::Bitmap> bitmap)
      : CHxGdiplusPictureViewDlg(bitmap.get(), L"zachod.jpg - 640 x 400 (48.2 KB)"), m_bitmap(std::move(bitmap)) {}

 private:
  std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
};

std::unique_ptr<CWnd> PicturePreview() {
  IStreamPtr source = SamplePicture(640, 400, 1);
  if (!source) return nullptr;
  auto dialog = std::make_unique<SamplePreview>(std::make_unique<Gdiplus::Bitmap>(static_cast<IStream*>(source)));
  if (!dialog->Create(kIddBmpView)) return nullptr;
  dialog->ShowWindow(SW_SHOW);
  return dialog;
}

// Three state pictures of the skin's strips: a paid transaction, a sent one, an open page.
std::unique_ptr<CWnd> StatePictures() {
  auto frame = std::make_unique<SampleFrame>();
  if (!frame->Make(L"CStatePicture", 100, 32)) return nullptr;
  frame->face = GetSysColor(COLOR_WINDOW);
  const struct {
    DWORD strip;
    int frames, current;
    const wchar_t* tip;
  } states[] = {{500, 3, 1, L"Opłacona"}, {501, 4, 2, L"Wysłana"}, {502, 2, 1, L"Strona otwarta"}};
  for (int i = 0; i < 3; ++i) {
    auto* picture = frame->Add(std::make_unique<CStatePicture>());
    if (!picture->Create(CRect(6 + 30 * i, 4, 30 + 30 * i, 28), frame.get(), 1 + i)) return nullptr;
    picture->SetBitmap(states[i].strip, states[i].frames);
    picture->SetCurrBitmap(states[i].current, states[i].tip);
  }
  return frame;
}

}  // namespace

VANTOR_DIALOG_SAMPLE(L"CHxButton", L"Vantor", L"przyciski z podświetleniem: zwykły i wybrany (CHxButton)", Buttons);
VANTOR_DIALOG_SAMPLE(L"CHxTabCtrlButton", L"Vantor", L"zakładki: wybrana, zwykła i pod wskaźnikiem (CHxTabCtrlButton)", Tabs);
VANTOR_DIALOG_SAMPLE(L"CHxAppBar", L"Vantor",
                     L"pasek aplikacji: podpis i dwa przyciski na gradiencie, jeden podświetlony (CHxAppBarButton)",
                     AppBar);
VANTOR_DIALOG_SAMPLE(L"CHxTaskPanel", L"Vantor",
                     L"panel zadań: dwie grupy, druga zwinięta; zadanie wyróżnione i nieaktywne (CHxTaskPanel)",
                     TaskPanel);
VANTOR_DIALOG_SAMPLE(L"CImageListCtrl", L"Vantor",
                     L"lista zdjęć aukcji: miniatury zdjęć z folderu w jednym wierszu, drugie wybrane (CImageListCtrl)",
                     PictureList);
VANTOR_DIALOG_SAMPLE(L"IDD_BMP_VIEW", L"Vantor", L"podgląd zdjęcia w pełnym rozmiarze (CHxGdiplusPictureViewDlg)",
                     PicturePreview);
VANTOR_DIALOG_SAMPLE(L"CStatePicture", L"Vantor",
                     L"obrazki stanu z pasków skórki: opłacona, wysłana, strona otwarta (CStatePicture)", StatePictures);
