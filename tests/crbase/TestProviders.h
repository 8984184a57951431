// Small concrete providers over the abstract base classes: a command on the
// generic lexer, one on the MySQL lexer with backquoted names, and a
// connection whose connect and disconnect can be made to fail.
#pragma once

#include "crbase/CRAccess.h"
#include "crbase/MyParserUni.h"

#include <string>
#include <vector>

namespace tabellix::test {

class GenericCommand : public TCRCommand {
public:
    bool GetPrepared() const override { return FState == TCursorState::csPrepared; }
    void Execute(int) override {}
    TCursorState GetCursorState() const override { return FState; }
    void SetCursorState(TCursorState state) override { FState = state; }
    std::string ParseSQL(const std::string& sql, TParamDescs* params) override {
        ++parseCount;
        return TCRCommand::ParseSQL(sql, params);
    }

    int parseCount = 0;

private:
    TCursorState FState = TCursorState::csInactive;
};

class BackquoteInfo : public TSQLInfo {
public:
    char LeftQuote() const override { return '`'; }
    char RightQuote() const override { return '`'; }
    static std::unique_ptr<TSQLInfo> Create() { return std::make_unique<BackquoteInfo>(); }
};

// Records the 1-based position of each "?" the scan writes, as the MySQL
// command does.
class MyCommand : public GenericCommand {
public:
    TParserClass GetParserClass() const override { return &TMyParser::Create; }
    TSQLInfoClass GetSQLInfoClass() const override { return &BackquoteInfo::Create; }
    bool ParseSQLParam(std::string& result, TParser& parser, TParamDescs* params) override {
        bool named = TCRCommand::ParseSQLParam(result, parser, params);
        if (named)
            positions.push_back(static_cast<int>(result.size()));
        return named;
    }

    std::vector<int> positions;
};

class TestTransaction : public TCRTransaction {
public:
    std::string ClassName() const override { return "TestTransaction"; }
    void StartTransaction() override { SetActive(true); }
    void Commit() override { SetActive(false); }
    void Rollback() override { SetActive(false); }
    static std::unique_ptr<TCRTransaction> Create() { return std::make_unique<TestTransaction>(); }
};

class TestConnection : public TCRConnection {
public:
    ~TestConnection() override {
        failDisconnect = false;
        Disconnect();
    }

    TCRTransactionClass GetTransactionClass() const override { return &TestTransaction::Create; }
    void Connect(const std::string& connectString) override {
        ++connects;
        if (connectFailures > 0) {
            --connectFailures;
            throw Exception("cannot connect");
        }
        SetConnectedState(true);
        TCRConnection::Connect(connectString);
    }
    void Disconnect() override {
        ++disconnects;
        SetConnectedState(false);
        if (failDisconnect)
            throw Exception("cannot disconnect");
    }
    void AssignConnect(TCRConnection*) override {}
    void CheckIsValid() override {}
    std::string GetServerVersion() override { return "1"; }
    std::string GetServerVersionFull() override { return "1.0"; }
    std::string GetClientVersion() override { return "1.0"; }

    int connects = 0;
    int disconnects = 0;
    int connectFailures = 0;
    bool failDisconnect = false;
};

} // namespace tabellix::test
