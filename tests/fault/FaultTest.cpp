#include "FaultTest.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

void FaultTest::AddServices(int total)
{
    Db().Begin(true);
    for (int i = 6; i <= total; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%05d", i);
        Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)", {"0001", code, "Servico " + std::string(code)});
    }
    Db().Commit();
}

void FaultTest::AddClients(int count)
{
    for (int i = 1; i <= count; ++i) {
        std::string code = "C" + std::to_string(1000 + i);
        Db().Execute("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)",
                     {"0001", code, "F", std::to_string(90000000000LL + i), "Operador " + std::to_string(i)});
    }
}

std::unique_ptr<LiveShell> FaultTest::NewShell(const std::string& name)
{
    return std::make_unique<LiveShell>(sessionPath_, dir_ + "/" + name + "-err.txt");
}

std::vector<std::string> FaultTest::BranchCodes()
{
    std::vector<std::string> codes;
    for (const auto& row :
         Db().Query("SELECT CDSERVFILI FROM SERVFILI WHERE CDFILIAL = ? ORDER BY CDSERVFILI", {"0001"})) {
        codes.push_back(row.at(0).value_or(""));
    }
    return codes;
}

int FaultTest::AssignmentRows(const std::string& client)
{
    auto rows = Db().Query("SELECT COUNT(*) FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ?", {"0001", client});
    return std::stoi(rows.at(0).at(0).value_or("0"));
}

std::vector<std::string> FaultTest::ListCodes(const ShellOutput& out, int dump)
{
    std::vector<std::string> codes;
    for (const auto& item : trace::ListItems(out, dump)) {
        codes.push_back(item.substr(0, 5));
    }
    return codes;
}

std::vector<json> FaultTest::ScriptTrouble(const std::vector<json>& lines)
{
    std::vector<json> trouble;
    for (const auto& l : lines) {
        if (l.is_object() && (l.contains("script-error") || l.contains("unparsed"))) {
            trouble.push_back(l);
        }
    }
    return trouble;
}

void FaultTest::ExpectScreenMatchesDatabase(const ShellOutput& out, const std::string& client)
{
    auto assigned = Assigned("0001", client);
    EXPECT_EQ(static_cast<int>(assigned.size()), AssignmentRows(client));
    EXPECT_EQ(trace::GridCodes(out), assigned);
    std::vector<std::string> rest;
    for (const auto& code : BranchCodes()) {
        if (!std::binary_search(assigned.begin(), assigned.end(), code)) {
            rest.push_back(code);
        }
    }
    EXPECT_EQ(ListCodes(out), rest);
    EXPECT_EQ(out.Component("cdsServClie")["changeCount"], 0);
}

void FaultTest::ExpectOneError(const ShellOutput& out)
{
    auto errors = trace::Errors(out.lines);
    ASSERT_EQ(errors.size(), 1u) << out.Text();
    EXPECT_FALSE(errors.front().empty());
    std::cout << "error shown: " << errors.front() << "\n";
}

void FaultTest::ExpectUsable(const ShellOutput& out)
{
    EXPECT_EQ(trace::Progress(out.lines).size() % 2, 0u) << "the progress window was left open";
    EXPECT_EQ(out.Component("cdsServClie")["state"], "browse");
    EXPECT_EQ(out.Dump()["cursor"], 0);
}

std::string FaultTest::WithDatabase(const std::string& url, const std::string& name)
{
    auto slash = url.rfind('/');
    auto query = url.find('?', slash);
    return url.substr(0, slash + 1) + name + (query == std::string::npos ? "" : url.substr(query));
}

std::string FaultTest::MoveDataTo(const std::string& url, const std::string& name)
{
    {
        auto admin = Database::Open(url, {});
        admin->Execute("DROP DATABASE IF EXISTS " + name, {});
        admin->Execute("CREATE DATABASE " + name, {});
    }
    const std::string target = WithDatabase(url, name);
    auto pg = Database::Open(target, {});
    Schema::Create(*pg);
    pg->Begin(true);
    for (const char* table : {"FILIAL", "CLIENTE", "SERVFILI", "SERVCLIE"}) {
        for (const auto& row : db_->Query(std::string("SELECT * FROM ") + table, {})) {
            std::string marks;
            for (size_t i = 0; i < row.size(); ++i) {
                marks += i == 0 ? "?" : ", ?";
            }
            pg->Execute(std::string("INSERT INTO ") + table + " VALUES (" + marks + ")", row);
        }
    }
    pg->Commit();
    db_ = std::move(pg);
    return target;
}
