#include "screen/assign/UltimoMovimento.h"

void UltimoMovimento::Inicia(const std::string& filial, const std::string& cliente, bool paraCliente)
{
    iniciando_ = true;
    novaFilial_ = filial;
    novoCliente_ = cliente;
    novoParaCliente_ = paraCliente;
}

void UltimoMovimento::Registra(const std::string& codigo, const std::string& nome)
{
    if (iniciando_) {
        iniciando_ = false;
        filial_ = novaFilial_;
        cliente_ = novoCliente_;
        paraCliente_ = novoParaCliente_;
        servicos_.clear();
        alterados_.clear();
    }
    servicos_[codigo] = nome;
}

void UltimoMovimento::AlteradoPorOutro(const std::string& filial, const std::string& cliente, const std::string& codigo)
{
    if (filial == filial_ && cliente == cliente_ && servicos_.count(codigo) != 0) {
        alterados_.insert(codigo);
    }
}

void UltimoMovimento::Desfeito(const std::string& codigo)
{
    servicos_.erase(codigo);
}

void UltimoMovimento::Limpa()
{
    iniciando_ = false;
    servicos_.clear();
    alterados_.clear();
}

bool UltimoMovimento::De(const std::string& filial, const std::string& cliente) const
{
    return !servicos_.empty() && filial == filial_ && cliente == cliente_;
}

std::map<std::string, std::string> UltimoMovimento::Conflitos(const std::set<std::string>& noServidor) const
{
    std::map<std::string, std::string> conflitos;
    for (const auto& [codigo, nome] : servicos_) {
        // The move left a service sent to the client on the server, and one
        // taken back off it.
        const bool comoDeixado = (noServidor.count(codigo) != 0) == paraCliente_;
        if (!comoDeixado || alterados_.count(codigo) != 0) {
            conflitos.emplace(codigo, nome);
        }
    }
    return conflitos;
}
