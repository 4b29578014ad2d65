#pragma once
// File, URL and MD5 tools: names and folders of files, temporary file names, web and FTP
// addresses typed by the user, MD5 digests of buffers, files and streams, and auction numbers
// found in free text.
//
// Paths keep the system's own texts ("Skrypty\\Wzorzec\\"); the file layer turns "\\" into
// "/". A path without a drive part (every path here) gives nothing for a drive.
#include <openssl/evp.h>

#include "platform/com/com.h"
#include "platform/strings/strings.h"
#include "platform/strings/url.h"

class CHxFileTools {
 public:
  enum AppFolders : int {
    afModuleFile = 0,     // the module's own file
    afTemplateScripts = 1 // the folder "Skrypty\\Wzorzec\\" beside the module
  };

  CHxFileTools() = delete;

  // The file name without folder and extension ("" for a null path).
  static CString GetNameFromPath(const wchar_t* path);
  // The file of the module current in the caller's module state (at most 260 characters); for
  // afTemplateScripts its folder (to the last separator) followed by "Skrypty\\Wzorzec\\";
  // any other value an empty text.
  static CString GetAppPath(AppFolders folder);
  // A path in the temporary folder with a new GUID name: bit 1 keeps the drive, 2 the folder,
  // 4 the GUID name, 8 the extension `ext` (with a "." put before it when it has none). False
  // when the temporary folder or a GUID cannot be had.
  static bool GetGUIDTempFile(const wchar_t* ext, CString& out, UINT parts);
  // A new GUID name followed by ".ext", or by `ext` itself when it starts with a dot.
  static bool GetGUIDTempFileName(const CString& ext, CString& out);
  // Reads the file, opened shared, into `stream` (a new memory stream when it is null; a given
  // stream is sized to the file and written from its start) in blocks of 50,000 bytes, and its
  // MD5 digest into `md5`. The stream is left at its end. False when the file cannot be opened
  // or read, or the stream cannot be written (the digest is then left empty).
  static bool StreamFromFileWithMD5(IStreamPtr& stream, const wchar_t* path, CString& md5);
  static bool StreamFromFileWithMD5(IStreamPtr& stream, wchar_t* path, CString& md5) {
    return StreamFromFileWithMD5(stream, static_cast<const wchar_t*>(path), md5);
  }

 private:
  // A new GUID as text without the braces; the GUID itself into `guid` when given.
  static LONG GetNewGUIDString(CString& out, GUID* guid);
};

class CHxURLTools {
 public:
  enum eResourceType : int { rtHttp = 0, rtHttps = 1 };

  CHxURLTools() = delete;

  // False for an empty or blank text; otherwise trims blanks and, when the text does not start
  // with "http://" or "https://" (in any case), puts "http://" (rtHttp) or "https://" (rtHttps)
  // before it (other types put nothing); true.
  static bool FixHtmlUrl(CString& url, eResourceType type);
  // False for an empty text; parses the text as an address, with "http://" put before a text
  // that starts with neither "http://" nor "https://" (in any case); true when a host resulted.
  static bool PrepareHttpURL(const CString& text, CUrl& url);
  // As PrepareHttpURL with "ftp://".
  static bool PrepareFtpURL(const CString& text, CUrl& url);
  // Prepared into a fresh parser (the http scheme, port 80): whether a host resulted.
  static bool IsValidHttpURL(const CString& text);
  static bool IsValidFtpURL(const CString& text);
  // The address as text: "scheme://" when there is a scheme; the user name, ":password" when
  // there is one, and "@"; the host; ":port" when the port is not the scheme's default; the path
  // without trailing blanks, with "/" appended when it does not end in one and no extra part
  // follows; the extra part. Always true.
  static bool CUrlToCString(const CUrl& url, CString& out);
};

class CMD5 {
 public:
  // The digest state of MD5 (RFC 1321) over OpenSSL's EVP.
  struct md5_context {
    EVP_MD_CTX* evp = nullptr;
  };
  struct CTX {
    CTX() = default;
    ~CTX();
    CTX(const CTX&) = delete;
    CTX& operator=(const CTX&) = delete;
    md5_context context;
  };

  // A digest in steps; each returns true (false only when OpenSSL cannot give the state).
  static bool StartCalcMD5(CTX& ctx);
  static bool CalcMD5Buf(CTX& ctx, const BYTE* data, DWORD size);
  // The digest as 32 lower-case hexadecimal digits; the state is finished.
  static bool EndCalcMD5(CTX& ctx, CString& hex);

  static void GetMD5(const BYTE* data, DWORD size, CString& hex);
  // The digest of a file read in blocks of 512 bytes; false when it cannot be opened or read.
  static bool GetMD5(const wchar_t* path, CString& hex);
  // False for a null stream or one that cannot be read; otherwise seeks to its start and
  // digests it in blocks of 512 bytes to its end.
  static bool GetMD5(IStreamPtr& stream, CString& hex);
};

class CHxAutoMsg {
 public:
  CHxAutoMsg() = delete;
  // Empties `number`; for a null text returns null. Otherwise skips to the first digit, collects
  // the run of digits into `number` and returns the position just after it (the terminating
  // zero when the text ends there or has no digit).
  static const wchar_t* ZnajdzAukcje(const wchar_t* text, CString& number);
};
