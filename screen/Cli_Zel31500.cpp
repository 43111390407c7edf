#include "screen/Cli_Zel31500.h"

#include "platform/controls/Graphics.h"
#include "platform/controls/TApplication.h"
#include "screen/TfrmServCliente.h"

#define EXPORT __attribute__((visibility("default")))

extern "C" {

EXPORT TfrmServCliente* frmServCliente = nullptr;
EXPORT bool boidcriado = false;
EXPORT bool bopesq = false;
EXPORT bool boDelTodos = false;
EXPORT std::string stnmservico;
EXPORT std::string stServFili;

std::int32_t Cli_Zel31500_InitCount = 0;

EXPORT void cria_ServCliente()
{
    Application().SetCursor(crHourGlass);
    try {
        if (!boidcriado) {
            Application().CreateForm(frmServCliente);
            boidcriado = true;
        }
        frmServCliente->Show();
        frmServCliente->SetWindowState(TWindowState::wsNormal);
    } catch (...) {
        // A failed creation must not leave the hourglass showing.
        Application().SetCursor(crDefault);
        throw;
    }
    Application().SetCursor(crDefault);
}

// The unit-qualified name of the same routine.
EXPORT void Cli_Zel31500_cria_ServCliente() __asm__("Cli_Zel31500.cria_ServCliente");
void Cli_Zel31500_cria_ServCliente()
{
    cria_ServCliente();
}

EXPORT void IniProc()
{
    cria_ServCliente();
}

// The count is kept here rather than by the loader, as the unit's own code
// decides what a repeated initialization does.
EXPORT void Cli_Zel31500_Initialization()
{
    std::int32_t before = Cli_Zel31500_InitCount;
    Cli_Zel31500_InitCount -= 1;
    if (before == 0) {
        bopesq = false;
        boidcriado = false;
        boDelTodos = false;
    }
}

EXPORT void Cli_Zel31500_Finalization()
{
    Cli_Zel31500_InitCount += 1;
    if (Cli_Zel31500_InitCount == 0) {
        std::string().swap(stServFili);
        std::string().swap(stnmservico);
    }
}

} // extern "C"
