// The MySQL metadata object: the database and table lists, each from one
// statement run through a MySQL record set.
#pragma once

#include "crbase/CRMetaData.h"
#include "mysql/client/MyClassesUni.h"

namespace tabellix {

class TMySQLMetaData : public TCRMetaData {
public:
    TMySQLMetaData();
    std::string ClassName() const override { return "TMySQLMetaData"; }
    static std::unique_ptr<TCRMetaData> Create();

protected:
    void AttachRecordSet(TCRConnection* connection, TCRTransaction* transaction) override;
    TMemData& GetTables(const TStringList& restrictions) override;
    TMemData& GetDatabases(const TStringList& restrictions) override;

private:
    TMySQLRecordset& Records();
    // The information-schema query of servers from version 5 on.
    TMemData& GetTablesFromSchema(const TStringList& restrictions);
    // SHOW TABLES, for older servers.
    TMemData& ShowTables(const TStringList& restrictions);
    void RunStatement(const std::string& sql);

    TMySQLConnection* FConnection = nullptr;
};

} // namespace tabellix
