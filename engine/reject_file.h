// The reject file of a pass that goes on past refused rows: checked before
// the pass, created at its first refused row, one CSV line per row with the
// fields a spreadsheet would run as formulas made plain text.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

// Why rejectFile may not be written by a pass over workbook: it is the
// workbook itself (one name, a symbolic link or a hard link). Nothing when
// they differ or the reject file does not exist yet.
std::optional<std::string> rejects_overwrite_workbook(const std::string& rejectFile,
                                                      const std::string& workbook);

// A field of the reject file: a leading ' before a text that begins with =,
// +, -, @, a tab or a carriage return, then quoted when it holds a comma, a
// quote or a line break.
std::string reject_field(const std::string& text);

class TRejectFile {
public:
    // Checks that name can be created and, unless replace, that it does not
    // exist yet; raises EFCreateError "Cannot create file "%s". %s" when not.
    // Nothing is created yet.
    TRejectFile(std::string name, bool replace);
    ~TRejectFile();
    TRejectFile(const TRejectFile&) = delete;
    TRejectFile& operator=(const TRejectFile&) = delete;

    // Writes the line of sheet row row and its fields, creating the file at
    // the first; raises EFCreateError or EOSError.
    void Write(int row, const std::vector<std::string>& fields);

private:
    void Create();

    std::string FName;
    bool FReplace;
    std::FILE* FFile = nullptr;
};

} // namespace tabellix
