// Reading a workbook once per run. While a cache scope is open, the last
// workbook read from a file is kept and handed out again when the same file
// is opened and has not changed, so a run that lists the sheets, proposes
// the grid and then converts parses the sheet once.
//
// The rule: the kept workbook is reused only when the name is the same and
// the file's identity (device and inode), size, modification time and
// status-change time are those it had just before it was read. A file that
// was replaced, rewritten, renamed over, deleted or cannot be looked at is
// read afresh, so its errors are the reader's as before. One workbook is
// kept at a time, and only while a scope is open: the command line opens
// one for its run; the wizard opens none, so each of its passes reads the
// file anew and nothing outlives a pass there.
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>

namespace tabellix {

// Keeps workbooks for reuse while it lives; scopes nest, and the kept
// workbook is released when the last one ends.
class TWorkbookCacheScope {
public:
    TWorkbookCacheScope();
    ~TWorkbookCacheScope();
    TWorkbookCacheScope(const TWorkbookCacheScope&) = delete;
    TWorkbookCacheScope& operator=(const TWorkbookCacheScope&) = delete;
};

// The workbook of fileName as OpenWorkbookFile reads it (sheets deferred),
// or the kept one under the rule above.
std::shared_ptr<TWorkbook> OpenCachedWorkbook(const std::string& fileName);

} // namespace tabellix
