#include "dataaccess/MySQLUniProvider.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

#include <map>

using namespace tabellix;

namespace {

// The values the MySQL connection options hand to a TMySQLConnection, by
// property code, in call order.
struct Applied {
    std::vector<int> Order;
    std::map<int, Variant> Values;
};

Applied ApplyConnectionOptions(const std::vector<std::string>& lines,
                               const std::string& target = "TMySQLConnection") {
    TMySQLUniProvider provider;
    TStringList options;
    for (const auto& line : lines)
        options.Add(line);
    Applied applied;
    provider.GetConnectionOptions().ImportOptions(options, target, true,
                                                  [&](int prop, const Variant& value) {
                                                      applied.Order.push_back(prop);
                                                      applied.Values[prop] = value;
                                                  });
    return applied;
}

constexpr int kUseUnicode = 1018, kCharset = 1009, kDirect = 1031, kTimeout = 1001,
              kProtocol = 1011;

} // namespace

TEST(OptionString, SplitsPrefixNameAndValue) {
    struct Case {
        const char* line;
        const char* prefix;
        const char* name;
        const char* value;
        bool hasName;
    } cases[] = {
        {"MySQL.UseUnicode=True", "MySQL", "UseUnicode", "True", true},
        {"UseUnicode=True", "", "UseUnicode", "True", true},
        {"MySQL.Charset=a.b", "MySQL", "Charset", "a.b", true},
        {"Charset=a.b", "", "Charset", "a.b", true},
        {"UseUnicode = True", "", "UseUnicode ", " True", true},
        {"a.b.c=d", "a", "b.c", "d", true},
        {"MySQL.UseUnicode", "", "", "", false},
        {"=x", "", "", "x", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const TOptionString s = ParseOptionString(c.line);
        EXPECT_EQ(s.Prefix, c.prefix);
        EXPECT_EQ(s.Name, c.name);
        EXPECT_EQ(s.Value, c.value);
        EXPECT_EQ(s.HasName, c.hasName);
    }
}

TEST(ProviderOptions, OptionStringsReachTheConnection) {
    struct Case {
        std::vector<std::string> lines;
        int prop;
        Variant expected;
    } cases[] = {
        {{"MySQL.UseUnicode=True"}, kUseUnicode, true},
        {{"UseUnicode=True"}, kUseUnicode, true},
        {{"mysql.useunicode=true"}, kUseUnicode, true},
        {{"Oracle.UseUnicode=True"}, kUseUnicode, false},
        {{"UseUnicode = True"}, kUseUnicode, false},
        {{"UseUnicode= True "}, kUseUnicode, true},
        {{"Charset= utf8"}, kCharset, " utf8"},
        {{"MySQL.UseUnicode=False", "UseUnicode=True"}, kUseUnicode, false},
        {{"Oracle.Direct=False", "Direct=False"}, kDirect, false},
        {{"ConnectionTimeout=30"}, kTimeout, 30},
        {{"ConnectionTimeout=-2147483648"}, kTimeout, INT32_MIN},
        {{"MySQL.Charset=a.b"}, kCharset, "a.b"},
        {{"Charset=a.b"}, kCharset, "a.b"},
        {{"Protocol=MPssl"}, kProtocol, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.front());
        EXPECT_EQ(ApplyConnectionOptions(c.lines).Values.at(c.prop), c.expected);
    }
}

TEST(ProviderOptions, InvalidTextsAreRefusedWithTheOptionName) {
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"UseUnicode=Yes", "Invalid value: Yes for option UseUnicode"},
        {"ConnectionTimeout=-2147483647",
         "Invalid value: -2147483647 for option ConnectionTimeout"},
        {"ConnectionTimeout= 1x ", "Invalid value:  1x  for option ConnectionTimeout"},
        {"Protocol=mpCarrierPigeon", "Invalid value: mpCarrierPigeon for option Protocol"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        try {
            ApplyConnectionOptions({c.line});
            ADD_FAILURE() << "accepted";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(ProviderOptions, OptionsBeforeABadOneAreSetAndLaterOnesAreNot) {
    TMySQLUniProvider provider;
    TStringList options{"Charset=latin1", "Embedded=maybe"};
    std::vector<int> order;
    EXPECT_THROW(provider.GetConnectionOptions().ImportOptions(
                     options, "TMySQLConnection", true,
                     [&](int prop, const Variant&) { order.push_back(prop); }),
                 Exception);
    EXPECT_EQ(order, (std::vector<int>{1046, kCharset, 1007, kTimeout, kDirect}));
}

TEST(ProviderOptions, EmptyListAppliesEveryDefaultInNameOrder) {
    const Applied applied = ApplyConnectionOptions({});
    EXPECT_EQ(applied.Order,
              (std::vector<int>{1046, 1009, 1007, 1001, 1031, 1030, 1019, 1043, 1048, 1041,
                                1033, 1011, 1045, 1044, 1021, 1023, 1020, 1022, 1042, 1018}));
    EXPECT_EQ(applied.Values.at(kDirect), Variant(true));
    EXPECT_EQ(applied.Values.at(kUseUnicode), Variant(false));
    EXPECT_EQ(applied.Values.at(kTimeout), Variant(15));
    EXPECT_EQ(applied.Values.at(kProtocol), Variant(0));
    EXPECT_EQ(applied.Values.at(kCharset), Variant(""));
    EXPECT_EQ(applied.Values.at(1042), Variant(true));
    EXPECT_EQ(applied.Values.at(1043), Variant(false));
    // ReadTimeout, AllowOldPasswords and MaxPacketSize.
    EXPECT_EQ(applied.Values.at(1045), Variant(60));
    EXPECT_EQ(applied.Values.at(1046), Variant(false));
    EXPECT_EQ(applied.Values.at(1048), Variant(64 << 20));
}

TEST(ProviderOptions, TargetsMatchByExactClass) {
    EXPECT_EQ(ApplyConnectionOptions({}, "TMyConnectionParameters").Order.size(), 18u);
    EXPECT_EQ(ApplyConnectionOptions({}, "TMyConnectDialogService").Order, std::vector<int>{1030});
    EXPECT_TRUE(ApplyConnectionOptions({}, "TCRConnection").Order.empty());
}

TEST(ProviderOptions, EnumeratorNamesAndDataSetList) {
    TMySQLUniProvider provider;
    const auto* protocol =
        dynamic_cast<const TEnumeratorOption*>(provider.GetConnectionOptions().Find("protocol"));
    ASSERT_NE(protocol, nullptr);
    EXPECT_EQ(protocol->Values(), MyProtocolNames());
    EXPECT_EQ(protocol->GetAsString(Variant(1)), "mpTCP");
    const TOptionsList& dataSet = provider.GetDataSetOptions();
    EXPECT_EQ(dataSet.Count(), 8);
    EXPECT_EQ(dataSet.Prefix(), "MySQL");
    EXPECT_EQ(dataSet.Find("FetchAll")->DefaultValue(), Variant(true));
    EXPECT_EQ(provider.GetSQLOptions().Find("CommandTimeout")->InternalIndex(), 1016);
}

TEST(ProviderRegistry, FindsDescriptionsAndFormsTheMessages) {
    TUniProviders& registry = TUniProviders::Instance();
    registry.RegisterProvider(TMySQLUniProvider::Class());
    EXPECT_NE(registry.GetProvider("mYsQl"), nullptr);
    EXPECT_EQ(registry.GetProvider("Oracle"), nullptr);
    EXPECT_EQ(registry.GetProvider("Foo"), nullptr);
    EXPECT_EQ(ProviderNotRegisteredMessage(registry.GetProviderDesc("Oracle")),
              "Oracle provider is not registered. You should add the OracleUniProvider unit to "
              "the uses clause of any unit in your project or place the TOracleUniProvider "
              "component on the form.");
    EXPECT_EQ(registry.GetProviderDesc("sql server").ProviderComponentName(),
              "TSQLServerUniProvider");
    try {
        registry.GetProviderDesc("Foo");
        ADD_FAILURE() << "accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Foo is not a valid provider name");
    }
    registry.RegisterProviderDesc("MYSQL", "Other");
    EXPECT_EQ(registry.GetProviderDesc("MySQL").ProviderShortName(), "MySQL");
    TStringList names;
    names.Add("stale");
    registry.GetProviderNames(names);
    EXPECT_EQ(names.Items(), std::vector<std::string>{"MySQL"});
    registry.UnRegisterProvider(TMySQLUniProvider::Class());
    EXPECT_EQ(registry.GetProvider("MySQL"), nullptr);
}
