// Error information across calls, _com_error, _com_ptr_t reference counting, class objects
// registered in process, the Global Interface Table and memory streams.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "platform/com/com.h"

namespace {

struct ICounter : IUnknown {
  STDMETHOD(Next)(LONG* value) = 0;
};
VANTOR_UUIDOF(ICounter, "6B2F2B57-4B0E-4B61-9E3C-0F1E2D3C4B5A");
_COM_SMARTPTR_TYPEDEF(ICounter, __uuidof(ICounter));

struct IOther : IUnknown {};
VANTOR_UUIDOF(IOther, "6B2F2B57-4B0E-4B61-9E3C-0F1E2D3C4B5B");
_COM_SMARTPTR_TYPEDEF(IOther, __uuidof(IOther));

struct CoCounter;
VANTOR_UUIDOF(CoCounter, "6B2F2B57-4B0E-4B61-9E3C-0F1E2D3C4B60");

int g_live = 0;

// A counter that fails its second call with error information, as a COM method does.
class Counter final : public ICounter, public ISupportErrorInfo {
 public:
  Counter() { ++g_live; }
  ~Counter() { --g_live; }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == __uuidof(ICounter)) {
      *ppv = static_cast<ICounter*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs;
    if (!n) delete this;
    return n;
  }
  STDMETHODIMP Next(LONG* value) override {
    if (++calls > 1) return platform::com::ReportError(E_FAIL, L"Licznik wyczerpany", L"Test.Counter", __uuidof(ICounter));
    *value = calls;
    return S_OK;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == __uuidof(ICounter) ? S_OK : S_FALSE;
  }
  ULONG refs = 1;
  LONG calls = 0;
};

HRESULT CreateCounter(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* c = new Counter;
  HRESULT hr = c->QueryInterface(riid, ppv);
  c->Release();
  return hr;
}

// Calls Next and raises failures the way wrapper methods do.
LONG CallNext(ICounter* c) {
  LONG v = 0;
  HRESULT hr = c->Next(&v);
  if (FAILED(hr)) _com_issue_errorex(hr, c, __uuidof(ICounter));
  return v;
}

}  // namespace

TEST(ErrorInfo, TravelsFromTheFailingCallToTheCatchSite) {
  ICounterPtr counter(new Counter, false);
  EXPECT_EQ(CallNext(counter), 1);
  try {
    CallNext(counter);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
    EXPECT_EQ(e.Description(), _bstr_t(L"Licznik wyczerpany"));
    EXPECT_EQ(e.Source(), _bstr_t(L"Test.Counter"));
    EXPECT_EQ(e.GUID(), __uuidof(ICounter));
    _com_error copy = e;  // copies share the error information
    EXPECT_EQ(copy.Description(), e.Description());
  }
  // The slot was emptied by the catch path.
  IErrorInfo* left = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
  EXPECT_EQ(left, nullptr);
}

TEST(ErrorInfo, GetClearsTheSlotAndThreadsAreSeparate) {
  platform::com::ReportError(E_FAIL, L"first");
  std::thread other([] {
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
    platform::com::ReportError(E_FAIL, L"other thread");
  });
  other.join();
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR text = nullptr;
  info->GetDescription(&text);
  EXPECT_STREQ(text, L"first");
  SysFreeString(text);
  info->Release();
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);

  // An object that does not claim error information for the interface gets none attached.
  platform::com::ReportError(E_FAIL, L"stale");
  ICounterPtr counter(new Counter, false);
  try {
    _com_issue_errorex(E_FAIL, counter, __uuidof(IOther));
  } catch (const _com_error& e) {
    EXPECT_EQ(e.ErrorInfo(), nullptr);
    EXPECT_EQ(e.Description().length(), 0u);
  }
  SetErrorInfo(0, nullptr);
}

// What the error boundary answers for each kind of failure, with error information left on the
// thread by an earlier failure: only the failure's own information is there afterwards.
TEST(ErrorBoundary, AnswersEachKindOfFailureWithItsOwnInformationOnly) {
  struct Row {
    const char* name;
    std::function<HRESULT()> work;
    HRESULT answer;
    const wchar_t* description;  // null: no error information on the thread
    const wchar_t* source;
    GUID iid;
  };
  const platform::com::ErrorOrigin origin{L"Test.Boundary", __uuidof(IOther)};
  const Row rows[] = {
      {"a raised error keeps its information",
       [] () -> HRESULT { platform::com::Raise(E_INVALIDARG, L"Zła wartość", L"Test.Counter", __uuidof(ICounter)); },
       E_INVALIDARG, L"Zła wartość", L"Test.Counter", __uuidof(ICounter)},
      {"a COM error without information",
       [] () -> HRESULT { _com_issue_error(DISP_E_OVERFLOW); }, DISP_E_OVERFLOW, nullptr, nullptr, GUID_NULL},
      {"allocation failure", [] () -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY, nullptr, nullptr, GUID_NULL},
      {"a standard exception's text",
       [] () -> HRESULT { throw std::runtime_error("plik zniknął"); }, E_FAIL, L"plik zniknął", L"Test.Boundary",
       __uuidof(IOther)},
      {"anything else", [] () -> HRESULT { throw 42; }, E_UNEXPECTED, nullptr, nullptr, GUID_NULL},
      {"the work's own answer", [] { return S_FALSE; }, S_FALSE, L"stale", nullptr, GUID_NULL},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    platform::com::ReportError(E_FAIL, L"stale");
    EXPECT_EQ(platform::com::Boundary(row.work, origin), row.answer);
    IErrorInfo* raw = nullptr;
    const HRESULT got = GetErrorInfo(0, &raw);
    IErrorInfoPtr info(raw, false);
    if (!row.description) {
      EXPECT_EQ(got, S_FALSE);
      continue;
    }
    ASSERT_EQ(got, S_OK);
    BSTR text = nullptr;
    info->GetDescription(&text);
    EXPECT_EQ(_bstr_t(text, false), _bstr_t(row.description));
    if (!row.source) continue;
    BSTR source = nullptr;
    info->GetSource(&source);
    EXPECT_EQ(_bstr_t(source, false), _bstr_t(row.source));
    GUID iid = GUID_NULL;
    info->GetGUID(&iid);
    EXPECT_EQ(iid, row.iid);
  }
  SetErrorInfo(0, nullptr);
  // Work that returns nothing answers S_OK.
  EXPECT_EQ(platform::com::Boundary([] {}), S_OK);
}

// A raise carries its information in the exception and leaves it on the thread; a failed call's
// information left on the thread travels the same way.
TEST(ErrorBoundary, RaisesCarryTheInformationInTheExceptionAndOnTheThread) {
  const auto raised = [](const std::function<void()>& raise) {
    try {
      raise();
    } catch (const _com_error& e) {
      return e;
    }
    return _com_error(S_OK);
  };
  const _com_error own = raised([] { platform::com::Raise(E_ACCESSDENIED, L"Brak uprawnień", L"Test.Counter"); });
  EXPECT_EQ(own.Error(), E_ACCESSDENIED);
  EXPECT_EQ(own.Description(), _bstr_t(L"Brak uprawnień"));
  EXPECT_EQ(own.Source(), _bstr_t(L"Test.Counter"));
  platform::com::ReportError(E_FAIL, L"odmowa zapisu");
  const _com_error passed = raised([] { platform::com::RaiseWithThreadInfo(E_FAIL); });
  EXPECT_EQ(passed.Description(), _bstr_t(L"odmowa zapisu"));
  IErrorInfo* raw = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
  IErrorInfoPtr left(raw, false);
  BSTR text = nullptr;
  left->GetDescription(&text);
  EXPECT_EQ(_bstr_t(text, false), _bstr_t(L"odmowa zapisu"));
}

TEST(ComError, MessagesAndWCodes) {
  _com_error e(E_NOINTERFACE);
  EXPECT_STREQ(e.ErrorMessage(), L"No such interface supported");
  EXPECT_EQ(e.WCode(), 0);
  _com_error custom(static_cast<HRESULT>(0x80040F19));
  EXPECT_EQ(custom.WCode(), 0x0D19);
  EXPECT_STREQ(custom.ErrorMessage(), L"IDispatch error #3353");
  EXPECT_EQ(_com_error::WCodeToHRESULT(0x0D19), static_cast<HRESULT>(0x80040F19));
  _com_error odd(static_cast<HRESULT>(0x80990001));
  EXPECT_STREQ(odd.ErrorMessage(), L"Unknown error 0x80990001");
}

TEST(ComPtr, ReferenceCountingAndQueryOnAssignment) {
  auto* raw = new Counter;  // refs 1
  {
    ICounterPtr a(raw);  // AddRef: 2
    EXPECT_EQ(raw->refs, 2u);
    ICounterPtr b = a;
    EXPECT_EQ(raw->refs, 3u);
    IUnknownPtr unk(a);  // QueryInterface
    EXPECT_EQ(raw->refs, 4u);
    ICounterPtr back(unk);
    EXPECT_EQ(back, a);
    // A missing interface leaves the pointer null without raising.
    IOtherPtr none(a);
    EXPECT_TRUE(!none);
    EXPECT_EQ(none, nullptr);
    b = nullptr;
    EXPECT_EQ(raw->refs, 4u);
    ICounter* detached = back.Detach();
    EXPECT_EQ(raw->refs, 4u);
    back.Attach(detached);
    ICounter** slot = &b;
    EXPECT_EQ(*slot, nullptr);
  }
  EXPECT_EQ(raw->refs, 1u);
  raw->Release();
  EXPECT_EQ(g_live, 0);

  ICounterPtr empty;
  EXPECT_THROW(empty->Next(nullptr), _com_error);
  ICounterPtr fromNull = NULL;
  EXPECT_TRUE(fromNull == nullptr);
  EXPECT_TRUE(empty == NULL);
}

TEST(Activation, RegisteredClassObjectsWinAndRevokeWorks) {
  CoInitialize(nullptr);
  ICounterPtr p;
  EXPECT_EQ(p.CreateInstance(__uuidof(CoCounter)), REGDB_E_CLASSNOTREG);
  IClassFactory* factory = platform::com::NewClassFactory(CreateCounter);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(__uuidof(CoCounter), factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  factory->Release();
  ASSERT_EQ(p.CreateInstance(__uuidof(CoCounter), nullptr, CLSCTX_ALL), S_OK);
  EXPECT_EQ(CallNext(p), 1);
  ICounterPtr second(__uuidof(CoCounter));
  EXPECT_NE(p, second);

  IUnknown* unk = nullptr;
  ASSERT_EQ(CoCreateInstance(__uuidof(CoCounter), nullptr, 0x17, IID_IUnknown, reinterpret_cast<void**>(&unk)), S_OK);
  EXPECT_EQ(OleRun(unk), S_OK);
  unk->Release();
  EXPECT_EQ(CoCreateInstance(__uuidof(CoCounter), nullptr, CLSCTX_ALL, __uuidof(IOther), reinterpret_cast<void**>(&unk)),
            E_NOINTERFACE);

  // A newer registration of the class is the one used; revoked, the older one is again.
  IClassFactory* failing = platform::com::NewClassFactory(
      [](IUnknown*, REFIID, void** ppv) -> HRESULT {
        *ppv = nullptr;
        return E_OUTOFMEMORY;
      });
  DWORD newer = 0;
  ASSERT_EQ(CoRegisterClassObject(__uuidof(CoCounter), failing, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &newer), S_OK);
  failing->Release();
  ICounterPtr fromNewer;
  EXPECT_EQ(fromNewer.CreateInstance(__uuidof(CoCounter)), E_OUTOFMEMORY);
  ASSERT_EQ(CoRevokeClassObject(newer), S_OK);
  EXPECT_EQ(fromNewer.CreateInstance(__uuidof(CoCounter)), S_OK);
  fromNewer = nullptr;

  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_THROW(ICounterPtr(__uuidof(CoCounter)), _com_error);
  p = nullptr;
  second = nullptr;
  EXPECT_EQ(g_live, 0);
  CoUninitialize();
}

TEST(GlobalInterfaceTable, RegisterGetRevoke) {
  IGlobalInterfaceTablePtr git;
  ASSERT_EQ(git.CreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, 0x17), S_OK);
  auto* raw = new Counter;
  DWORD cookie = 0;
  ASSERT_EQ(git->RegisterInterfaceInGlobal(static_cast<ICounter*>(raw), __uuidof(ICounter), &cookie), S_OK);
  raw->Release();  // the table keeps it alive
  EXPECT_EQ(g_live, 1);
  ICounterPtr fetched;
  ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, __uuidof(ICounter), reinterpret_cast<void**>(&fetched)), S_OK);
  EXPECT_EQ(CallNext(fetched), 1);
  fetched = nullptr;
  ASSERT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
  EXPECT_EQ(g_live, 0);
  EXPECT_EQ(git->GetInterfaceFromGlobal(cookie, __uuidof(ICounter), reinterpret_cast<void**>(&fetched)), E_INVALIDARG);
}

TEST(MemoryStream, ReadWriteSeekCloneAndHandle) {
  IStreamPtr stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ULONG n = 0;
  ASSERT_EQ(stream->Write("hello world", 11, &n), S_OK);
  EXPECT_EQ(n, 11u);
  LARGE_INTEGER to{};
  to.QuadPart = 6;
  ULARGE_INTEGER pos{};
  ASSERT_EQ(stream->Seek(to, STREAM_SEEK_SET, &pos), S_OK);
  IStreamPtr clone;
  ASSERT_EQ(stream->Clone(&clone), S_OK);
  char buf[16] = {};
  ASSERT_EQ(clone->Read(buf, sizeof buf, &n), S_OK);
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(buf, "world");
  to.QuadPart = -1;
  EXPECT_EQ(stream->Seek(to, STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);

  // Writing past the end fills the gap with zeros.
  to.QuadPart = 2;
  stream->Seek(to, STREAM_SEEK_END, &pos);
  stream->Write("!", 1, &n);
  STATSTG st;
  ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 14u);
  HGLOBAL h = nullptr;
  ASSERT_EQ(GetHGlobalFromStream(stream, &h), S_OK);
  EXPECT_EQ(GlobalSize(h), 14u);
  const char* bytes = static_cast<const char*>(GlobalLock(h));
  EXPECT_EQ(bytes[11], '\0');
  EXPECT_EQ(bytes[13], '!');
  GlobalUnlock(h);
  ULARGE_INTEGER size{};
  size.QuadPart = 5;
  ASSERT_EQ(stream->SetSize(size), S_OK);
  stream->Stat(&st, STATFLAG_NONAME);
  EXPECT_EQ(st.cbSize.QuadPart, 5u);
}

TEST(MemoryStream, OverAnExistingBlockAndCopyTo) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(h), "abcd", 4);
  GlobalUnlock(h);
  {
    IStreamPtr source;
    ASSERT_EQ(CreateStreamOnHGlobal(h, FALSE, &source), S_OK);  // the block stays ours
    IStreamPtr target;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target), S_OK);
    ULARGE_INTEGER all{}, read{}, written{};
    all.QuadPart = 100;
    ASSERT_EQ(source->CopyTo(target, all, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 4u);
    EXPECT_EQ(written.QuadPart, 4u);
    char buf[8] = {};
    ULONG n = 0;
    EXPECT_EQ(source->Read(buf, sizeof buf, &n), S_OK);  // at the end: nothing, not an error
    EXPECT_EQ(n, 0u);
    LARGE_INTEGER zero{};
    target->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(target->Read(buf, sizeof buf, &n), S_OK);
    EXPECT_STREQ(buf, "abcd");
    ISequentialStream* seq = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&seq)), S_OK);
    seq->Release();
  }
  EXPECT_EQ(GlobalSize(h), 4u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

namespace {
const IID kCounterIid = platform::com::GuidFromText("6B2F2B57-4B0E-4B61-9E3C-0F1E2D3C4B5A");
}  // namespace

TEST(ComPtr, ExplicitIidArgumentIsUsed) {
  using ExplicitPtr = _com_ptr_t<_com_IIID<ICounter, &kCounterIid>>;
  EXPECT_EQ(&ExplicitPtr::GetIID(), &kCounterIid);
  EXPECT_EQ(ICounterPtr::GetIID(), kCounterIid);
  ExplicitPtr p(static_cast<ICounter*>(new Counter), false);
  IUnknownPtr unk(p);
  ExplicitPtr back(unk);
  EXPECT_TRUE(back == p);
}
