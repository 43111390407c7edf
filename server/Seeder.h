#pragma once
// Demo data for trying the screen: branches, clients with well-formed
// individual (CPF, kind 'F') and company (CNPJ, kind 'J') registration
// numbers, services with Portuguese names, some assignments; and the local
// database's branch table. The data are the same on every run, and seeding
// again adds nothing that is already there.
#include "server/Database.h"

#include <string>

class Seeder {
public:
    struct Counts {
        int branches = 0;
        int clients = 0;
        int services = 0;
        int assignments = 0;
    };

    // Fills the server's database (schema created when absent).
    static Counts Seed(Database& db);
    // Creates FILIAL in the local SQLite database at path and fills it.
    static void SeedLocal(const std::string& path);

    // The two check digits of a CPF (9 digits) or CNPJ (12 digits) appended.
    static std::string Cpf(const std::string& nineDigits);
    static std::string Cnpj(const std::string& twelveDigits);
};
