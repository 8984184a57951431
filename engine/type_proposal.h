// Column types proposed from the whole sheet: each column gets the narrowest
// type that holds every one of its non-empty cells, in the form the typed
// values are written in.
#pragma once

#include "base/Variant.h"
#include "engine/funcs.h"
#include "engine/grid.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

// A proposed type text and length cell, as the grid holds them.
struct TProposedType {
    std::string Type;
    std::string Length;
    bool operator==(const TProposedType&) const = default;
};

// What the cells of one column have shown so far.
class TColumnTally {
public:
    // Adds one cell's value; empty values (and empty texts) count for
    // nothing. funs gives the cell text rule.
    void Add(const Variant& value, const myfuns& funs);
    // The type holding every cell added, for a table of charset ("utf8"
    // or "utf8mb4"); VARCHAR(255) when no cell counted.
    TProposedType Propose(const std::string& charset) const;

private:
    enum : unsigned {
        kWhole = 1,
        kFraction = 2,
        kBoolean = 4,
        kDate = 8,
        kTime = 16,
        kText = 32,
        kError = 64
    };
    void AddNumber(const std::string& text, bool whole, const std::string& separator);
    void AddDate(double serial);
    void AddText(std::string_view text);
    void Measure(std::string_view text);
    TProposedType ProposeWhole() const;
    TProposedType ProposeFraction() const;
    TProposedType ProposeDate() const;
    TProposedType ProposeText(const std::string& charset) const;

    unsigned FKinds = 0;
    // Numbers as their cell texts show them.
    double FMinWhole = 0, FMaxWhole = 0;
    int FIntDigits = 0, FFracDigits = 0;
    bool FExponent = false;
    // Dates and times.
    bool FTimeOfDay = false, FMilliseconds = false;
    // The longest cell text, in characters and in bytes.
    size_t FChars = 0, FBytes = 0;
};

// A row may take at most 65,535 bytes, VARCHAR columns counted at their
// full width for charset, and (innodb) at most 8,126 bytes in an InnoDB
// page: the VARCHARs of types that take most become TEXT until the row
// fits.
void fit_row_size(std::vector<TProposedType>& types, const std::string& charset, bool innodb);

// Proposes the type and length of every grid row from its column of the
// selected sheet, read once (from the second row when names come from the
// first); the names stay, and the row fits the server's row size (and
// InnoDB's, unless another engine is chosen). The sheet's characters beyond
// utf8 are taken from the grid, the charset choice from funs.TableOptions. Returns, per column left
// as text for an error cell, a note naming the first such cell. Errors of the workbook are not
// caught here.
std::vector<std::string> propose_types(const myfuns& funs, TStringGrid& grid,
                                       const std::string& fileName, const TListModel& sheets,
                                       bool firstRowNames);

} // namespace tabellix
