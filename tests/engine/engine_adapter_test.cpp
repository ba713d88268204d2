// Adapter listing, splitting and the local address table. Runs in an empty
// network namespace where it adds dummy interfaces of its own.
#include "engine/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class Adapters : public ::testing::Test {
protected:
    void SetUp() override {
        if (!keplin::test::in_empty_namespace()) {
            GTEST_SKIP() << "needs an empty network namespace (run it through ctest)";
        }
    }
    void TearDown() override {
        for (const char* name : {"kd1", "kd2", "kd3"}) {
            std::system((std::string("ip link del ") + name + " 2>/dev/null").c_str());
        }
    }
    static void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }
};

}  // namespace

TEST_F(Adapters, ListsFirstAddressOfEveryAdapterInKernelOrder) {
    int count = -1;
    EXPECT_EQ(list_adapter_addresses(&count), "");  // the loopback is not an adapter
    EXPECT_EQ(count, 0);

    run("ip link add kd1 type bridge && ip addr add 10.9.1.5/24 dev kd1 && ip addr add 10.9.7.5/16 dev kd1");
    run("ip link add kd2 type bridge");
    run("ip link add kd3 type bridge && ip addr add 10.9.3.5/28 dev kd3 && ip link set kd3 up");
    EXPECT_EQ(list_adapter_addresses(&count), "10.9.1.5,0.0.0.0,10.9.3.5");
    EXPECT_EQ(count, 3);

    load_adapter_table();
    const auto& table = adapter_table();
    ASSERT_EQ(table.size(), 3U);
    EXPECT_EQ(table[0].name, "kd1");
    ASSERT_EQ(table[0].addresses.size(), 2U);
    EXPECT_EQ(table[0].addresses[1].address, "10.9.7.5");
    EXPECT_EQ(table[0].addresses[1].mask, "255.255.0.0");
    EXPECT_TRUE(table[1].addresses.empty());
    EXPECT_EQ(table[2].addresses[0].mask, "255.255.255.240");
    EXPECT_LT(table[0].index, table[1].index);
    EXPECT_FALSE(table[0].description.empty());

    run("ip route add default via 10.9.3.1 dev kd3");
    load_adapter_table();
    EXPECT_TRUE(adapter_table()[0].gateways.empty());
    ASSERT_EQ(adapter_table()[2].gateways.size(), 1U);
    EXPECT_EQ(adapter_table()[2].gateways[0], "10.9.3.1");

    release_adapter_table();
    EXPECT_TRUE(adapter_table().empty());
}

TEST(SplitText, PiecesBetweenDelimiters) {
    std::vector<std::string> pieces{"keep"};
    EXPECT_EQ(split_text("", pieces, ';'), 1);  // an empty text leaves the array
    EXPECT_EQ(pieces, std::vector<std::string>{"keep"});
    split_text("8.8.8.8;8.8.4.4;", pieces, ';');
    EXPECT_EQ(pieces, (std::vector<std::string>{"8.8.8.8", "8.8.4.4"}));
    split_text("a;;b", pieces, ';');
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "", "b"}));
    split_text(";", pieces, ';');
    EXPECT_EQ(pieces, (std::vector<std::string>{""}));
}

TEST(LocalAddresses, KeepsTwentyAndRefusesNone) {
    char entries[25][LOCAL_ADDRESS_ENTRY] = {};
    for (int i = 0; i < 25; ++i) {
        snprintf(entries[i], LOCAL_ADDRESS_ENTRY, "10.0.0.%d", i + 1);
    }
    EXPECT_EQ(discovery_set_local_addresses(entries, 25), DISC_OK);
    auto table = discovery_local_addresses();
    ASSERT_EQ(table.size(), 20U);
    EXPECT_EQ(table[19], "10.0.0.20");

    EXPECT_EQ(discovery_set_local_addresses(entries, 0), DISC_E_INVALID);
    EXPECT_EQ(discovery_set_local_addresses(nullptr, 3), DISC_E_INVALID);
    EXPECT_EQ(discovery_local_addresses().size(), 20U);

    // An entry filling all 16 bytes is read as its first 15 characters.
    char full[1][LOCAL_ADDRESS_ENTRY];
    memset(full[0], '1', sizeof full[0]);
    EXPECT_EQ(discovery_set_local_addresses(full, 1), DISC_OK);
    EXPECT_EQ(discovery_local_addresses()[0], std::string(15, '1'));
}
