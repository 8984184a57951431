// The loader: a transfer's rows sent in multi-row insert statements or one
// LOAD DATA LOCAL per batch, streamed from memory; a refused batch re-sent
// row by row to find the refused row; rows refused on the way written to a
// reject file. Also the statement batches of the extended-insert dump.
#pragma once

#include "base/Exception.h"
#include "dataaccess/ServerSession.h"
#include "engine/models.h"
#include "engine/typed_values.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

class EDAError;
class myfuns;
class TUniConnection;

// A loader option that cannot be carried out (LOAD DATA refused).
TABELLIX_EXCEPTION(ELoadError, Exception);

// How the rows reach the server: one statement per row (the default road),
// multi-row inserts, LOAD DATA LOCAL, or LOAD DATA where it can be used and
// multi-row inserts elsewhere.
enum class TLoadMethod { PerRow, Batch, LoadData, Fastest };

struct TLoaderOptions {
    TLoadMethod Method = TLoadMethod::PerRow;
    int BatchRows = 0;      // rows per statement at most; 0: as many as fit
    bool KeepGoing = false; // refused rows go to RejectFile and the pass goes on
    std::string RejectFile;

    bool Active() const { return Method != TLoadMethod::PerRow; }
};

// How a loader pass went.
struct TLoadReport {
    int Stored = 0;
    int Refused = 0;        // rows written to the reject file
    std::string RejectFile; // the reject file of a keep-going pass
    int FailedRow = 0;      // the sheet row whose refusal stopped the pass
    bool LoadData = false;  // whether LOAD DATA carried the rows
};

// A bound on one batch's text however large the server's packet limit:
// below the smallest limit servers are set up with, its memory small, and
// the server takes such statements faster than larger ones.
constexpr size_t kBatchBytes = size_t{256} << 10;

// The dump's first statement with batches, on a line of its own: the
// loading session refuses a bad value in any row of a multi-row insert,
// whatever the table's engine.
extern const std::string kStrictSession;

// Rows joined into one text between a head and a tail, as long as the text
// stays within a byte limit and a row limit.
class TRowBatch {
public:
    // maxRows 0: no row limit.
    TRowBatch(std::string head, std::string separator, std::string tail, size_t maxBytes,
              int maxRows);

    // Whether a row of rowBytes still fits; a first row always does.
    bool Fits(size_t rowBytes) const;
    void Add(std::string_view row);
    int Rows() const { return FRows; }
    // The text with its head and tail; the batch is empty afterwards.
    std::string Take();

private:
    std::string FHead, FSeparator, FTail;
    std::string FText;
    size_t FMaxBytes;
    int FMaxRows;
    int FRows = 0;
};

// What the loader needs to know of the created table.
struct TLoadTarget {
    std::string Table;          // the table's name, as the insert statement has it
    bool Transactional = false; // a refused LOAD DATA batch can be rolled back
    bool BareValues = false;    // a column takes bare literals, which LOAD DATA cannot carry
};

class TLoader {
public:
    // The cell texts of a sheet row, for the reject file.
    using TCellTexts = std::function<std::vector<std::string>(int row)>;
    using TNotice = std::function<void(const std::string&)>;

    // The pass's tally goes to report as it goes, so that it holds where a
    // failed pass stopped. Reads the server's packet limit and local_infile, makes con's session
    // strict for every table where it is strict for transactional ones, and
    // creates the reject file; raises ELoadError when LOAD DATA was asked for
    // and cannot be used, EFCreateError when the reject file cannot be made.
    TLoader(const myfuns& funs, TUniConnection& con, TLoadTarget target,
            const TLoaderOptions& options, TCellTexts cellTexts, TProgressSink* gauge,
            const TNotice& notice, TLoadReport& report);
    ~TLoader();
    TLoader(const TLoader&) = delete;
    TLoader& operator=(const TLoader&) = delete;

    void Add(int row, const std::vector<TInsertValue>& cells);
    // Sends what is left and gives the session its sql_mode back.
    void Finish();
    // Sends what is left of a pass that stops on an error of its own.
    void Flush();

private:
    struct TRow {
        int Row;
        std::vector<TInsertValue> Cells;
    };

    bool ChooseLoadData(TLoadMethod method, const TNotice& notice);
    // The batch of rows, bounded by the server's packet limit.
    void MakeBatch();
    void OpenRejectFile();
    void MakeStrict();
    void RestoreMode();
    std::string RowText(const std::vector<TInsertValue>& cells) const;
    // Sends the batch; false when the table did not take it whole.
    bool Send();
    bool SendLoadData(const std::string& data);
    // After a refused batch: the rows the table did not take, one by one.
    void Resend(const std::vector<TRow>& rows);
    void Refuse(const TRow& row, const EDAError& error);
    int64_t StoredRows();

    const myfuns& FFuns;
    TUniConnection& FCon;
    TServerSession FSession;
    TLoadTarget FTarget;
    TLoaderOptions FOptions;
    TCellTexts FCellTexts;
    TProgressSink* FGauge;
    bool FLoadData = false;
    bool FStrict = false; // the session's sql_mode was changed
    std::unique_ptr<TRowBatch> FBatch;
    std::vector<TRow> FRows;
    std::ofstream FRejects;
    TLoadReport& FReport; // Stored: the rows known to be in the table
};

} // namespace tabellix
