#pragma once
// The run-time's package loader: loads a package module (a shared object),
// initializes its units in the order of its unit table, looks up its exported
// entries and globals by name, and on unload finalizes the units in reverse
// order and closes the module.
//
// Package ABI (what a package module must export, with C linkage):
//
//   const PackageInfoTable* GetPackageInfoTable();
//       The package's unit table, valid as long as the module is loaded.
//   void Initialize();
//       Hands the table to PackageLoader::InitializeUnits.
//   void Finalize();
//       Hands the same table to PackageLoader::FinalizeUnits.
//
// A package may export further names (entries, globals) under any symbol name
// the linker accepts, dots included (through an assembler label); the shell
// finds them with Find/Resolve.
//
// The unit table lists the units in dependency order, the package's own screen
// unit last. Each unit is guarded by its own initialization count, a signed
// 32-bit integer that starts at 0 when the unit's module is loaded:
//   - initialization subtracts 1 and runs the unit's init only when the count
//     was 0 before (the first initialization);
//   - finalization adds 1 and runs the unit's fin only when the count is 0
//     afterwards (the finalization that balances the first initialization).
// So a second initialization without an unload changes nothing, and only the
// balancing finalization releases what the unit holds. A unit that keeps its
// count itself (and guards inside its own init and fin) gives a null count;
// the loader then calls its init and fin every time.
//
// The language resource module: when a file named after the package's file
// and a locale lies beside the package, e.g. "PKG_ZEL31500.so.en" or
// "PKG_ZEL31500.so.pt_BR", its resources are loaded as overrides of the
// package's own (ResourceTable::LoadOverrides) before the units are
// initialized, and dropped when the package is unloaded. The full locale
// ("pt_BR") is tried before the language alone ("pt"). Without an explicit
// locale the loader takes the one in LC_ALL, LC_MESSAGES or LANG ("C" and
// "POSIX" name none). The override layer is process-wide: one package with a
// language module at a time.
//
// Failure behaviour: every failure raises EPackageError with a message that
// names the package file: a file that does not exist, a module the dynamic
// linker refuses (with its own explanation), a missing export, a unit table
// of another ABI version, a unit whose initialization raised (the units
// initialized before it are finalized again, in reverse order, and the module
// is closed), an unreadable language resource module. A failed Load leaves the
// loader unloaded. Unload always closes the module; an error raised by a
// finalization is reported after every other unit was finalized.
#include <cstdint>
#include <string>

extern "C" {

// One unit of a package, as the package's unit table lists it.
struct PackageUnitEntry {
    const char* name;        // the unit's name, for messages
    std::int32_t* initCount; // the unit's own count, or null (see above)
    void (*init)();          // may be null: nothing to initialize
    void (*fin)();           // may be null: nothing to finalize
};

struct PackageInfoTable {
    std::uint32_t version; // kPackageAbiVersion of the loader the package was built against
    std::uint32_t unitCount;
    const PackageUnitEntry* units;
};
}

inline constexpr std::uint32_t kPackageAbiVersion = 1;

class PackageLoader {
public:
    PackageLoader() = default;
    // Unloads a package still loaded; an error is shown through the error
    // sink, as a destructor cannot raise it.
    ~PackageLoader();
    PackageLoader(const PackageLoader&) = delete;
    PackageLoader& operator=(const PackageLoader&) = delete;

    // Loads the package module at path and initializes its units. The locale
    // chooses the language resource module; empty means none, the package's
    // own resources. A language module that cannot be read is skipped and
    // Warning() says why.
    // Raises EInvalidOperation when this loader holds a package already.
    void Load(const std::string& path, const std::string& locale = {});
    // Finalizes the units and closes the module; does nothing when nothing is
    // loaded.
    void Unload();

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& FileName() const { return path_; }
    // The language resource module in use, empty when none.
    const std::string& ResourceModule() const { return resourceModule_; }
    // Why the last Load used no language module although one was chosen and
    // found; empty otherwise.
    const std::string& Warning() const { return warning_; }

    // Address of an exported name, or null when the package does not export
    // it or nothing is loaded.
    void* Find(const std::string& name) const;
    // Address of an exported name; EPackageError when missing.
    void* Resolve(const std::string& name) const;

    // An exported global of type T.
    template <class T>
    T& Global(const std::string& name) const
    {
        return *static_cast<T*>(Resolve(name));
    }
    // An exported function of type F, e.g. Entry<void()>("IniProc").
    template <class F>
    F* Entry(const std::string& name) const
    {
        return reinterpret_cast<F*>(Resolve(name));
    }

    // Called by a package's Initialize and Finalize with its unit table.
    // InitializeUnits raises EPackageError naming the unit whose
    // initialization failed, after finalizing the units before it.
    // FinalizeUnits finalizes every unit, then raises EPackageError for the
    // first one that failed.
    static void InitializeUnits(const PackageInfoTable& table);
    static void FinalizeUnits(const PackageInfoTable& table);

    // The language resource module that Load would take for a package file
    // and a locale: the first existing candidate, or empty.
    static std::string FindResourceModule(const std::string& path, const std::string& locale);

private:
    void* handle_ = nullptr;
    void (*finalize_)() = nullptr;
    bool overrides_ = false;
    std::string path_;
    std::string resourceModule_;
    std::string warning_;
};
