// The package unit: the unit table that the loader walks, and the package's
// load and unload entries. The table lists the package's units in dependency
// order, the screen unit last, so every unit the screen uses is initialized
// before the screen unit resets the exported flags, and finalized after it.
#include "platform/package/PackageLoader.h"
#include "screen/Cli_Zel31500.h"

#define EXPORT __attribute__((visibility("default")))

namespace {

std::int32_t sysInitCount = 0;
std::int32_t pkgUnitCount = 0;

const PackageUnitEntry kUnits[] = {
    {"SysInit", &sysInitCount, nullptr, nullptr},
    {"Pkg_Zel31500", &pkgUnitCount, nullptr, nullptr},
    // The screen unit keeps its own initialization count.
    {"Cli_Zel31500", nullptr, &Cli_Zel31500_Initialization, &Cli_Zel31500_Finalization},
};

const PackageInfoTable kTable = {kPackageAbiVersion, sizeof(kUnits) / sizeof(kUnits[0]), kUnits};

} // namespace

extern "C" {

EXPORT const PackageInfoTable* GetPackageInfoTable()
{
    return &kTable;
}

EXPORT void Initialize()
{
    PackageLoader::InitializeUnits(kTable);
}

EXPORT void Finalize()
{
    PackageLoader::FinalizeUnits(kTable);
}

// The same entries under the package unit's qualified names.
EXPORT const PackageInfoTable* Pkg_Zel31500_GetPackageInfoTable() __asm__("Pkg_Zel31500.GetPackageInfoTable");
EXPORT void Pkg_Zel31500_Initialize() __asm__("Pkg_Zel31500.Initialize");
EXPORT void Pkg_Zel31500_Finalize() __asm__("Pkg_Zel31500.Finalize");

const PackageInfoTable* Pkg_Zel31500_GetPackageInfoTable()
{
    return GetPackageInfoTable();
}

void Pkg_Zel31500_Initialize()
{
    Initialize();
}

void Pkg_Zel31500_Finalize()
{
    Finalize();
}

} // extern "C"
