#pragma once
// The reference site that the reference connector's sessions work on in the program: the working
// copy of the repository's data file beside the product database.
#include <string>

#include "platform/com/com.h"

namespace host {

// The working copy of the reference site beside the database: "<database>.reference-site.json"
// (databases in one folder do not share a site; see DatabaseFilesBase for a database on a server).
std::wstring ReferenceSiteCopy(const std::wstring& database);
// Copies the repository's data file to the working copy (`replace`: also over an existing copy);
// false, told on the error stream, when it cannot be made.
bool MakeReferenceSiteCopy(const std::wstring& database, bool replace);
// Gives the reference connector the working copy, made first when missing. A copy that cannot be
// made or read is told on the error stream, and the connector's sessions then fail (the jobs log
// why) until it can be read; the result of the connector's load.
HRESULT LoadReferenceSite(const std::wstring& database);

}  // namespace host
