#pragma once
// The application server's data of the shell's tests, one list for every
// suite that drives the screen against a server: three branches (the third
// without services), the clients and services of the first two, one client
// with one service and one with every service of the first branch.
#include "server/Database.h"

inline void SeedServerData(Database& db)
{
    auto run = [&](const char* sql, std::vector<SqlValue> v) { db.Execute(sql, v); };
    run("INSERT INTO FILIAL VALUES (?, ?)", {"0001", "Matriz São Paulo"});
    run("INSERT INTO FILIAL VALUES (?, ?)", {"0002", "Filial Campinas"});
    run("INSERT INTO FILIAL VALUES (?, ?)", {"0003", "Filial Sem Serviços"});
    const char* clients[][5] = {
        {"0001", "C0001", "F", "11144477735", "Ana Souza"},
        {"0001", "C0002", "J", "11222333000181", "Comércio Álvares Ltda"},
        {"0001", "C0003", "F", "52998224725", "Zeca Todos"},
        {"0002", "C0101", "F", "39053344705", "Bruno Campinas"},
    };
    for (auto& c : clients) {
        run("INSERT INTO CLIENTE VALUES (?, ?, ?, ?, ?)", {c[0], c[1], c[2], c[3], c[4]});
    }
    const char* services[][3] = {
        {"0001", "00001", "Consultoria"}, {"0001", "00002", "Manutenção"},      {"0001", "00003", "Instalação"},
        {"0001", "00004", "Treinamento"}, {"0001", "00005", "Suporte técnico"}, {"0002", "00001", "Limpeza"},
    };
    for (auto& s : services) {
        run("INSERT INTO SERVFILI VALUES (?, ?, ?)", {s[0], s[1], s[2]});
    }
    const char* insertAssigned = "INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)";
    run(insertAssigned, {"0001", "C0001", "00002"});
    for (const char* code : {"00001", "00002", "00003", "00004", "00005"}) {
        run(insertAssigned, {"0001", "C0003", code});
    }
}
