// The loader: a transfer's rows sent in multi-row insert statements or one
// LOAD DATA LOCAL per batch, streamed from memory; a refused batch re-sent
// row by row to find the refused row; rows refused on the way written to a
// reject file.
#pragma once

#include "base/Exception.h"
#include "dataaccess/ServerSession.h"
#include "engine/load_options.h"
#include "engine/models.h"
#include "engine/strict_session.h"
#include "engine/typed_values.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

class EDAError;
class TRejectFile;
class TRowBatch;
class TUniConnection;

// A loader option that cannot be carried out (LOAD DATA refused).
TABELLIX_EXCEPTION(ELoadError, Exception);

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
    // strict for every table, and checks the reject file (made at the first
    // refused row); raises ELoadError when LOAD DATA was asked for and cannot
    // be used or the packet limit is no number, EFCreateError when the reject
    // file cannot be made or exists and is not to be replaced.
    TLoader(TUniConnection& con, TLoadTarget target, const TLoaderOptions& options,
            TCellTexts cellTexts, TProgressSink* gauge, const TNotice& notice, TLoadReport& report);
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
    bool SendLoadData(const std::string& data, int64_t rows);
    // After a refused batch: the rows the table did not take, one by one.
    void Resend(const std::vector<TRow>& rows);
    void Refuse(const TRow& row, const EDAError& error);
    int64_t StoredRows();

    TUniConnection& FCon;
    TServerSession FSession;
    TLoadTarget FTarget;
    TLoaderOptions FOptions;
    TCellTexts FCellTexts;
    TProgressSink* FGauge;
    bool FLoadData = false;
    std::optional<TStrictSession> FStrict;
    std::unique_ptr<TRowBatch> FBatch;
    std::vector<TRow> FRows;
    std::unique_ptr<TRejectFile> FRejects;
    TLoadReport& FReport; // Stored: the rows known to be in the table
};

} // namespace tabellix
