// The controls of the host's main window with sample contents, for the program's renderer
// (`vantor dialog CHxButton buttons.png`).
#include <memory>
#include <vector>

#include "platform/gui/gallery.h"
#include "shared/controls/hxappbar.h"
#include "shared/controls/hxbutton.h"
#include "shared/controls/hxpanel.h"
#include "shared/controls/hxtask.h"
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

}  // namespace

VANTOR_DIALOG_SAMPLE(L"CHxButton", L"Vantor", L"przyciski z podświetleniem: zwykły i wybrany (CHxButton)", Buttons);
VANTOR_DIALOG_SAMPLE(L"CHxTabCtrlButton", L"Vantor", L"zakładki: wybrana, zwykła i pod wskaźnikiem (CHxTabCtrlButton)", Tabs);
VANTOR_DIALOG_SAMPLE(L"CHxAppBar", L"Vantor",
                     L"pasek aplikacji: podpis i dwa przyciski na gradiencie, jeden podświetlony (CHxAppBarButton)",
                     AppBar);
VANTOR_DIALOG_SAMPLE(L"CHxTaskPanel", L"Vantor",
                     L"panel zadań: dwie grupy, druga zwinięta; zadanie wyróżnione i nieaktywne (CHxTaskPanel)",
                     TaskPanel);
