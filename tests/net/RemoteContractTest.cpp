// The contract both sides link: a data set's fields are checked against it
// in any order, and a missing, extra or resized field is named.
#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"

#include <gtest/gtest.h>

TEST(RemoteContract, FieldsOutOfStepWithTheDeclaredDataSetAreNamed)
{
    const RemoteContract& contract = ServClienteContract::Get();
    EXPECT_EQ(RemoteContract::Find("zel.RDMSERVCLIENTE"), &contract);
    EXPECT_EQ(RemoteContract::Find("Zel.rdmOutro"), nullptr);
    const std::string kAssigned = ServClienteContract::kAssigned;
    using Fields = std::vector<std::pair<std::string, int>>;
    EXPECT_NO_THROW(contract.CheckFields(
        kAssigned, {{"NMSERVICO", 40}, {"cdfilial", 4}, {"CDCLIENTE", 21}, {"CDSERVFILI", 5}}, "cdsServClie"));
    auto why = [&](const Fields& fields) {
        try {
            contract.CheckFields(kAssigned, fields, "cdsServClie");
        } catch (const EDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    const Fields resized = {{"CDFILIAL", 4}, {"CDSERVFILI", 5}, {"CDCLIENTE", 21}, {"NMSERVICO", 30}};
    EXPECT_NE(why(resized).find("NMSERVICO has the size 30, the server's 40"), std::string::npos) << why(resized);
    const Fields missing = {{"CDFILIAL", 4}, {"CDSERVFILI", 5}, {"CDCLIENTE", 21}};
    EXPECT_NE(why(missing).find("NMSERVICO the server sends is missing"), std::string::npos) << why(missing);
    const Fields extra = {{"CDFILIAL", 4}, {"CDSERVFILI", 5}, {"CDCLIENTE", 21}, {"NMSERVICO", 40}, {"QTD", 0}};
    EXPECT_NE(why(extra).find("QTD is not one the server sends"), std::string::npos) << why(extra);
}
