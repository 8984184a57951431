#include "tests/crbase/TestProviders.h"

#include <gtest/gtest.h>

using namespace tabellix;
using namespace tabellix::test;

namespace {

std::string AssertionOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return "no assertion";
}

} // namespace

TEST(CommandSQL, SameTextTwiceParsesOnce) {
    GenericCommand command;
    command.SetSQL("select :a");
    command.SetSQL("select :a");
    EXPECT_EQ(command.parseCount, 1);
    EXPECT_EQ(command.SQL(), "select ?");
    EXPECT_EQ(command.UserSQL(), "select :a");
    ASSERT_EQ(command.GetParamCount(), 1);
    command.SetSQL("");
    command.SetSQL("select :a");
    EXPECT_EQ(command.parseCount, 3);
    EXPECT_EQ(command.GetParamCount(), 1);
}

TEST(CommandSQL, DisabledScanKeepsTheTextAndTheParameters) {
    GenericCommand command;
    command.SetSQL(":a, :b");
    command.SetProp(prDisableParamScan, true);
    command.SetSQL("select :c");
    EXPECT_EQ(command.SQL(), "select :c");
    EXPECT_EQ(command.parseCount, 1);
    EXPECT_EQ(command.GetParamCount(), 2);
}

TEST(CommandSQL, ScanParamsOffCopiesMarkersAndSwitchingOnParsesAgain) {
    GenericCommand command;
    command.SetProp(prScanParams, false);
    EXPECT_EQ(command.parseCount, 0); // nothing to parse yet
    command.SetProp(prScanParams, true);
    EXPECT_EQ(command.parseCount, 0); // code 11 on an empty text parses nothing
    command.SetProp(prScanParams, false);
    command.SetSQL("where a = :p");
    EXPECT_EQ(command.SQL(), "where a = :p");
    EXPECT_EQ(command.GetParamCount(), 0);
    command.SetProp(prScanParams, true);
    EXPECT_EQ(command.parseCount, 2);
    EXPECT_EQ(command.SQL(), "where a = ?");
    EXPECT_EQ(command.GetParamCount(), 1);
    command.SetProp(prScanParams, true); // no change, no parse
    EXPECT_EQ(command.parseCount, 2);
}

TEST(CommandSQL, TextThatFailedToScanIsScannedAgain) {
    GenericCommand command;
    EXPECT_THROW(command.SetSQL("select \f"), EParserError);
    EXPECT_THROW(command.SetSQL("select \f"), EParserError);
    EXPECT_EQ(command.parseCount, 2);
}

TEST(CommandParams, ListOperations) {
    GenericCommand command;
    command.SetSQL(":Alpha :beta");
    EXPECT_EQ(command.FindParam("ALPHA"), command.GetParam(0));
    EXPECT_EQ(command.FindParam("gamma"), nullptr);
    TParamDesc* added = command.AddParam();
    EXPECT_EQ(command.GetParamCount(), 3);
    EXPECT_EQ(command.GetParam(2), added);
    command.DeleteParam(0);
    EXPECT_EQ(command.GetParam(0)->Name(), "beta");
    EXPECT_THROW(command.GetParam(2), EArgumentException);
    EXPECT_THROW(command.DeleteParam(-1), EArgumentException);
    command.ClearParams();
    EXPECT_EQ(command.GetParamCount(), 0);
}

TEST(CommandProps, GenericCodes) {
    GenericCommand command;
    for (int code : {5, 11, 30, 32, 33, 34, 41, 42, 43, 45})
        EXPECT_TRUE(command.SetProp(code, int32_t{1})) << code;
    EXPECT_TRUE(command.AutoCommit());
    EXPECT_TRUE(command.QuoteNames());
    EXPECT_TRUE(command.DisableParamScan());
    EXPECT_EQ(command.CompressBlob(), TCompressBlobMode::cbClient);
    EXPECT_TRUE(command.EnableBCD() && command.EnableFMTBCD());

    struct Get {
        int code;
        Variant value;
    } gets[] = {{24, false}, {43, true}, {46, false}, {54, false}};
    for (const auto& g : gets) {
        Variant value;
        EXPECT_TRUE(command.GetProp(g.code, value));
        EXPECT_EQ(value, g.value) << g.code;
    }
    Variant value;
    EXPECT_EQ(AssertionOf([&] { command.SetProp(13, 0); }), "13");
    EXPECT_EQ(AssertionOf([&] { command.GetProp(5, value); }), "5");
    EXPECT_EQ(AssertionOf([&] { command.SetProp(1016, 0); }), "1016");
}

TEST(CommandClasses, GenericClassesAndCursorState) {
    GenericCommand generic;
    EXPECT_EQ(generic.GetParserClass()("x")->ClassName(), "TSQLParser");
    EXPECT_EQ(generic.SQLInfo().ClassName(), "TSQLInfo");
    EXPECT_EQ(generic.GetParamDescType()()->ClassName(), "TParamDesc");
    MyCommand mysql;
    EXPECT_EQ(mysql.GetParserClass()("x")->ClassName(), "TMyParser");
    generic.Prepare();
    EXPECT_TRUE(generic.GetPrepared());
    generic.Unprepare();
    EXPECT_EQ(generic.GetCursorState(), TCursorState::csInactive);
}

TEST(ConnectionProps, GenericCodes) {
    TestConnection connection;
    connection.SetUsername("root");
    for (int code : {5, 28, 31, 38, 39, 41, 42})
        EXPECT_TRUE(connection.SetProp(code, true)) << code;
    EXPECT_TRUE(connection.SetProp(48, int32_t{2}));
    EXPECT_TRUE(connection.AutoCommit() && connection.ConvertEOL() &&
                connection.DisconnectedMode() && connection.EnableBCD() &&
                connection.EnableFMTBCD());
    EXPECT_EQ(connection.DefaultSortType(), TSortType::stBinary);

    Variant value;
    EXPECT_TRUE(connection.GetProp(1, value));
    EXPECT_EQ(value, Variant("root"));
    for (int code : {40, 49}) {
        EXPECT_TRUE(connection.GetProp(code, value));
        EXPECT_EQ(value.AsInteger(), 0) << code;
    }
    EXPECT_EQ(AssertionOf([&] { connection.SetProp(1, "x"); }), "1");
    EXPECT_EQ(AssertionOf([&] { connection.GetProp(5, value); }), "5");
    EXPECT_EQ(AssertionOf([&] { connection.GetProp(1001, value); }), "1001");
}

TEST(Connection, TransactionConnectAndAssign) {
    TestConnection connection;
    TCRTransaction* transaction = connection.GetInternalTransaction();
    EXPECT_EQ(transaction->ClassName(), "TestTransaction");
    EXPECT_EQ(connection.GetInternalTransaction(), transaction);
    ASSERT_EQ(transaction->ConnectionCount(), 1);
    EXPECT_EQ(transaction->GetConnection(0), &connection);
    for (auto op : {&TCRConnection::Enlist, &TCRConnection::UnEnlist}) {
        try {
            (connection.*op)(transaction);
            ADD_FAILURE() << "no error";
        } catch (const ENotSupportedException& e) {
            EXPECT_EQ(e.Message(), "MS DTC transactions not supported");
        }
    }

    connection.SetIsValid(false);
    connection.SetConnected(true);
    EXPECT_TRUE(connection.GetConnected());
    EXPECT_TRUE(connection.IsValid());
    connection.SetConnected(false);
    EXPECT_FALSE(connection.GetConnected());
    EXPECT_TRUE(connection.CanChangeDatabase());

    connection.SetServer("db");
    connection.SetPassword("pw");
    connection.SetUsername("me");
    connection.SetProp(prEnableBCD, true);
    int hookCalls = 0;
    connection.SetOnError(
        [&](const Exception&, bool&, int, TFailOverOperation&, bool&, bool&) { ++hookCalls; });
    TestConnection copy;
    copy.Assign(connection);
    EXPECT_EQ(copy.GetServer(), "db");
    EXPECT_EQ(copy.GetPassword(), "pw");
    EXPECT_EQ(copy.GetUsername(), "me");
    EXPECT_TRUE(copy.EnableBCD());
    bool fail = true;
    copy.DoError(Exception("e"), fail);
    EXPECT_EQ(hookCalls, 1);
}

class ErrorDispatch : public ::testing::Test {
protected:
    struct Call {
        int attempt;
        bool reconnectIn;
    };
    // The hook answers attempt i with answers[i] (reconnect, retry).
    void Install(std::vector<std::pair<bool, bool>> answers) {
        connection.SetOnError([this, answers](const Exception& error, bool& fail, int attempt,
                                              TFailOverOperation& op, bool& retry,
                                              bool& reconnect) {
            calls.push_back({attempt, reconnect});
            EXPECT_EQ(error.Message(), "lost");
            EXPECT_TRUE(fail);
            auto answer =
                attempt < static_cast<int>(answers.size()) ? answers[attempt] : answers.back();
            reconnect = answer.first;
            retry = answer.second;
            op = TFailOverOperation::Execute;
        });
        connection.SetOnReconnectSuccess([this] { ++successes; });
        connection.SetOnReconnectError([this] {
            ++reconnectErrors;
            connectedDuringError = connection.GetConnected();
        });
    }
    void Dispatch() {
        bool fail = true;
        connection.DoError(Exception("lost"), fail);
        EXPECT_TRUE(fail);
    }

    TestConnection connection;
    std::vector<Call> calls;
    int successes = 0;
    int reconnectErrors = 0;
    bool connectedDuringError = false;
};

TEST_F(ErrorDispatch, CallsTheHookOnceWhenNoReconnectIsAsked) {
    Install({{false, false}});
    Dispatch();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].reconnectIn);
    EXPECT_EQ(connection.connects, 0);
    EXPECT_EQ(reconnectErrors, 0);
}

TEST_F(ErrorDispatch, WithoutAHookDoesNothing) {
    Dispatch();
    EXPECT_EQ(connection.connects, 0);
}

TEST_F(ErrorDispatch, ErrorsDuringTheHookDoNotDispatchAgain) {
    int depth = 0;
    connection.SetOnError(
        [&](const Exception&, bool& fail, int, TFailOverOperation&, bool&, bool&) {
            ++depth;
            bool inner = true;
            connection.DoError(Exception("inner"), inner);
            fail = false;
        });
    bool fail = true;
    connection.DoError(Exception("outer"), fail);
    EXPECT_EQ(depth, 1);
    EXPECT_FALSE(fail);
    connection.DoError(Exception("later"), fail); // the block ends with the dispatch
    EXPECT_EQ(depth, 2);
}

TEST_F(ErrorDispatch, SuccessfulReconnectWithRetryRaisesFailOver) {
    Install({{true, true}});
    connection.failDisconnect = true; // ignored
    try {
        Dispatch();
        ADD_FAILURE() << "no EFailOver";
    } catch (const EFailOver& e) {
        EXPECT_EQ(e.Operation(), TFailOverOperation::Execute);
    }
    EXPECT_EQ(connection.disconnects, 1);
    EXPECT_EQ(connection.connects, 1);
    EXPECT_EQ(successes, 1);
    EXPECT_TRUE(connection.Reconnected());
}

TEST_F(ErrorDispatch, SuccessfulReconnectWithoutRetryReturns) {
    Install({{true, false}});
    Dispatch();
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_TRUE(connection.Reconnected());
    EXPECT_TRUE(connection.GetConnected());
}

TEST_F(ErrorDispatch, FailedReconnectAsksAgainThenReportsTheFailure) {
    Install({{true, false}, {true, false}, {false, false}});
    connection.connectFailures = 2;
    Dispatch();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[0].reconnectIn);
    EXPECT_TRUE(calls[1].reconnectIn);
    EXPECT_EQ(calls[2].attempt, 2);
    EXPECT_EQ(connection.disconnects, 1); // only before the first attempt
    EXPECT_EQ(connection.connects, 2);
    EXPECT_EQ(reconnectErrors, 1);
    EXPECT_TRUE(connectedDuringError);
    EXPECT_FALSE(connection.GetConnected());
    EXPECT_FALSE(connection.Reconnected());
}

TEST_F(ErrorDispatch, HookThatAlwaysReconnectsIsBounded) {
    Install({{true, true}});
    connection.connectFailures = 1000;
    Dispatch();
    EXPECT_EQ(connection.connects, 10);
    EXPECT_EQ(reconnectErrors, 1);
}
