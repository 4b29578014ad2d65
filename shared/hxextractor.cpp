// The XML data extractor.
#include "shared/hxextractor.h"

#include <cstdint>
#include <cwchar>
#include <exception>
#include <functional>
#include <mutex>
#include <new>

#include "platform/ado/lifted_literals.h"
#include "platform/strings/strings.h"
#include "shared/sqltools.h"

const wchar_t kHxDefinitionNamespace[] = L"http://www.vantor.example/VXSchemas/xml-def.xsd";

namespace {

constexpr LONG kMaxParams = 10;
constexpr DWORD kAnyContext = 23;  // in process, local server or remote

using platform::com::Raise;

void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}

// The attribute names the definition vocabulary reads, made once.
struct Names {
  _bstr_t name{L"name"}, src{L"src"}, val{L"val"}, cond{L"cond"}, idx{L"idx"}, empty{L""};
};
const Names& Name() {
  static const Names names;
  return names;
}

// The attribute's text, or false when the node has no such attribute.
bool Attribute(IXMLDOMNode* node, const _bstr_t& name, std::wstring& value) {
  IXMLDOMElement* element = nullptr;
  if (FAILED(node->QueryInterface(__uuidof(IXMLDOMElement), reinterpret_cast<void**>(&element))) || !element)
    return false;
  VARIANT v;
  VariantInit(&v);
  const HRESULT hr = element->raw_getAttribute(name, &v);
  element->Release();
  if (FAILED(hr)) _com_issue_error(hr);
  if (v.vt != VT_BSTR) {
    VariantClear(&v);
    return false;
  }
  value.assign(v.bstrVal, SysStringLen(v.bstrVal));
  VariantClear(&v);
  return true;
}

std::wstring AttributeOr(IXMLDOMNode* node, const _bstr_t& name) {
  std::wstring value;
  Attribute(node, name, value);
  return value;
}

// Whether the node's local name is `name`.
bool BaseNameIs(IXMLDOMNode* node, const wchar_t* name) {
  BSTR base = nullptr;
  if (FAILED(node->get_baseName(&base))) _com_issue_error(E_FAIL);
  const bool same = std::wcscmp(base ? base : L"", name) == 0;
  SysFreeString(base);
  return same;
}

std::wstring Text(const _bstr_t& text) { return std::wstring(static_cast<const wchar_t*>(text), text.length()); }

// XML 1.0 takes tab, line feed, carriage return and the characters from U+0020 on, without the
// surrogates and U+FFFE, U+FFFF.
bool XmlChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (u < 0x20) return u == 0x9 || u == 0xA || u == 0xD;
  return (u < 0xD800 || (u > 0xDFFF && u < 0xFFFE)) || (u >= 0x10000 && u <= 0x10FFFF);
}

// The number of a def:param's idx (1 to 10), or 0 when it is none.
LONG ParamNumber(const std::wstring& idx) {
  if (idx.empty() || idx.size() > 2) return 0;
  LONG n = 0;
  for (wchar_t c : idx) {
    if (c < L'0' || c > L'9') return 0;
    n = n * 10 + (c - L'0');
  }
  return n <= kMaxParams ? n : 0;
}

// The query template with the values in its placeholders (FormatMessage's rules); false when it
// cannot be formatted.
bool FormatTemplate(const std::wstring& sqlTemplate, const std::wstring (&values)[kMaxParams], std::wstring& sql) {
  DWORD_PTR arguments[kMaxParams];
  for (LONG i = 0; i < kMaxParams; ++i) arguments[i] = reinterpret_cast<DWORD_PTR>(values[i].c_str());
  LPWSTR formatted = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                      sqlTemplate.c_str(), 0, 0, reinterpret_cast<LPWSTR>(&formatted), 0,
                                      reinterpret_cast<va_list*>(arguments));
  const bool done = length != 0 && formatted;
  if (done) sql.assign(formatted, length);
  if (formatted) LocalFree(formatted);
  return done;
}

// The number standing for parameter n (1 to 10) while a query's text is read for its markers: no
// query holds it.
constexpr LONGLONG kStandIn = 730461928305170000;

// A whole number's decimal digits.
BSTR Decimal(LONGLONG n) {
  wchar_t digits[24];
  wchar_t* const end = digits + 24;
  wchar_t* at = end;
  unsigned long long u = n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  do {
    *--at = static_cast<wchar_t>(L'0' + u % 10);
    u /= 10;
  } while (u);
  if (n < 0) *--at = L'-';
  return SysAllocStringLen(at, static_cast<UINT>(end - at));
}

// A row's value as a marker takes it: a whole number written with digits only, as the text of the
// query would read it.
bool WholeNumber(std::wstring_view text, LONGLONG& number) {
  if (text.empty() || text.size() > 18) return false;
  number = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    number = number * 10 + (c - L'0');
  }
  return true;
}

}  // namespace

// ---- values ---------------------------------------------------------------------------------

void CDOMExtractor::AsText(VARIANT& value) {
  BSTR text = nullptr;
  switch (value.vt) {
    case VT_BSTR:
      if (value.bstrVal)
        for (wchar_t *c = value.bstrVal, *end = c + SysStringLen(value.bstrVal); c != end; ++c)
          if (!XmlChar(*c)) *c = L' ';
      return;
    case VT_I2:
      text = Decimal(value.iVal);
      break;
    case VT_I4:
      text = Decimal(value.lVal);
      break;
    case VT_CY:
      if (FAILED(VarBstrFromCy(value.cyVal, 1033, 0, &text))) text = nullptr;
      break;
    case VT_DATE: {
      SYSTEMTIME st{};
      if (!VariantTimeToSystemTime(value.date, &st)) break;
      // "YYYY-MM-DD"
      wchar_t day[10];
      auto put = [&day](std::size_t last, unsigned v, int digits) {
        for (; digits > 0; --digits, v /= 10) day[last--] = static_cast<wchar_t>(L'0' + v % 10);
      };
      put(3, st.wYear, 4);
      day[4] = L'-';
      put(6, st.wMonth, 2);
      day[7] = L'-';
      put(9, st.wDay, 2);
      text = SysAllocStringLen(day, 10);
      break;
    }
    case VT_BOOL:
      text = SysAllocString(value.boolVal ? L"1" : L"0");
      break;
    case VT_R4:
    case VT_R8:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: {
      VARIANT number;
      VariantInit(&number);
      if (SUCCEEDED(VariantChangeTypeEx(&number, &value, 1033, 0, VT_BSTR)) && number.vt == VT_BSTR) {
        text = number.bstrVal;
      } else {
        VariantClear(&number);
      }
      break;
    }
    default:
      break;
  }
  VariantClear(&value);
  if (!text) return;
  value.vt = VT_BSTR;
  value.bstrVal = text;
}

std::wstring CDOMExtractor::ValueText(const VARIANT& value) {
  _variant_t text(value);
  AsText(text);
  if (text.vt != VT_BSTR || !text.bstrVal) return {};
  return std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
}

bool CDOMExtractor::Truth(const VARIANT& value) {
  switch (value.vt) {
    case VT_I2: return value.iVal != 0;
    case VT_BOOL: return value.boolVal != 0;
    case VT_I4: return value.lVal != 0;
    case VT_UI1: return value.bVal != 0;
    case VT_CY: return value.cyVal.Lo != 0 || value.cyVal.Hi != 0;
    case VT_DATE: return value.date != 0;
    case VT_BSTR: return value.bstrVal && SysStringLen(value.bstrVal) > 0;
    case VT_EMPTY:
    case VT_NULL: return false;
    default: return true;
  }
}

// ---- engine ---------------------------------------------------------------------------------

void CDOMExtractor::Init() {
  if (!m_writer) {
    Check(m_writer.CreateInstance(__uuidof(MXXMLWriter40), nullptr, kAnyContext));
    m_writer->Putindent(VARIANT_TRUE);
  } else {
    m_writer->Putoutput(_variant_t(L""));
  }
  if (!m_attributes) {
    Check(m_attributes.CreateInstance(__uuidof(SAXAttributes40), nullptr, kAnyContext));
    m_saxAttributes = m_attributes;
    if (!m_saxAttributes) _com_issue_error(E_NOINTERFACE);
  }
  m_handler = m_writer;
  if (!m_handler) _com_issue_error(E_NOINTERFACE);
  m_params.clear();
  m_log = nullptr;  // a new log is made when the first line is written or the log is saved
  m_open.clear();
}

HRESULT CDOMExtractor::AddParamString(const std::wstring& name, const std::wstring& value) {
  auto [it, added] = m_params.try_emplace(name, value);
  if (added) return S_OK;
  if (it->second == value) return S_FALSE;
  it->second = value;
  return S_OK;
}

_bstr_t CDOMExtractor::Output() {
  if (!m_writer) return _bstr_t(L"");
  _variant_t output = m_writer->Getoutput();
  if (output.vt != VT_BSTR) return _bstr_t(L"");
  return _bstr_t(output.Detach().bstrVal, false);
}

void CDOMExtractor::Log(std::wstring_view text, bool endLine) {
  if (!m_createLog) return;
  try {
    LogStream()->WriteText(_bstr_t(std::wstring(text).c_str()), endLine ? adWriteLine : adWriteChar);
  } catch (const _com_error&) {
    // A log that cannot be written never stops the extraction.
  }
}

_Stream* CDOMExtractor::LogStream() {
  if (!m_log) {
    _StreamPtr log;
    Check(log.CreateInstance(__uuidof(Stream)));
    log->Open(vtMissing, adModeUnknown, static_cast<StreamOpenOptionsEnum>(-1), L"", L"");
    log->PutCharset(L"windows-1250");
    m_log = log;
  }
  return m_log;
}

void CDOMExtractor::LogError(const _com_error& error) {
  Log(error.ErrorMessage(), true);
  if (IErrorInfo* info = error.ErrorInfo()) {
    info->Release();
    Log(Text(error.Description()), true);
  }
}

void CDOMExtractor::CheckConnection() {
  if (!m_connection || m_connection->GetState() != adStateOpen)
    Raise(E_FAIL, L"Brak otwartego połączenia z bazą danych.");
}

void CDOMExtractor::EndElementsFrom(size_t depth) {
  _bstr_t empty(L"");
  while (m_open.size() > depth) {
    _bstr_t name = m_open.back();
    m_open.pop_back();
    m_handler->raw_endElement(&empty.GetBSTR(), &name.GetBSTR(), &name.GetBSTR());
  }
}

void CDOMExtractor::Begin() {
  if (!m_writer) Init();
  else m_writer->Putoutput(_variant_t(L""));
  m_open.clear();
  CheckConnection();
}

void CDOMExtractor::Run(IXMLDOMDocument* definition) {
  Begin();
  if (!definition) Raise(E_INVALIDARG, L"Brak definicji danych XML.");
  std::shared_ptr<const Plan> plan;
  try {
    plan = Prepare(definition);
  } catch (const _com_error&) {
    return;  // the run ends before its document starts
  }
  Run(*plan);
}

std::shared_ptr<const CDOMExtractor::Plan> CDOMExtractor::Prepare(IXMLDOMDocument* definition) {
  auto plan = std::make_shared<Plan>();
  IXMLDOMDocument2Ptr document(definition);
  if (!document) _com_issue_error(E_NOINTERFACE);
  const std::wstring namespaces = std::wstring(L"xmlns:def='") + kHxDefinitionNamespace + L"'";
  document->setProperty(L"SelectionNamespaces", _variant_t(namespaces.c_str()));
  IXMLDOMNodePtr schema = document->selectSingleNode(L"def:schema");
  if (!schema) return plan;
  plan->hasSchema = true;
  IXMLDOMNodePtr root, firstElement;
  IXMLDOMNodeListPtr children = schema->GetchildNodes();
  for (IXMLDOMNodePtr child = children->nextNode(); child; child = children->nextNode()) {
    if (child->GetnodeType() != NODE_ELEMENT) continue;
    if (BaseNameIs(child, L"data")) root = child;
    else if (BaseNameIs(child, L"element")) firstElement = firstElement ? firstElement : child;
    else if (BaseNameIs(child, L"name")) child->Gettext();  // the definition's name: no part of the output
  }
  if (!root) root = firstElement;
  plan->hasRoot = root != nullptr;
  if (root) plan->root = Compile(root);
  return plan;
}

namespace {

// The plans of definition texts: at most kPlans of them, each of a text up to kPlanText long.
constexpr size_t kPlans = 64;
constexpr size_t kPlanText = 1 << 16;

template <typename Plan>
struct PlanTable {
  struct Hash {
    using is_transparent = void;
    // A sample of the text: its length, every 16th character and the last 64 (texts that differ
    // elsewhere share a bucket, where the whole texts are compared).
    size_t operator()(std::wstring_view text) const {
      std::uint64_t h = 14695981039346656037ULL ^ text.size();
      auto mix = [&h](wchar_t c) { h = (h ^ static_cast<std::uint32_t>(c)) * 1099511628211ULL; };
      const size_t n = text.size();
      for (size_t i = 0; i < n; i += 16) mix(text[i]);
      for (size_t i = n > 64 ? n - 64 : 0; i < n; ++i) mix(text[i]);
      return static_cast<size_t>(h);
    }
  };
  std::mutex lock;
  std::unordered_map<std::wstring, std::shared_ptr<const Plan>, Hash, std::equal_to<>> plans;
};
template <typename Plan>
PlanTable<Plan>& Plans() {
  static PlanTable<Plan> table;
  return table;
}

}  // namespace

std::shared_ptr<const CDOMExtractor::Plan> CDOMExtractor::Remembered(std::wstring_view text) {
  if (text.size() > kPlanText) return nullptr;
  PlanTable<Plan>& table = Plans<Plan>();
  std::lock_guard<std::mutex> hold(table.lock);
  const auto it = table.plans.find(text);
  return it != table.plans.end() ? it->second : nullptr;
}

void CDOMExtractor::Remember(std::wstring_view text, std::shared_ptr<const Plan> plan) {
  if (text.size() > kPlanText || !plan) return;
  PlanTable<Plan>& table = Plans<Plan>();
  std::lock_guard<std::mutex> hold(table.lock);
  if (table.plans.size() >= kPlans && table.plans.find(text) == table.plans.end())
    table.plans.erase(table.plans.begin());  // any one makes room: a table this size is rarely full
  table.plans.insert_or_assign(std::wstring(text), std::move(plan));
}

void CDOMExtractor::Run(const Plan& plan) {
  bool started = false;
  try {
    if (!plan.hasSchema) Raise(E_FAIL, L"Definicja danych XML nie ma elementu def:schema.");
    m_marked.clear();
    m_attributes->clear();
    m_handler->startDocument();
    started = true;
    if (plan.hasRoot) {
      // The run's queries read one state of the database, locked once.
      struct Reading {
        _Connection* connection;
        ~Reading() {
          if (connection) platform::ado::EndRead(connection);
        }
      } reading{platform::ado::BeginRead(m_connection) ? m_connection.GetInterfacePtr() : nullptr};
      Node(plan.root, nullptr);
    }
    m_handler->endDocument();
  } catch (const _com_error&) {
    // The run ends here; what was written stays, and the elements it started are ended so that
    // the output remains well-formed.
    EndElementsFrom(0);
    if (started) m_handler->raw_endDocument();
  }
  m_marked.clear();  // its commands were the run's
}

CDOMExtractor::DefNode CDOMExtractor::Compile(IXMLDOMNode* node) {
  DefNode def;
  if (node->GetnodeType() != NODE_ELEMENT) return def;
  if (BaseNameIs(node, L"element")) def.kind = DefNode::kElement;
  else if (BaseNameIs(node, L"data")) def.kind = DefNode::kData;
  else return def;
  def.hasCond = Attribute(node, Name().cond, def.cond);
  if (def.kind == DefNode::kElement) {
    def.name = _bstr_t(AttributeOr(node, Name().name).c_str());
    def.hasSrc = Attribute(node, Name().src, def.src);
    def.val = _bstr_t(AttributeOr(node, Name().val).c_str());
    IXMLDOMNodeListPtr attributes = node->selectNodes(L"def:attribute");
    for (IXMLDOMNodePtr a = attributes->nextNode(); a; a = attributes->nextNode()) {
      DefAttribute attribute;
      attribute.hasCond = Attribute(a, Name().cond, attribute.cond);
      attribute.name = _bstr_t(AttributeOr(a, Name().name).c_str());
      attribute.hasSrc = Attribute(a, Name().src, attribute.src);
      if (!attribute.hasSrc) attribute.val = _bstr_t(AttributeOr(a, Name().val).c_str());
      def.attributes.push_back(std::move(attribute));
    }
  } else {
    IXMLDOMNodeListPtr params = node->selectNodes(L"def:param");
    for (IXMLDOMNodePtr p = params->nextNode(); p; p = params->nextNode()) {
      DefParam param;
      param.idx = AttributeOr(p, Name().idx);
      param.hasName = Attribute(p, Name().name, param.name);
      param.text = Text(p->Gettext());
      def.params.push_back(std::move(param));
    }
    IXMLDOMNodePtr sql = node->selectSingleNode(L"def:sql");
    def.hasSql = sql != nullptr;
    if (sql) def.sql = Text(sql->Gettext());
    if (sql && def.params.empty()) def.sqlText = def.sql.c_str();
    Marked(def);
  }
  def.hasChildNodes = node->hasChildNodes() != VARIANT_FALSE;
  if (def.hasChildNodes) {
    IXMLDOMNodeListPtr children = node->GetchildNodes();
    for (IXMLDOMNodePtr child = children->nextNode(); child; child = children->nextNode()) {
      DefNode compiled = Compile(child);
      if (compiled.kind == DefNode::kOther) continue;  // neither written nor run
      def.children.push_back(std::move(compiled));
    }
  }
  def.handlesChildren = !def.children.empty();
  return def;
}

void CDOMExtractor::Marked(DefNode& node) {
  if (!node.hasSql || node.params.empty() || node.params.size() > static_cast<size_t>(kMaxParams)) return;
  bool given[kMaxParams] = {};
  for (const DefParam& param : node.params) {
    const LONG n = ParamNumber(param.idx);
    // A named parameter's value is text of the caller's.
    if (n == 0 || given[n - 1] || param.hasName) return;
    given[n - 1] = true;
  }
  // The text with a stand-in number for each parameter, read by the database layer's own rule
  // of what a statement compares with: every stand-in must be such a value, and nothing else.
  const std::wstring standIn = std::to_wstring(kStandIn / 100);
  if (node.sql.find(standIn) != std::wstring::npos) return;
  std::wstring values[kMaxParams];
  for (LONG n = 1; n <= kMaxParams; ++n) values[n - 1] = std::to_wstring(kStandIn + n);
  std::wstring text, marked;
  std::vector<platform::ado::Value> lifted;
  if (!FormatTemplate(node.sql, values, text) || !platform::ado::LiftComparedLiterals(text, marked, lifted)) return;
  if (marked.find(standIn) != std::wstring::npos) return;  // a parameter that stays text
  std::vector<int> markers;
  for (const platform::ado::Value& value : lifted) {
    const LONGLONG n = value.kind == platform::ado::VKind::I8 ? value.i - kStandIn : 0;
    if (n < 1 || n > kMaxParams || !given[n - 1]) return;  // a literal of the query's own
    markers.push_back(static_cast<int>(n - 1));
  }
  node.markedSql = std::move(marked);
  node.markers = std::move(markers);
}

_RecordsetPtr CDOMExtractor::OpenMarked(const DefNode& node, Rows* rows) {
  // The row's values, read as the text would read them.
  LONGLONG numbers[kMaxParams] = {};
  for (const DefParam& param : node.params) {
    std::wstring_view text = param.text;
    _variant_t value;
    if (rows && rows->rs->GetState() == adStateOpen) {
      value = FieldValue(rows, param.text);
      AsText(value);
      text = value.vt == VT_BSTR && value.bstrVal ? std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal))
                                                  : std::wstring_view();
    }
    if (!WholeNumber(text, numbers[ParamNumber(param.idx) - 1])) return nullptr;
  }
  MarkedQuery& query = m_marked[&node];
  if (!query.command) {
    Check(query.command.CreateInstance(__uuidof(Command)));
    query.command->PutRefActiveConnection(m_connection);
    query.command->PutCommandText(_bstr_t(node.markedSql.c_str()));
    query.command->PutCommandType(adCmdText);
    for (size_t k = 0; k < node.markers.size(); ++k) {
      _ParameterPtr param = query.command->CreateParameter(_bstr_t(L""), adBigInt, adParamInput, 8, vtMissing);
      query.command->GetParameters()->Append(param);
      query.params.push_back(param);
    }
  }
  for (size_t k = 0; k < node.markers.size(); ++k)
    query.params[k]->PutValue(_variant_t(numbers[node.markers[k]]));
  // The command's own recordset: the static, read-only rows a recordset opened on it would hold.
  try {
    return query.command->Execute(nullptr, nullptr, adCmdText);
  } catch (const _com_error&) {
    return nullptr;  // the text tells what fails
  }
}

bool CDOMExtractor::Node(const DefNode& node, Rows* rows) {
  CheckConnection();
  if (node.kind == DefNode::kOther) return false;
  if (!Condition(node.hasCond, node.cond, rows)) return true;
  if (node.kind == DefNode::kElement) Element(node, rows);
  else Data(node, rows);
  return true;
}

bool CDOMExtractor::Condition(bool hasCond, const std::wstring& cond, Rows* rows) {
  if (!rows || !hasCond) return true;
  try {
    return Truth(FieldValue(rows, cond));
  } catch (const _com_error& e) {
    LogError(e);
    return true;
  }
}

_variant_t CDOMExtractor::FieldValue(Rows* rows, const std::wstring& name) {
  if (m_createLog) Log(L"- Pobieram wartość pola: " + name, true);
  for (const auto& [known, field] : rows->fields)
    if (known == &name) return field->GetValue();
  FieldPtr field = rows->rs->GetFields()->GetItem(_variant_t(name.c_str()));
  rows->fields.emplace_back(&name, field);
  return field->GetValue();
}

void CDOMExtractor::Element(const DefNode& node, Rows* rows) {
  m_attributes->clear();
  for (const DefAttribute& a : node.attributes) {
    if (!Condition(a.hasCond, a.cond, rows)) continue;
    _variant_t value;
    BSTR text = nullptr;
    if (!a.hasSrc) text = a.val;
    if (a.hasSrc && rows) {
      value = FieldValue(rows, a.src);
      AsText(value);
      if (value.vt == VT_BSTR) text = value.bstrVal;
    }
    if (!text) text = Name().empty;
    Check(m_attributes->raw_addAttribute(Name().empty, Name().empty, a.name, Name().empty, text));
  }
  BSTR empty = Name().empty;
  BSTR name = node.name;
  m_handler->startElement(&empty, &name, &name, m_saxAttributes);
  m_open.push_back(node.name);
  for (const DefNode& child : node.children) Node(child, rows);
  if (!node.handlesChildren) {
    _variant_t value;
    BSTR text = node.val;
    if (rows && node.hasSrc) {
      value = FieldValue(rows, node.src);
      AsText(value);
      text = value.vt == VT_BSTR ? value.bstrVal : nullptr;
    }
    if (SysStringLen(text) > 0) m_handler->characters(&text);
  }
  m_handler->endElement(&empty, &name, &name);
  m_open.pop_back();
}

void CDOMExtractor::Children(const DefNode& node, Rows* rows) {
  for (const DefNode& child : node.children) Node(child, rows);
}

void CDOMExtractor::Data(const DefNode& node, Rows* rows) {
  const size_t depth = m_open.size();
  try {
    if (!node.hasSql) {
      Children(node, rows);
      return;
    }
    // A query with markers runs as one statement, bound row by row (the log reads the values as
    // the text does, so it is kept to the text).
    _RecordsetPtr data = node.markers.empty() || m_createLog ? nullptr : OpenMarked(node, rows);
    if (!data) {
      std::wstring formatted;
      _bstr_t formattedText;
      if (!node.params.empty()) {
        formatted = FormatSql(node.sql, node.params, rows);
        formattedText = formatted.c_str();
      }
      Log(L"- Zapytanie do bazy danych:", true);
      Log(node.params.empty() ? node.sql : formatted, true);
      // The connection's own recordset: the static, read-only rows a recordset opened with the
      // text would hold.
      data = m_connection->Execute(node.params.empty() ? node.sqlText : formattedText, nullptr, adCmdText);
    }
    data->PutRefActiveConnection(nullptr);
    const LONG count = data->GetRecordCount();
    Rows inner;
    inner.rs = data;
    if (node.hasChildNodes) {
      for (LONG row = 0; row < count && !data->GetadoEOF();) {
        Children(node, &inner);
        if (++row < count) data->MoveNext();
      }
    }
  } catch (const _com_error& e) {
    LogError(e);
    EndElementsFrom(depth);
  }
}

std::wstring CDOMExtractor::FormatSql(const std::wstring& sqlTemplate, const std::vector<DefParam>& params,
                                      Rows* rows) {
  if (params.size() > static_cast<size_t>(kMaxParams))
    Raise(E_INVALIDARG, L"Definicja zapytania ma więcej niż 10 parametrów def:param.");
  std::wstring values[kMaxParams];
  bool given[kMaxParams] = {};
  for (const DefParam& param : params) {
    const std::wstring& idx = param.idx;
    const LONG n = ParamNumber(idx);
    if (n == 0) {
      CString text;
      text.Format(L"Parametr def:param ma niepoprawny numer idx \"%s\" (dozwolone 1–10).", idx.c_str());
      Raise(E_INVALIDARG, text);
    }
    if (given[n - 1]) {
      CString text;
      text.Format(L"Numer parametru def:param idx=\"%ld\" powtarza się.", n);
      Raise(E_INVALIDARG, text);
    }
    given[n - 1] = true;
    std::wstring& value = values[n - 1];
    if (param.hasName) {
      auto it = m_params.find(param.name);
      value = it != m_params.end() ? std::wstring(hxSqlQuote(it->second.c_str()).GetString()) : param.text;
    } else if (rows && rows->rs->GetState() == adStateOpen) {
      value = hxSqlQuote(ValueText(FieldValue(rows, param.text)).c_str()).GetString();
    } else {
      value = param.text;
    }
  }
  // Every placeholder must have its parameter.
  for (size_t i = 0; i + 1 < sqlTemplate.size(); ++i) {
    if (sqlTemplate[i] != L'%') continue;
    const wchar_t next = sqlTemplate[i + 1];
    if (next < L'0' || next > L'9') {
      ++i;  // "%%", "%n" and the like
      continue;
    }
    LONG n = next - L'0';
    if (i + 2 < sqlTemplate.size() && sqlTemplate[i + 2] >= L'0' && sqlTemplate[i + 2] <= L'9')
      n = n * 10 + (sqlTemplate[i + 2] - L'0');
    if (n == 0) break;  // "%0" ends the message
    if (n > kMaxParams || !given[n - 1]) {
      CString text;
      text.Format(L"Zapytanie używa parametru %%%ld, którego nie podaje żaden def:param.", n);
      Raise(E_INVALIDARG, text);
    }
  }
  std::wstring sql;
  if (!FormatTemplate(sqlTemplate, values, sql)) Raise(E_FAIL, L"Nie można złożyć zapytania z definicji danych XML.");
  return sql;
}

// ---- exported face --------------------------------------------------------------------------

CHxExtractor::CHxExtractor() { m_engine.Init(); }

STDMETHODIMP CHxExtractor::get_ActiveConnection(IDispatch** connection) {
  if (!connection) return E_INVALIDARG;
  *connection = nullptr;
  if (m_engine.m_connection) m_engine.m_connection->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(connection));
  return S_OK;
}

STDMETHODIMP CHxExtractor::putref_ActiveConnection(IDispatch* connection) {
  if (!connection) return E_INVALIDARG;
  try {
    m_engine.m_connection = nullptr;
    _Connection* cn = nullptr;
    if (SUCCEEDED(connection->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&cn))) && cn)
      m_engine.m_connection = _ConnectionPtr(cn, false);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

STDMETHODIMP CHxExtractor::Init() {
  return platform::com::Boundary([&]() -> HRESULT {
    m_engine.Init();
    return S_OK;
  });
}

STDMETHODIMP CHxExtractor::AddParam(const wchar_t* name, VARIANT value) {
  if (!name) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    return m_engine.AddParamString(name, CDOMExtractor::ValueText(value));
  });
}

STDMETHODIMP CHxExtractor::AddParamString(const wchar_t* name, const wchar_t* value) {
  if (!name) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    return m_engine.AddParamString(name, value ? value : L"");
  });
}

STDMETHODIMP CHxExtractor::get_XMLDefinition(VARIANT*) { return E_NOTIMPL; }

STDMETHODIMP CHxExtractor::put_XMLDefinition(VARIANT definition) {
  m_definition = nullptr;
  m_plan = nullptr;
  try {
    if (definition.vt == VT_BSTR) {
      const std::wstring_view text(definition.bstrVal ? definition.bstrVal : L"",
                                   definition.bstrVal ? SysStringLen(definition.bstrVal) : 0);
      m_plan = CDOMExtractor::Remembered(text);
      if (m_plan) return S_OK;
      IXMLDOMDocumentPtr document;
      Check(document.CreateInstance(__uuidof(DOMDocument40), nullptr, kAnyContext));
      document->Putasync(VARIANT_FALSE);
      if (document->loadXML(definition.bstrVal) != VARIANT_FALSE) {
        // A text read whole is kept as its plan (a text that cannot be read is read again at
        // every run, and fails there as it did).
        try {
          m_plan = CDOMExtractor::Prepare(document);
          CDOMExtractor::Remember(text, m_plan);
          return S_OK;
        } catch (const _com_error&) {
          m_plan = nullptr;  // the run reads the document, and fails there
        } catch (const std::exception&) {
          m_plan = nullptr;  // out of memory: likewise
        }
      }
      m_definition = document;
      return S_OK;
    }
    if (definition.vt == VT_DISPATCH) {
      if (!definition.pdispVal) return E_INVALIDARG;
      IXMLDOMDocumentPtr document(definition.pdispVal);
      if (!document) _com_issue_error(E_NOINTERFACE);
      m_definition = document;
      return S_OK;
    }
    return E_INVALIDARG;
  } catch (const _com_error&) {
    m_definition = nullptr;
    m_plan = nullptr;
    return E_FAIL;
  }
}

STDMETHODIMP CHxExtractor::GetData(hxWsResultType type, VARIANT* result) { return _GetData(type, result, true); }

STDMETHODIMP CHxExtractor::GetBufferedData(hxWsResultType type, VARIANT* result) {
  return _GetData(type, result, false);
}

STDMETHODIMP CHxExtractor::get_CreateLog(short* on) {
  if (!on) return E_INVALIDARG;
  *on = m_engine.m_createLog ? -1 : 0;
  return S_OK;
}

STDMETHODIMP CHxExtractor::put_CreateLog(short on) {
  m_engine.m_createLog = on != 0;
  return S_OK;
}

STDMETHODIMP CHxExtractor::SaveLog(const wchar_t* path) {
  if (!m_engine.m_createLog) return S_FALSE;
  try {
    m_engine.LogStream()->SaveToFile(_bstr_t(path ? path : L""), adSaveCreateOverWrite);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

HRESULT CHxExtractor::_GetData(hxWsResultType type, VARIANT* result, bool run) {
  if (!result) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    if (run) {
      if (m_plan) {
        m_engine.Begin();
        m_engine.Run(*m_plan);
      } else {
        if (!m_definition) return E_FAIL;
        m_engine.Run(m_definition);
      }
    }
    if (type == hxWsResultText) {
      _bstr_t output = m_engine.Output();
      VariantClear(result);
      result->vt = VT_BSTR;
      result->bstrVal = output.Detach();
      return S_OK;
    }
    if (type == hxWsResultDocument) {
      IXMLDOMDocumentPtr document;
      if (result->vt == VT_DISPATCH && result->pdispVal) {
        document = result->pdispVal;
        if (!document) return E_NOINTERFACE;
      } else {
        if (FAILED(document.CreateInstance(__uuidof(DOMDocument40), nullptr, kAnyContext)) || !document) return E_FAIL;
        IDispatch* dispatch = nullptr;
        if (FAILED(document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
          return E_FAIL;
        VariantClear(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = dispatch;
      }
      document->loadXML(m_engine.Output());
      return S_OK;
    }
    return E_INVALIDARG;
  });
}
