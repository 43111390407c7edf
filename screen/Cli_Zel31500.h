#pragma once
// The screen unit: the package's exported globals, the entry that opens the
// screen, and the unit's guarded initialization and finalization.
#include <cstdint>
#include <string>

class TfrmServCliente;

extern "C" {

// The single screen, null when there is none.
extern TfrmServCliente* frmServCliente;
// A screen exists.
extern bool boidcriado;
// A client was picked through the client lookup button.
extern bool bopesq;
// Kept false by the module.
extern bool boDelTodos;
// Name of the service last moved back from the client's grid.
extern std::string stnmservico;
// Code of the service being added by the move-all command.
extern std::string stServFili;

// Opens the screen: creates it if there is none, shows it at normal size.
void IniProc();
void cria_ServCliente();

// Run by the package loader, once per load and unload.
void Cli_Zel31500_Initialization();
void Cli_Zel31500_Finalization();

// The unit's initialization count, for the loader's table.
extern std::int32_t Cli_Zel31500_InitCount;
}
