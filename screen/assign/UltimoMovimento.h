#pragma once
// The last move command that stored something, as it can be undone: its
// branch and client, which way its services went, the services it stored,
// and which of those other operators changed since. A command that stores
// nothing leaves the move before it in place. An undo takes out each service
// as it brings it back, so an undo that stopped part way can go on later.
#include <map>
#include <set>
#include <string>

class UltimoMovimento {
public:
    // A move command of the branch and client starts, to the client
    // (paraCliente) or back from it: what it stores replaces the move before.
    void Inicia(const std::string& filial, const std::string& cliente, bool paraCliente);
    // The running command stored the service.
    void Registra(const std::string& codigo, const std::string& nome);
    // Another operator changed the service of the branch and client.
    void AlteradoPorOutro(const std::string& filial, const std::string& cliente, const std::string& codigo);
    // The undo brought the service back.
    void Desfeito(const std::string& codigo);
    void Limpa();

    // Whether it holds something to undo for the branch and client.
    bool De(const std::string& filial, const std::string& cliente) const;
    bool Vazio() const { return servicos_.empty(); }
    const std::string& Filial() const { return filial_; }
    const std::string& Cliente() const { return cliente_; }
    bool ParaCliente() const { return paraCliente_; }
    // The services to bring back, code to name.
    const std::map<std::string, std::string>& Servicos() const { return servicos_; }
    // The services whose undo would undo other operators' work, code to
    // name: those they changed since, and those the server no longer holds
    // as the move left them (noServidor: the codes it holds for the client).
    std::map<std::string, std::string> Conflitos(const std::set<std::string>& noServidor) const;

private:
    std::string filial_;
    std::string cliente_;
    bool paraCliente_ = true;
    std::map<std::string, std::string> servicos_;
    std::set<std::string> alterados_;
    // The command started and stored nothing yet.
    bool iniciando_ = false;
    std::string novaFilial_;
    std::string novoCliente_;
    bool novoParaCliente_ = true;
};
