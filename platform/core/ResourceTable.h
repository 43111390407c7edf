#pragma once
// The process-wide table of named resources: form layouts and other texts that
// a library carries inside itself (see cmake/EmbedResource.cmake), plus the
// override layer of a language resource module.
//
// Lookup order: a resource of the loaded language module wins over the one the
// library registered under the same name.
//
// Registrations are stacked per name: a second Register of a name shadows the
// first until it is unregistered, so two libraries that carry a resource of the
// same name do not take each other's away when one of them is unloaded.
//
// Views returned by Find stay valid until that entry is unregistered or the
// overrides are cleared or replaced. Every member may be called from any
// thread; the table is never destroyed, so static destructors of libraries
// unloaded at exit can still unregister safely.
//
// Language resource module file format (UTF-8 names, bytes as they are):
//
//     RESOURCES 1
//     <name> <length>
//     <length bytes of data>
//     <name> <length>
//     <length bytes of data>
//     ...
//
// The first line is the signature. Each entry is a header line (name without
// spaces, one space, decimal byte count, a line feed) followed by exactly that
// many bytes and one line feed that is not part of the data. Blank lines
// between entries are allowed. A file that does not follow this layout is
// refused with EResourceError naming the line; nothing is loaded from it.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ResourceTable {
public:
    // Copies the bytes; the caller's buffer need not outlive the call.
    static void Register(std::string name, std::string_view bytes);
    // Removes the most recent registration of name; nothing when absent.
    static void Unregister(const std::string& name);
    // Removes the most recent registration of name holding exactly bytes, so
    // a library takes away its own entry even when unloaded out of order.
    static void Unregister(const std::string& name, std::string_view bytes);

    // Names are compared exactly (they are file names).
    static std::optional<std::string_view> Find(std::string_view name);

    // Replaces the override layer with the resources of the file at path.
    // Throws EResourceError for a file that cannot be read or does not follow
    // the format; the previous overrides then stay as they were.
    static void LoadOverrides(const std::string& path);
    static void ClearOverrides();
    // The file the current overrides came from; empty when none are loaded.
    static std::string OverridesPath();

    // Writes resources in the language module format, for tools and tests.
    static std::string FormatOverrides(const std::vector<std::pair<std::string, std::string>>& entries);
};
