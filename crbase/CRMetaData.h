// The provider-level metadata object: turns a metadata kind and its
// restrictions into a table of rows with fixed column names, either its
// own memory table or the record set that ran the provider's statement.
#pragma once

#include "base/StringList.h"
#include "crbase/MemData.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tabellix {

class TCRMetaData {
public:
    explicit TCRMetaData(std::unique_ptr<TCRRecordSet> recordSet);
    virtual ~TCRMetaData();
    TCRMetaData(const TCRMetaData&) = delete;
    TCRMetaData& operator=(const TCRMetaData&) = delete;
    virtual std::string ClassName() const { return "TCRMetaData"; }

    // The rows for kind (letter case and blanks ignored); a kind the
    // provider does not answer raises "Unsupported metadata kind".
    TMemData& GetMetaData(TCRConnection* connection, TCRTransaction* transaction,
                          const std::string& kind, const TStringList& restrictions);

protected:
    // Binds the record set to the connection and transaction.
    virtual void AttachRecordSet(TCRConnection* connection, TCRTransaction* transaction) = 0;
    virtual TMemData& GetTables(const TStringList& restrictions);
    virtual TMemData& GetDatabases(const TStringList& restrictions);

    // A restriction's value by name, trimmed; empty when absent.
    static std::string Restriction(const TStringList& restrictions, const std::string& name);
    // Rebuilds the memory table with text columns of the given lengths.
    void CreateTextFields(const std::vector<std::pair<std::string, int>>& fields);
    // Stores text in a text column of the record being filled: through the
    // system's single-byte code page, cut at the column's length.
    void PutText(TRecordBuffer record, int field, const std::string& text);

    TCRRecordSet& RecordSet() { return *FRecordSet; }
    TMemData& MemData() { return FMemData; }
    const std::string& Operator() const { return FOperator; }

private:
    TMemData FMemData;
    std::unique_ptr<TCRRecordSet> FRecordSet;
    std::string FOperator = "=";
};

// A class reference: makes a metadata object of its class.
using TCRMetaDataClass = std::unique_ptr<TCRMetaData> (*)();

} // namespace tabellix
