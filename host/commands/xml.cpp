// `vantor xml DEF.xml [NAME=VALUE ...]`: runs a data definition file through the XML data
// extractor on the product database and prints the XML.
#include <fstream>
#include <string>
#include <vector>

#include "host/command.h"
#include "host/host.h"
#include "shared/hxextractor.h"

namespace {

int Fail(const std::wstring& text, int status) {
  host::Write(stderr, L"vantor: " + text + L"\n");
  return status;
}

// The writer's text as a UTF-8 file on a terminal: LF line ends, the declaration naming UTF-8.
std::wstring ForOutput(std::wstring xml) {
  const size_t end = xml.find(L"?>");
  const size_t at = xml.find(L"encoding=\"UTF-16\"");
  if (xml.compare(0, 5, L"<?xml") == 0 && at != std::wstring::npos && at < end) xml.replace(at, 17, L"encoding=\"UTF-8\"");
  std::wstring out;
  out.reserve(xml.size() + 1);
  for (size_t i = 0; i < xml.size(); ++i)
    if (!(xml[i] == L'\r' && i + 1 < xml.size() && xml[i + 1] == L'\n')) out += xml[i];
  if (!out.empty() && out.back() != L'\n') out += L'\n';
  return out;
}

std::wstring ErrorText(HRESULT hr) {
  CString code;
  code.Format(L"0x%08X", static_cast<unsigned>(hr));
  std::wstring text = code.GetString();
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) == S_OK && raw) {
    IErrorInfoPtr info(raw, false);
    BSTR description = nullptr;
    info->GetDescription(&description);
    _bstr_t owned(description, false);
    if (owned.length() > 0) text += L": " + std::wstring(static_cast<const wchar_t*>(owned));
  }
  return text;
}

int Xml(host::CommandContext& context) {
  std::wstring definitionFile, logFile;
  std::string definitionPath;
  std::vector<std::pair<std::wstring, std::wstring>> params;
  for (size_t i = 0; i < context.args.size(); ++i) {
    const std::string& arg = context.args[i];
    if (arg == "--log") {
      if (i + 1 >= context.args.size()) return Fail(L"--log wymaga nazwy pliku", 2);
      logFile = host::Widen(context.args[++i]);
    } else if (definitionFile.empty()) {
      definitionPath = arg;
      definitionFile = host::Widen(arg);
    } else {
      const size_t eq = arg.find('=');
      if (eq == std::string::npos || eq == 0)
        return Fail(L"parametr musi mieć postać NAZWA=WARTOŚĆ: " + host::Widen(arg), 2);
      params.emplace_back(host::Widen(arg.substr(0, eq)), host::Widen(arg.substr(eq + 1)));
    }
  }
  if (definitionFile.empty()) return Fail(L"podaj plik definicji danych: vantor xml PLIK.xml [NAZWA=WARTOŚĆ ...]", 2);

  IXMLDOMDocument2Ptr definition;
  if (FAILED(definition.CreateInstance(__uuidof(DOMDocument40), nullptr, 23))) return Fail(L"brak obsługi XML", 1);
  definition->Putasync(VARIANT_FALSE);
  if (definition->load(_variant_t(definitionFile.c_str())) != VARIANT_TRUE) {
    // What failed in Polish; the parser's own text after it.
    IXMLDOMParseErrorPtr error = definition->GetparseError();
    const _bstr_t reason = error->Getreason();
    const std::wstring detail = reason.length() ? L"\nSzczegóły: " + std::wstring(static_cast<const wchar_t*>(reason)) : L"";
    if (!std::ifstream(definitionPath))
      return Fail(L"nie można odczytać pliku definicji " + definitionFile + detail, 2);
    CString where;
    if (error->Getline() > 0) where.Format(L" (wiersz %ld, kolumna %ld)", error->Getline(), error->Getlinepos());
    return Fail(L"plik " + definitionFile + L" nie jest poprawnym dokumentem XML" + where.GetString() + detail, 2);
  }

  CHxExtractor extractor;
  extractor.putref_ActiveConnection(context.host.Connection());
  extractor.put_XMLDefinition(_variant_t(static_cast<IDispatch*>(definition), true));
  for (const auto& [name, value] : params) extractor.AddParamString(name.c_str(), value.c_str());
  if (!logFile.empty()) extractor.put_CreateLog(1);

  _variant_t xml;
  const HRESULT hr = extractor.GetData(CHxExtractor::hxWsResultText, &xml);
  const std::wstring error = FAILED(hr) ? ErrorText(hr) : std::wstring();
  const std::wstring text = SUCCEEDED(hr) && xml.vt == VT_BSTR && xml.bstrVal ? xml.bstrVal : L"";
  // The XML made is printed whatever becomes of the log; a log that cannot be written is
  // reported after it.
  if (!text.empty()) host::Write(stdout, ForOutput(text));
  const bool logLost = !logFile.empty() && extractor.SaveLog(logFile.c_str()) != S_OK;
  if (logLost) Fail(L"nie można zapisać dziennika do pliku " + logFile, 1);
  if (FAILED(hr)) return Fail(L"definicja nie została wykonana: " + error, 1);
  if (text.empty()) return Fail(L"definicja nie dała danych (czy ma element def:schema?)", 1);
  return logLost ? 1 : 0;
}

const char* const kOptions[] = {"--log", nullptr};

}  // namespace

VANTOR_COMMAND(.name = "xml",
               .usage = L"  xml [--log PLIK] DEF.xml [NAZWA=WARTOŚĆ ...]\n"
                        L"             dane XML według definicji z pliku; parametry dla def:param name=\"NAZWA\",\n"
                        L"             --log zapisuje dziennik odczytanych pól i zapytań\n",
               .order = 30, .run = Xml, .readOnly = true, .options = kOptions);
