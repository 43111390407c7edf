#include "platform/package/PackageLoader.h"

#include "platform/core/Cp1252.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"

#include "platform/core/ResourceTable.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string Quoted(const std::string& path)
{
    std::string quoted = "'";
    quoted += Cp1252::FromUtf8Lossy(path);
    quoted += '\'';
    return quoted;
}

std::string UnitName(const PackageUnitEntry& unit)
{
    return unit.name != nullptr ? std::string(unit.name) : std::string("(unnamed)");
}

std::string DescribeCurrentException()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an error that is not an exception object";
    }
}

void InitializeUnit(const PackageUnitEntry& unit)
{
    if (unit.initCount == nullptr) {
        if (unit.init != nullptr) {
            unit.init();
        }
        return;
    }
    std::int32_t before = (*unit.initCount)--;
    if (before != 0 || unit.init == nullptr) {
        return;
    }
    try {
        unit.init();
    } catch (...) {
        // The unit did not come up: the next load must try it again.
        ++*unit.initCount;
        throw;
    }
}

void FinalizeUnit(const PackageUnitEntry& unit)
{
    if (unit.initCount == nullptr) {
        if (unit.fin != nullptr) {
            unit.fin();
        }
        return;
    }
    if (++*unit.initCount == 0 && unit.fin != nullptr) {
        unit.fin();
    }
}

void CheckTable(const PackageInfoTable& table)
{
    if (table.version != kPackageAbiVersion) {
        throw EPackageError("The unit table has version " + std::to_string(table.version) +
                            "; this loader reads version " + std::to_string(kPackageAbiVersion));
    }
    if (table.unitCount > 0 && table.units == nullptr) {
        throw EPackageError("The unit table lists " + std::to_string(table.unitCount) + " units but holds none");
    }
}

// A locale becomes part of a file name, so it may hold nothing that walks out
// of the package's folder.
bool ValidLocale(const std::string& locale)
{
    if (locale.empty() || locale.size() > 32) {
        return false;
    }
    for (char c : locale) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

PackageLoader::~PackageLoader()
{
    try {
        Unload();
    } catch (const std::exception& e) {
        ErrorSink::Show(e.what());
    }
}

std::string PackageLoader::FindResourceModule(const std::string& path, const std::string& locale)
{
    // The package's own resources are the default whatever the machine's
    // locale: only an explicit choice takes a language module.
    if (locale.empty()) {
        return {};
    }
    if (!ValidLocale(locale)) {
        throw EPackageError("Locale " + Quoted(locale) + " is not a valid locale name");
    }
    std::vector<std::string> candidates{path + "." + locale};
    auto cut = locale.find_first_of("_-");
    if (cut != std::string::npos && cut > 0) {
        candidates.push_back(path + "." + locale.substr(0, cut));
    }
    for (const auto& candidate : candidates) {
        if (IsRegularFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

void PackageLoader::Load(const std::string& path, const std::string& locale)
{
    if (handle_ != nullptr) {
        throw EInvalidOperation("Package " + Quoted(path) + " cannot be loaded: this loader holds package " +
                                Quoted(path_) + " already");
    }
    if (!IsRegularFile(path)) {
        throw EPackageError("Package file " + Quoted(path) + " not found");
    }
    std::string resource = FindResourceModule(path, locale);

    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        throw EPackageError("Cannot load package " + Quoted(path) + ": " +
                            Cp1252::FromUtf8Lossy(why != nullptr ? why : "unknown reason"));
    }
    handle_ = handle;
    path_ = path;
    try {
        auto getTable = Entry<const PackageInfoTable*()>("GetPackageInfoTable");
        auto initialize = Entry<void()>("Initialize");
        finalize_ = Entry<void()>("Finalize");
        const PackageInfoTable* table = getTable();
        if (table == nullptr) {
            throw EPackageError("Package " + Quoted(path) + " has no unit table");
        }
        try {
            CheckTable(*table);
        } catch (const EPackageError& e) {
            throw EPackageError("Package " + Quoted(path) + ": " + e.what());
        }
        warning_.clear();
        if (!resource.empty()) {
            // A language module is a translation, never a reason not to open:
            // one that cannot be read leaves the package's own resources.
            try {
                ResourceTable::LoadOverrides(resource);
                overrides_ = true;
                resourceModule_ = resource;
            } catch (const std::exception& e) {
                warning_ = "Language resource module " + Quoted(resource) + " of package " + Quoted(path) +
                           " cannot be read, so the package's own resources are used: " + e.what();
            }
        }
        try {
            initialize();
        } catch (...) {
            throw EPackageError("Package " + Quoted(path) + " could not be initialized. " + DescribeCurrentException());
        }
    } catch (...) {
        if (overrides_) {
            ResourceTable::ClearOverrides();
        }
        dlclose(handle_);
        handle_ = nullptr;
        finalize_ = nullptr;
        overrides_ = false;
        path_.clear();
        resourceModule_.clear();
        throw;
    }
}

void PackageLoader::Unload()
{
    if (handle_ == nullptr) {
        return;
    }
    std::string error;
    try {
        finalize_();
    } catch (...) {
        error = DescribeCurrentException();
    }
    if (overrides_) {
        ResourceTable::ClearOverrides();
    }
    std::string path = path_;
    dlerror();
    if (dlclose(handle_) != 0 && error.empty()) {
        const char* why = dlerror();
        error = Cp1252::FromUtf8Lossy(why != nullptr ? why : "the module could not be closed");
    }
    handle_ = nullptr;
    finalize_ = nullptr;
    overrides_ = false;
    path_.clear();
    resourceModule_.clear();
    if (!error.empty()) {
        throw EPackageError("Package " + Quoted(path) + " was unloaded with an error: " + error);
    }
}

void* PackageLoader::Find(const std::string& name) const
{
    if (handle_ == nullptr) {
        return nullptr;
    }
    return dlsym(handle_, name.c_str());
}

void* PackageLoader::Resolve(const std::string& name) const
{
    if (handle_ == nullptr) {
        throw EPackageError("No package is loaded to look up " + Quoted(name) + " in");
    }
    void* address = Find(name);
    if (address == nullptr) {
        throw EPackageError("Package " + Quoted(path_) + " does not export " + Quoted(name));
    }
    return address;
}

void PackageLoader::InitializeUnits(const PackageInfoTable& table)
{
    CheckTable(table);
    for (std::uint32_t i = 0; i < table.unitCount; ++i) {
        try {
            InitializeUnit(table.units[i]);
        } catch (...) {
            std::string why = DescribeCurrentException();
            // Units already up are taken down again, last first, so that a
            // later load finds every count as it was.
            for (std::uint32_t j = i; j-- > 0;) {
                try {
                    FinalizeUnit(table.units[j]);
                } catch (...) {
                    why += "; finalization of unit '" + UnitName(table.units[j]) +
                           "' failed too: " + DescribeCurrentException();
                }
            }
            throw EPackageError("Initialization of unit '" + UnitName(table.units[i]) + "' failed: " + why);
        }
    }
}

void PackageLoader::FinalizeUnits(const PackageInfoTable& table)
{
    CheckTable(table);
    std::string error;
    for (std::uint32_t i = table.unitCount; i-- > 0;) {
        try {
            FinalizeUnit(table.units[i]);
        } catch (...) {
            if (error.empty()) {
                error = "Finalization of unit '" + UnitName(table.units[i]) + "' failed: " + DescribeCurrentException();
            }
        }
    }
    if (!error.empty()) {
        throw EPackageError(error);
    }
}
