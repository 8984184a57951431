#include "crbase/CRMetaData.h"

#include "base/Exception.h"
#include "base/Text.h"

namespace tabellix {

namespace {

// UTF-8 text cut after count characters.
std::string FirstCharacters(const std::string& text, int count) {
    size_t i = 0;
    for (int n = 0; i < text.size() && n < count; ++n)
        for (++i; i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;)
            ++i;
    return text.substr(0, i);
}

} // namespace

TCRMetaData::TCRMetaData(std::unique_ptr<TCRRecordSet> recordSet)
    : FRecordSet(std::move(recordSet)) {
    FRecordSet->SetProp(prFetchAll, true);
    FRecordSet->SetProp(prFlatBuffers, false);
}

TCRMetaData::~TCRMetaData() = default;

TMemData& TCRMetaData::GetMetaData(TCRConnection* connection, TCRTransaction* transaction,
                                   const std::string& kind, const TStringList& restrictions) {
    AttachRecordSet(connection, transaction);
    const std::string name = AsciiLower(Trim(kind));
    if (name == "tables")
        return GetTables(restrictions);
    if (name == "databases")
        return GetDatabases(restrictions);
    throw EDAError("Unsupported metadata kind");
}

TMemData& TCRMetaData::GetTables(const TStringList&) {
    throw EDAError("Unsupported metadata kind");
}

TMemData& TCRMetaData::GetDatabases(const TStringList&) {
    throw EDAError("Unsupported metadata kind");
}

std::string TCRMetaData::Restriction(const TStringList& restrictions, const std::string& name) {
    return Trim(restrictions.Values(name));
}

void TCRMetaData::CreateTextFields(const std::vector<std::pair<std::string, int>>& fields) {
    FMemData.ClearData();
    FMemData.ClearFields();
    for (const auto& [name, length] : fields) {
        TFieldDesc field;
        field.Name = name;
        field.DataType = dtString;
        field.Length = length;
        // The length counts characters; UTF-8 may need more bytes.
        field.OutOfRecord = true;
        FMemData.AddField(field);
    }
    FMemData.InitFields();
}

void TCRMetaData::PutText(TRecordBuffer record, int field, const std::string& text) {
    // The list passes through single-byte text: characters the code page
    // lacks become its substitution character.
    const std::string stored =
        FirstCharacters(AnsiToText(TextToAnsi(text)), FMemData.Field(field).Length);
    FMemData.PutBytes(record, field, reinterpret_cast<const uint8_t*>(stored.data()),
                      stored.size());
}

} // namespace tabellix
