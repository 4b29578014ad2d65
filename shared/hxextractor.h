#pragma once
// The XML data extractor: a data definition in the `def:` vocabulary names the output elements
// and attributes, the queries that supply rows, their parameters and per-node conditions; the
// extractor walks it, runs the queries on the caller's connection and writes the result
// through the SAX writer. It can keep a text log of the fields it reads and the queries it runs.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/ado.h"
#include "platform/base/cobject.h"
#include "platform/xml/msxml.h"

// The namespace of the definition vocabulary; definitions bind it to the prefix "def".
extern const wchar_t kHxDefinitionNamespace[];

class CHxExtractor;

// The engine: writer, attribute list, parameter map, log and connection.
class CDOMExtractor : public CObject {
 public:
  CDOMExtractor() = default;
  ~CDOMExtractor() override = default;

  // Reset: a writer with indenting (or its output emptied), the attribute list, an empty
  // parameter map and a new empty log in "windows-1250" (made when first used). Raises.
  void Init();
  // One pass over the definition into the writer's output. A missing or closed connection
  // raises E_FAIL, a null definition E_INVALIDARG; failures inside the definition are logged.
  void Run(IXMLDOMDocument* definition);

  // S_OK when the map changed, S_FALSE when the name already held that text.
  HRESULT AddParamString(const std::wstring& name, const std::wstring& value);
  // The writer's output of the last run.
  _bstr_t Output();

  // A field or parameter value as text: strings with the characters XML 1.0 forbids made blanks,
  // numbers by locale 1033's rules, dates as "YYYY-MM-DD", booleans as "1" or "0".
  static std::wstring ValueText(const VARIANT& value);
  // Whether a condition value holds: non-zero numbers and dates, non-empty strings; empty and
  // null do not; every other type does.
  static bool Truth(const VARIANT& value);
  // The value made its text as ValueText gives it, in place: a string (a string value's own,
  // its forbidden characters made blanks), or empty.
  static void AsText(VARIANT& value);

 private:
  friend class CHxExtractor;

  // The definition as a run reads it, taken from the document once at the run's start (the
  // walk over every row then asks the document nothing).
  struct DefAttribute {
    bool hasCond = false;
    std::wstring cond;
    _bstr_t name;
    bool hasSrc = false;
    std::wstring src;
    _bstr_t val;
  };
  struct DefParam {
    std::wstring idx;
    bool hasName = false;
    std::wstring name, text;
  };
  struct DefNode {
    enum Kind { kOther, kElement, kData } kind = kOther;
    bool hasCond = false;
    std::wstring cond;
    // def:element
    _bstr_t name;
    bool hasSrc = false;
    std::wstring src;
    _bstr_t val;
    std::vector<DefAttribute> attributes;
    bool handlesChildren = false;  // a child is a def:element or def:data (its text is not written)
    // def:data
    bool hasSql = false;
    std::wstring sql;
    _bstr_t sqlText;  // the query's text as the connection takes it, when it has no parameters
    std::vector<DefParam> params;
    // A query whose every placeholder stands for a value it compares with: the text with a "?"
    // marker for each, and the parameter (from 0) each marker takes, in order. Empty when the
    // query runs only as text (see Marked).
    std::wstring markedSql;
    std::vector<int> markers;
    bool hasChildNodes = false;
    std::vector<DefNode> children;  // the child elements and data blocks, in order
  };
  // A data block's rows and the fields read from them, kept by the name's place in the definition.
  struct Rows {
    _Recordset* rs = nullptr;
    std::vector<std::pair<const std::wstring*, FieldPtr>> fields;
  };

  // The prepared run of a query with markers: a command kept for the run, its parameters in
  // order.
  struct MarkedQuery {
    _CommandPtr command;
    std::vector<_ParameterPtr> params;
  };

  // What a run takes from a definition document: whether it has its def:schema, and the block
  // the run starts from (none when the schema has neither a def:data nor a def:element child).
  struct Plan {
    bool hasSchema = false;
    bool hasRoot = false;
    DefNode root;
  };
  // The plan of a definition document. Raises.
  static std::shared_ptr<const Plan> Prepare(IXMLDOMDocument* definition);
  // The plan made earlier from a definition's text, or null; Remember keeps one for the text
  // (the text alone makes the plan: the parser loads nothing from outside it). A bounded table
  // shared by every extractor of the process, behind a lock.
  static std::shared_ptr<const Plan> Remembered(std::wstring_view text);
  static void Remember(std::wstring_view text, std::shared_ptr<const Plan> plan);
  // A run of a plan: what Run does once the definition is read.
  void Run(const Plan& plan);
  // The run's beginning, shared by both forms of Run: the output emptied, the connection checked.
  void Begin();

  static DefNode Compile(IXMLDOMNode* node);
  // Fills the node's markedSql and markers when its query can run as one statement with the
  // row's values bound: every placeholder (of valid, unnamed parameters) is a value the query
  // compares with, as the database layer lifts such literals into markers, and no literal of
  // its own is; any other query runs as text.
  static void Marked(DefNode& node);
  // The rows of a data block through its marked statement, when every value the row gives its
  // markers is a whole number (as the text would read it); nothing when the block runs as text.
  _RecordsetPtr OpenMarked(const DefNode& node, Rows* rows);
  bool Node(const DefNode& node, Rows* rows);
  bool Condition(bool hasCond, const std::wstring& cond, Rows* rows);
  void Element(const DefNode& node, Rows* rows);
  void Data(const DefNode& node, Rows* rows);
  void Children(const DefNode& node, Rows* rows);
  std::wstring FormatSql(const std::wstring& sqlTemplate, const std::vector<DefParam>& params, Rows* rows);
  _variant_t FieldValue(Rows* rows, const std::wstring& name);
  void CheckConnection();
  void EndElementsFrom(size_t depth);
  void Log(std::wstring_view text, bool endLine);  // nothing is made of the text while the log is off
  // The log, made on first use. Raises.
  _Stream* LogStream();
  void LogError(const _com_error& error);

  IMXWriterPtr m_writer;
  IVBSAXContentHandlerPtr m_handler;
  IMXAttributesPtr m_attributes;
  IVBSAXAttributesPtr m_saxAttributes;
  std::unordered_map<std::wstring, std::wstring> m_params;
  _StreamPtr m_log;
  bool m_createLog = false;
  _ConnectionPtr m_connection;
  std::vector<_bstr_t> m_open;  // elements of the run started and not yet ended
  std::unordered_map<const DefNode*, MarkedQuery> m_marked;  // of the running definition
};

// The exported face: a table of COM-style methods without IUnknown.
class CHxExtractor final {
 public:
  // 32 bits as an interface enumeration: any value a caller passes is one to refuse.
  enum hxWsResultType : LONG { hxWsResultDocument = 0, hxWsResultText = 1 };

  // Raises when the engine cannot be made.
  CHxExtractor();
  ~CHxExtractor() = default;

  STDMETHOD(get_ActiveConnection)(IDispatch** connection);
  STDMETHOD(putref_ActiveConnection)(IDispatch* connection);
  STDMETHOD(Init)();
  STDMETHOD(AddParam)(const wchar_t* name, VARIANT value);
  STDMETHOD(AddParamString)(const wchar_t* name, const wchar_t* value);
  STDMETHOD(get_XMLDefinition)(VARIANT* definition);
  STDMETHOD(put_XMLDefinition)(VARIANT definition);
  STDMETHOD(GetData)(hxWsResultType type, VARIANT* result);
  STDMETHOD(GetBufferedData)(hxWsResultType type, VARIANT* result);
  STDMETHOD(get_CreateLog)(short* on);
  STDMETHOD(put_CreateLog)(short on);
  STDMETHOD(SaveLog)(const wchar_t* path);

  // Both result methods: runs the definition first when `run` is set.
  HRESULT _GetData(hxWsResultType type, VARIANT* result, bool run);

 private:
  CDOMExtractor m_engine;
  // The definition: a document of the caller's (read at every run, as it may change), or the
  // plan of a text given (the text cannot change).
  IXMLDOMDocumentPtr m_definition;
  std::shared_ptr<const CDOMExtractor::Plan> m_plan;
};
