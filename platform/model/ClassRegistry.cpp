#include "platform/model/ClassRegistry.h"

#include "platform/model/ClassRegistration.h"
#include "platform/model/TComponent.h"

#include <map>
#include <memory>
#include <mutex>
#include <strings.h>

namespace {

// A parent chain longer than this is taken to loop back on itself.
constexpr int kMaxChain = 64;

struct Entry {
    ClassRegistry::Id id;
    ClassInfo info;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::vector<std::unique_ptr<Entry>>, std::less<>> classes;
    std::map<ClassRegistry::Id, std::string> keys;
    ClassRegistry::Id nextId = 1;
};

// Never destroyed: registrations of libraries unloaded during exit remove
// themselves from static destructors that may run after this file's.
Registry& TheRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

std::string Key(std::string_view name)
{
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const ClassInfo* FindLocked(Registry& r, std::string_view name)
{
    auto it = r.classes.find(Key(name));
    return it == r.classes.end() ? nullptr : &it->second.back()->info;
}

// className and its registered ancestors, nearest first; missing receives the
// first parent name that is not registered.
std::vector<const ClassInfo*> ChainLocked(Registry& r, std::string_view className, std::string* missing = nullptr)
{
    std::vector<const ClassInfo*> chain;
    std::string name(className);
    while (!name.empty() && chain.size() < kMaxChain) {
        const ClassInfo* info = FindLocked(r, name);
        if (info == nullptr) {
            if (missing != nullptr && !chain.empty()) {
                *missing = name;
            }
            break;
        }
        chain.push_back(info);
        name = info->parentName;
    }
    return chain;
}

// The classes every component model shares.
const ClassRegistration<TObject> objectClass("TObject", "", nullptr, {});
const ClassRegistration<TComponent> componentClass("TComponent", "TObject", [](ClassBuilder<TComponent>& c) {
    c.RegisterProperty("Tag", &TComponent::Tag, &TComponent::SetTag);
});

} // namespace

ClassRegistry::Id ClassRegistry::Register(ClassInfo info)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    Id id = r.nextId++;
    std::string key = Key(info.name);
    r.classes[key].push_back(std::make_unique<Entry>(Entry{id, std::move(info)}));
    r.keys.emplace(id, std::move(key));
    return id;
}

void ClassRegistry::Unregister(Id id)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto key = r.keys.find(id);
    if (key == r.keys.end()) {
        return;
    }
    auto cls = r.classes.find(key->second);
    if (cls != r.classes.end()) {
        std::erase_if(cls->second, [id](const std::unique_ptr<Entry>& e) { return e->id == id; });
        if (cls->second.empty()) {
            r.classes.erase(cls);
        }
    }
    r.keys.erase(key);
}

const ClassInfo* ClassRegistry::Find(std::string_view className)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return FindLocked(r, className);
}

bool ClassRegistry::IsDerivedFrom(std::string_view className, std::string_view baseName)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (const ClassInfo* info : ChainLocked(r, className)) {
        if (SameText(info->name, baseName)) {
            return true;
        }
    }
    return false;
}

const PropertyInfo* ClassRegistry::FindProperty(std::string_view className, std::string_view propertyName)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (const ClassInfo* info : ChainLocked(r, className)) {
        for (const PropertyInfo& p : info->properties) {
            if (SameText(p.name, propertyName)) {
                return &p;
            }
        }
    }
    return nullptr;
}

const ClassInfo* ClassRegistry::FindAdoptHook(std::string_view className)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (const ClassInfo* info : ChainLocked(r, className)) {
        if (info->adoptChild) {
            return info;
        }
    }
    return nullptr;
}

std::string ClassRegistry::MissingAncestor(std::string_view className)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    std::string missing;
    ChainLocked(r, className, &missing);
    return missing;
}

std::vector<std::string> ClassRegistry::Ancestry(std::string_view className)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    std::vector<std::string> names;
    for (const ClassInfo* info : ChainLocked(r, className)) {
        names.push_back(info->name);
    }
    return names;
}
