// How a pass's rows reach the table, as the front ends choose it, and how a
// transfer through the loader went.
#pragma once

#include <string>

namespace tabellix {

// How the rows reach the server: one statement per row (the default road),
// multi-row inserts, LOAD DATA LOCAL, or LOAD DATA where it can be used and
// multi-row inserts elsewhere.
enum class TLoadMethod { PerRow, Batch, LoadData, Fastest };

struct TLoaderOptions {
    TLoadMethod Method = TLoadMethod::PerRow;
    int BatchRows = 0;      // rows per statement at most; 0: as many as fit
    bool KeepGoing = false; // refused rows go to RejectFile and the pass goes on
    std::string RejectFile;
    bool ReplaceRejects = false; // an existing reject file may be replaced

    bool Active() const { return Method != TLoadMethod::PerRow; }
};

// How a loader pass went.
struct TLoadReport {
    int Stored = 0;
    int Refused = 0;        // rows written to the reject file
    std::string RejectFile; // the reject file of a keep-going pass
    int FailedRow = 0;      // the sheet row whose refusal stopped the pass
    int InFlightRow = 0;    // the first sheet row of a statement a lost session left unanswered
    bool LoadData = false;  // whether LOAD DATA carried the rows
};

} // namespace tabellix
