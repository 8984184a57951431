#include "engine/loader.h"

#include "base/Format.h"
#include "dataaccess/ServerSession.h"
#include "dataaccess/Uni.h"
#include "engine/reject_file.h"
#include "engine/statements.h"

#include <algorithm>
#include <charconv>

namespace tabellix {

namespace {

const std::vector<Variant> kNoParams{Variant::Null()};
// Room left in a packet beside the statement: the command byte and framing.
constexpr size_t kPacketMargin = 1024;
// The file name of the loader's LOAD DATA statement: a name, never a path.
constexpr const char* kRowsName = "tabellix-rows";

// A value in LOAD DATA's default form: tab between fields, backslash
// escapes, \N for NULL.
void AppendLoadValue(std::string& out, const TInsertValue& value) {
    if (value.Kind == TInsertValue::TKind::Null) {
        out.append("\\N");
        return;
    }
    for (const char c : value.Text) {
        switch (c) {
        case '\\':
            out.append("\\\\");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\0':
            out.append("\\0");
            break;
        default:
            out.push_back(c);
        }
    }
}

// A number the server answers with, or 0 when it is none (a hostile or broken
// server's text).
size_t ServerNumber(const std::optional<std::string>& text) {
    size_t number = 0;
    if (!text || text->empty())
        return 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number);
    return error == std::errc() && stop == end ? number : 0;
}

} // namespace

TLoader::TLoader(TUniConnection& con, TLoadTarget target, const TLoaderOptions& options,
                 TCellTexts cellTexts, TProgressSink* gauge, const TNotice& notice,
                 TLoadReport& report)
    : FCon(con), FSession(con), FTarget(std::move(target)), FOptions(options),
      FCellTexts(std::move(cellTexts)), FGauge(gauge), FReport(report) {
    FReport = {};
    // A database chosen since the last statement leaves the connection to
    // be opened by the next one; the loader reads its session first.
    if (!FCon.Connected())
        FCon.Open();
    FLoadData = ChooseLoadData(options.Method, notice);
    FReport.LoadData = FLoadData;
    MakeBatch();
    if (options.KeepGoing)
        OpenRejectFile();
    MakeStrict();
}

void TLoader::MakeBatch() {
    size_t packet = 0;
    try {
        packet = ServerNumber(FSession.Value("SELECT @@max_allowed_packet"));
    } catch (const EConvertError&) {
        // A numeric column whose text is no number.
    }
    if (packet == 0)
        throw ELoadError("The server's max_allowed_packet is not a number of bytes");
    const size_t limit = std::min(kBatchBytes, packet > kPacketMargin ? packet - kPacketMargin : 1);
    if (FLoadData)
        FBatch = std::make_unique<TRowBatch>("", "", "", limit, FOptions.BatchRows);
    else
        FBatch = std::make_unique<TRowBatch>(insert_head(FTarget.Table), ",", ";", limit,
                                             FOptions.BatchRows);
}

// Checked now, before the table is made; created at the first refused row.
void TLoader::OpenRejectFile() {
    FRejects = std::make_unique<TRejectFile>(FOptions.RejectFile, FOptions.ReplaceRejects);
    FReport.RejectFile = FOptions.RejectFile;
}

TLoader::~TLoader() = default;

bool TLoader::ChooseLoadData(TLoadMethod method, const TNotice& notice) {
    if (method != TLoadMethod::LoadData && method != TLoadMethod::Fastest)
        return false;
    std::string reason;
    if (!FSession.Available())
        reason = "the connection cannot stream rows";
    else if (FTarget.BareValues)
        reason = "a BIT column takes values LOAD DATA cannot carry";
    else if (!FTarget.Transactional)
        reason = "it needs a transactional engine such as InnoDB, so that a batch with an "
                 "adjusted or refused row can be taken back";
    else if (FSession.Value("SELECT @@local_infile") != "1")
        reason = "the server does not allow LOAD DATA LOCAL INFILE (local_infile is OFF)";
    if (reason.empty())
        return true;
    if (method == TLoadMethod::LoadData)
        throw ELoadError("LOAD DATA cannot be used: " + reason);
    if (notice)
        notice("LOAD DATA cannot be used: " + reason + "; the rows go in multi-row inserts");
    return false;
}

// STRICT_TRANS_TABLES alone would let a multi-row insert into a MyISAM table
// store an adjusted value with a warning past its first row; a server that
// is not strict at all would store every bad value adjusted.
void TLoader::MakeStrict() {
    FStrict.emplace(FSession);
}

void TLoader::RestoreMode() {
    if (FStrict)
        FStrict->Restore();
}

std::string TLoader::RowText(const std::vector<TInsertValue>& cells) const {
    std::string text;
    if (FLoadData) {
        for (size_t j = 0; j < cells.size(); ++j) {
            if (j > 0)
                text.push_back('\t');
            AppendLoadValue(text, cells[j]);
        }
        text.push_back('\n');
        return text;
    }
    text.push_back('(');
    append_values(text, cells);
    text.push_back(')');
    return text;
}

void TLoader::Add(int row, const std::vector<TInsertValue>& cells) {
    const std::string text = RowText(cells);
    if (!FBatch->Fits(text.size()))
        Flush();
    FBatch->Add(text);
    FRows.push_back({row, cells});
}

void TLoader::Flush() {
    if (FRows.empty())
        return;
    // Taken out first, so that a pass stopping half-way never sends a row twice.
    const std::vector<TRow> rows = std::move(FRows);
    FRows.clear();
    const int before = FReport.Stored + FReport.Refused;
    try {
        bool taken = false;
        try {
            taken = Send();
        } catch (const EDAError& error) {
            if (!FSession.IsRefusal(error))
                throw;
        }
        if (taken) {
            FReport.Stored += static_cast<int>(rows.size());
            // Stored all the same, so never sent again.
            RefuseWarnings(FSession);
        } else {
            Resend(rows);
        }
    } catch (const EDAError&) {
        // Each row before the one in flight is stored or refused.
        if (const auto done = static_cast<size_t>(FReport.Stored + FReport.Refused - before);
            !FSession.Usable() && done < rows.size())
            FReport.InFlightRow = rows[done].Row;
        throw;
    }
}

bool TLoader::Send() {
    const auto rows = static_cast<int64_t>(FBatch->Rows());
    const std::string text = FBatch->Take();
    if (FLoadData)
        return SendLoadData(text, rows);
    FCon.ExecSQL(text, kNoParams);
    return true;
}

// Each batch in a transaction of its own: LOAD DATA LOCAL turns a bad value
// or a duplicate key into a warning, so a batch with warnings, or with fewer
// rows stored than sent, is taken back and sent again row by row, as the
// default road sends it.
bool TLoader::SendLoadData(const std::string& data, int64_t rows) {
    FCon.ExecSQL("START TRANSACTION", kNoParams);
    try {
        FSession.LoadLocalRows(
            Format("LOAD DATA LOCAL INFILE '%s' INTO TABLE %s CHARACTER SET utf8mb4",
                   {kRowsName, quote_name(FTarget.Table)}),
            kRowsName, data);
    } catch (const EDAError&) {
        FCon.ExecSQL("ROLLBACK", kNoParams);
        throw;
    }
    const bool taken = FSession.WarningCount() == 0 && FSession.AffectedRows() == rows;
    FCon.ExecSQL(taken ? "COMMIT" : "ROLLBACK", kNoParams);
    return taken;
}

int64_t TLoader::StoredRows() {
    return std::stoll(
        FSession.Value("SELECT COUNT(*) FROM " + quote_name(FTarget.Table)).value_or(""));
}

void TLoader::Resend(const std::vector<TRow>& rows) {
    // A non-transactional table keeps the rows of the batch before the one
    // that stopped it.
    const auto kept = static_cast<size_t>(std::max<int64_t>(0, StoredRows() - FReport.Stored));
    FReport.Stored += static_cast<int>(kept);
    for (size_t i = kept; i < rows.size(); ++i) {
        try {
            FCon.ExecSQL(get_insert(FTarget.Table, rows[i].Cells), kNoParams);
            RefuseWarnings(FSession);
            ++FReport.Stored;
        } catch (const EDAError& error) {
            if (!FSession.IsRefusal(error))
                throw;
            Refuse(rows[i], error);
        }
    }
}

// Called while the refusal is being handled, so that stopping rethrows the
// server's own error.
void TLoader::Refuse(const TRow& row, const EDAError& error) {
    if (!FOptions.KeepGoing) {
        FReport.FailedRow = row.Row;
        if (FGauge)
            FGauge->RowStarted(row.Row);
        throw;
    }
    std::vector<std::string> fields{SplitServerMessage(error).Text};
    for (std::string& text : FCellTexts(row.Row))
        fields.push_back(std::move(text));
    FRejects->Write(row.Row, fields);
    ++FReport.Refused;
}

void TLoader::Finish() {
    Flush();
    RestoreMode();
}

} // namespace tabellix
