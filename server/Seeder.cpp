#include "server/Seeder.h"

#include "platform/core/Exception.h"
#include "server/Schema.h"
#include "server/SqliteDatabase.h"

#include <random>

namespace {

struct Branch {
    const char* code;
    const char* name;
};

const Branch kBranches[] = {
    {"0001", "Matriz São Paulo"},      {"0002", "Filial Campinas"},      {"0003", "Filial Ribeirão Preto"},
    {"0004", "Filial Belo Horizonte"}, {"0005", "Filial Florianópolis"},
};

const char* const kFirstNames[] = {"João",      "José",    "Antônio", "Francisco", "Luís",    "Sebastião",
                                   "Conceição", "Lúcia",   "Márcia",  "Patrícia",  "Fábio",   "Cláudio",
                                   "Sérgio",    "Mônica",  "Vânia",   "Inês",      "Rogério", "Otávio",
                                   "Flávia",    "Letícia", "André",   "Célia",     "Débora",  "Álvaro"};
const char* const kLastNames[] = {"da Silva",  "dos Santos", "Oliveira", "Souza",    "Conceição", "Araújo",
                                  "Gonçalves", "Magalhães",  "Simões",   "Assunção", "Brandão",   "Falcão",
                                  "Guimarães", "Sampaio",    "Cortês",   "Damião",   "Estêvão",   "Lemos"};
const char* const kTrades[] = {"Comércio de Alimentos",
                               "Distribuidora",
                               "Transportes",
                               "Construções",
                               "Indústria Têxtil",
                               "Padaria e Confeitaria",
                               "Auto Peças",
                               "Farmácia",
                               "Materiais Elétricos",
                               "Informática",
                               "Papelaria",
                               "Serviços Médicos",
                               "Agropecuária",
                               "Calçados",
                               "Móveis"};
const char* const kSuffixes[] = {"Ltda", "S.A.", "ME", "EIRELI", "Ltda EPP"};

const char* const kServices[] = {
    "Manutenção preventiva",
    "Manutenção corretiva",
    "Instalação elétrica",
    "Instalação hidráulica",
    "Consultoria fiscal",
    "Consultoria tributária",
    "Assessoria contábil",
    "Auditoria interna",
    "Limpeza de escritório",
    "Limpeza pós-obra",
    "Dedetização",
    "Jardinagem e paisagismo",
    "Segurança patrimonial",
    "Portaria 24 horas",
    "Vigilância eletrônica",
    "Monitoramento de alarmes",
    "Transporte de cargas",
    "Entrega expressa",
    "Armazenagem",
    "Logística reversa",
    "Suporte técnico em informática",
    "Desenvolvimento de sistemas",
    "Hospedagem de sítios",
    "Cópia de segurança",
    "Treinamento de funcionários",
    "Recrutamento e seleção",
    "Folha de pagamento",
    "Medicina do trabalho",
    "Exame admissional",
    "Exame demissional",
    "Laudo técnico",
    "Perícia contábil",
    "Tradução juramentada",
    "Revisão de contratos",
    "Cobrança amigável",
    "Cobrança judicial",
    "Impressão de formulários",
    "Encadernação",
    "Digitalização de documentos",
    "Guarda de documentos",
    "Aluguel de máquinas",
    "Aluguel de andaimes",
    "Locação de veículos",
    "Frete fracionado",
    "Calibração de balanças",
    "Inspeção de extintores",
    "Recarga de extintores",
    "Manutenção de elevadores",
    "Ar-condicionado: instalação",
    "Ar-condicionado: higienização",
    "Pintura predial",
    "Impermeabilização",
    "Serralheria",
    "Marcenaria sob medida",
    "Vidraçaria",
    "Chaveiro",
    "Buffet para eventos",
    "Decoração de ambientes",
    "Fotografia e filmagem",
    "Publicidade e propaganda",
};

std::string Digits(std::mt19937& rng, int n)
{
    std::uniform_int_distribution<int> d(0, 9);
    std::string s;
    for (int i = 0; i < n; ++i) {
        s.push_back(static_cast<char>('0' + d(rng)));
    }
    return s;
}

char CheckDigit(const std::string& digits, const std::vector<int>& weights)
{
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        sum += (digits[i] - '0') * weights[i];
    }
    int r = sum % 11;
    return static_cast<char>('0' + (r < 2 ? 0 : 11 - r));
}

template <size_t N>
const char* Pick(std::mt19937& rng, const char* const (&list)[N])
{
    std::uniform_int_distribution<size_t> d(0, N - 1);
    return list[d(rng)];
}

std::string Code(int n, int width)
{
    std::string s = std::to_string(n);
    return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

} // namespace

std::string Seeder::Cpf(const std::string& nine)
{
    std::string s = nine;
    s.push_back(CheckDigit(s, {10, 9, 8, 7, 6, 5, 4, 3, 2}));
    s.push_back(CheckDigit(s, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
    return s;
}

std::string Seeder::Cnpj(const std::string& twelve)
{
    std::string s = twelve;
    s.push_back(CheckDigit(s, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
    s.push_back(CheckDigit(s, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
    return s;
}

Seeder::Counts Seeder::Seed(Database& db)
{
    Schema::Create(db);
    std::mt19937 rng(31500);
    Counts counts;
    db.Begin(true);
    try {
        for (const auto& b : kBranches) {
            counts.branches += static_cast<int>(db.Execute(
                db.IgnoringDuplicates("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)"), {b.code, b.name}));
            const int serviceCount = static_cast<int>(std::size(kServices));
            for (int s = 0; s < serviceCount; ++s) {
                counts.services += static_cast<int>(db.Execute(
                    db.IgnoringDuplicates("INSERT INTO SERVFILI (CDFILIAL, CDSERVFILI, NMSERVICO) VALUES (?, ?, ?)"),
                    {b.code, Code(s + 1, 5), kServices[s]}));
            }
            for (int c = 1; c <= 150; ++c) {
                bool company = c % 3 == 0;
                std::string number;
                std::string name;
                if (company) {
                    number = Cnpj(Digits(rng, 8) + "0001");
                    name = std::string(Pick(rng, kTrades)) + " " + Pick(rng, kLastNames) + " " + Pick(rng, kSuffixes);
                } else {
                    number = Cpf(Digits(rng, 9));
                    name =
                        std::string(Pick(rng, kFirstNames)) + " " + Pick(rng, kLastNames) + " " + Pick(rng, kLastNames);
                }
                const std::string client = Code(c, 8);
                counts.clients += static_cast<int>(db.Execute(
                    db.IgnoringDuplicates("INSERT INTO CLIENTE (CDFILIAL, CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, "
                                          "NMRAZSOCCLIE) VALUES (?, ?, ?, ?, ?)"),
                    {b.code, client, company ? "J" : "F", number, name}));
                if (c % 4 == 0) {
                    std::uniform_int_distribution<int> pick(1, serviceCount);
                    int many = 2 + c % 7;
                    for (int k = 0; k < many; ++k) {
                        counts.assignments += static_cast<int>(
                            db.Execute(db.IgnoringDuplicates(
                                           "INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES (?, ?, ?)"),
                                       {b.code, client, Code(pick(rng), 5)}));
                    }
                }
            }
        }
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
    return counts;
}

void Seeder::SeedLocal(const std::string& path)
{
    DatabaseOptions options;
    SqliteDatabase local(path, options);
    local.ExecScript("CREATE TABLE IF NOT EXISTS FILIAL (CDFILIAL varchar(4) NOT NULL PRIMARY KEY, "
                     "NMFILIAL varchar(30))");
    local.Begin(true);
    try {
        for (const auto& b : kBranches) {
            local.Execute(local.IgnoringDuplicates("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)"),
                          {b.code, b.name});
        }
        local.Commit();
    } catch (...) {
        local.Rollback();
        throw;
    }
}
