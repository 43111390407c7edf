#include "platform/forms/FormReader.h"

#include "platform/core/Exception.h"
#include "platform/core/ResourceTable.h"
#include "platform/forms/FormParser.h"
#include "platform/model/ClassRegistry.h"
#include "platform/model/TComponent.h"

#include <algorithm>
#include <limits>
#include <strings.h>

namespace {

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return r;
}

const char* ValueKindName(FormValue::Kind kind)
{
    switch (kind) {
    case FormValue::Kind::Integer: return "an integer";
    case FormValue::Kind::String: return "a string";
    case FormValue::Kind::Identifier: return "a name";
    case FormValue::Kind::Set: return "a set";
    case FormValue::Kind::List: return "a list";
    case FormValue::Kind::Collection: return "a collection";
    case FormValue::Kind::Binary: return "binary data";
    }
    return "a value";
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string r;
    for (const auto& n : names) {
        r += (r.empty() ? "" : ", ") + n;
    }
    return r;
}

std::string Expected(const PropertyInfo& p)
{
    switch (p.kind) {
    case PropertyKind::Integer: return "an integer";
    case PropertyKind::Boolean: return "True or False";
    case PropertyKind::String: return "a string";
    case PropertyKind::Enum: return "one of " + Joined(p.valueNames);
    case PropertyKind::Set: return "a set of " + Joined(p.valueNames);
    case PropertyKind::Component: return "a component name";
    case PropertyKind::StringList: return "a list of strings";
    case PropertyKind::Collection: return "a collection";
    case PropertyKind::Event: return "a handler name";
    case PropertyKind::Binary: return "binary data";
    }
    return "a value";
}

bool IsIdentifier(const FormValue& value, std::string_view word)
{
    return value.kind == FormValue::Kind::Identifier && SameText(value.text, word);
}

int IndexOfName(const std::vector<std::string>& names, std::string_view name)
{
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameText(names[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

struct FormReader::Touched {
    TComponent* component;
    std::string file;
    FormPosition position;
};

struct FormReader::Fixup {
    TObject* target;
    const PropertyInfo* info;
    std::string name;
    FormPosition position;
};

// Watches the components a load created or changed, so that one destroyed
// while the load runs is neither given Loaded nor destroyed a second time.
class FormReader::Tracker : public TComponent {
public:
    Tracker() : TComponent(nullptr) {}
    ~Tracker() override { Release(); }

    void Watch(TComponent* c) { c->FreeNotification(this); }
    void Release()
    {
        for (TComponent* c : created) {
            RemoveFreeNotification(c);
        }
        for (const Touched& t : touched) {
            RemoveFreeNotification(t.component);
        }
    }

    std::vector<TComponent*> created;
    std::vector<Touched> touched;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        if (Operation == TOperation::opRemove) {
            std::erase(created, AComponent);
            std::erase_if(touched, [AComponent](const Touched& t) { return t.component == AComponent; });
        }
    }
};

FormReader::FormReader(TComponent* root, const HandlerTable& handlers)
    : root_(root), handlers_(handlers), tracker_(std::make_unique<Tracker>())
{
    if (root_ == nullptr) {
        throw EInvalidOperation("A form resource needs a form to be read into");
    }
}

FormReader::~FormReader()
{
    if (!finished_) {
        Rollback();
    }
}

std::string FormReader::ResourceName(std::string_view className)
{
    return std::string(className) + ".form";
}

void FormReader::Fail(FormPosition at, const std::string& what) const
{
    Fail(file_, at, what);
}

void FormReader::Fail(const std::string& file, FormPosition at, const std::string& what) const
{
    throw EResourceError(file, at.line, at.column, what);
}

TComponent* FormReader::Lookup(std::string_view name) const
{
    if (!name.empty() && SameText(root_->Name(), name)) {
        return root_;
    }
    return root_->FindComponent(name);
}

const ClassInfo& FormReader::FindClass(const std::string& name, FormPosition position) const
{
    const ClassInfo* info = ClassRegistry::Find(name);
    if (info == nullptr) {
        Fail(position, "unknown class '" + name + "'");
    }
    return *info;
}

void FormReader::Touch(TComponent* component, FormPosition position)
{
    for (const Touched& t : tracker_->touched) {
        if (t.component == component) {
            return;
        }
    }
    tracker_->touched.push_back(Touched{component, file_, position});
    tracker_->Watch(component);
}

void FormReader::ReadText(std::string_view utf8, const std::string& fileName)
{
    if (finished_) {
        throw EInvalidOperation("The form resources were already read");
    }
    file_ = fileName;
    fixups_.clear();
    described_.clear();
    FormObject tree = FormParser::Parse(utf8, fileName);
    ApplyRoot(tree);
    // References are resolved per resource: every component a resource may
    // name exists by its end, and no later resource has yet replaced a
    // collection item that holds a pending reference.
    ResolveFixups();
}

void FormReader::ReadResource(std::string_view resourceName)
{
    std::string name(resourceName);
    auto bytes = ResourceTable::Find(resourceName);
    if (!bytes) {
        throw EResourceError(name, 1, 1, "no form resource of this name is registered");
    }
    // Copied: reading runs form code, which could load or unload resources.
    std::string text(*bytes);
    ReadText(text, name);
}

void FormReader::Finish()
{
    if (finished_) {
        return;
    }
    // The form last: it may rely on its components being complete.
    std::vector<Touched> order = tracker_->touched;
    std::stable_partition(order.begin(), order.end(), [this](const Touched& t) { return t.component != root_; });
    for (const Touched& t : order) {
        bool alive = t.component == root_ || std::any_of(tracker_->touched.begin(), tracker_->touched.end(),
                                                         [&t](const Touched& u) { return u.component == t.component; });
        if (!alive) {
            continue;
        }
        try {
            t.component->Loaded();
        } catch (const EResourceError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(t.file, t.position, "'" + t.component->Name() + "' failed to finish loading: " + e.what());
        }
    }
    finished_ = true;
    tracker_->Release();
    tracker_->created.clear();
    tracker_->touched.clear();
}

void FormReader::Rollback()
{
    std::vector<TComponent*> created = tracker_->created;
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        // Destroying one component may destroy others it owns; the tracker
        // drops those from its list as they go.
        if (std::find(tracker_->created.begin(), tracker_->created.end(), *it) != tracker_->created.end()) {
            delete *it;
        }
    }
}

void FormReader::ApplyRoot(const FormObject& block)
{
    const ClassInfo& cls = FindClass(block.className, block.classPosition);
    if (!cls.isInstance(*root_)) {
        Fail(block.classPosition, "the form is a " + root_->ClassName() + ", not a " + block.className);
    }
    root_->SetName(block.name);
    described_.insert(root_);
    Touch(root_, block.position);
    ApplyBody(root_, cls, block);
}

void FormReader::ApplyBody(TComponent* component, const ClassInfo& cls, const FormObject& block)
{
    ApplyProperties(*component, cls, block.properties);
    for (const FormObject& child : block.children) {
        ApplyChild(component, cls, child);
    }
}

void FormReader::ApplyChild(TComponent* parent, const ClassInfo& parentClass, const FormObject& block)
{
    const ClassInfo& cls = FindClass(block.className, block.classPosition);
    TComponent* component = nullptr;
    if (block.inherited) {
        component = Lookup(block.name);
        if (component == nullptr || component == root_) {
            Fail(block.namePosition, "inherited component '" + block.name + "' does not exist in the base form");
        }
        if (!cls.isInstance(*component)) {
            Fail(block.classPosition,
                 "'" + block.name + "' is a " + component->ClassName() + ", not a " + block.className);
        }
        if (!described_.insert(component).second) {
            Fail(block.namePosition, "'" + block.name + "' is described twice");
        }
    } else {
        if (Lookup(block.name) != nullptr) {
            Fail(block.namePosition, "a component named '" + block.name + "' already exists");
        }
        if (!cls.create) {
            Fail(block.classPosition, "class " + cls.name + " cannot be created from a form resource");
        }
        try {
            component = cls.create(root_);
        } catch (const std::exception& e) {
            Fail(block.classPosition, "creating '" + block.name + "' failed: " + e.what());
        }
        if (component == nullptr) {
            Fail(block.classPosition, "class " + cls.name + " created nothing");
        }
        if (component->Owner() != root_) {
            // A factory that ignores its owner would leak the component.
            delete component;
            Fail(block.classPosition, "class " + cls.name + " did not give the form its component");
        }
        tracker_->created.push_back(component);
        tracker_->Watch(component);
        described_.insert(component);
        component->SetName(block.name);

        const ClassInfo* hook = ClassRegistry::FindAdoptHook(parentClass.name);
        bool taken = false;
        if (hook != nullptr) {
            try {
                taken = hook->adoptChild(*parent, *component);
            } catch (const std::exception& e) {
                Fail(block.position, "'" + parent->Name() + "' cannot hold '" + block.name + "': " + e.what());
            }
        }
        // The form owns every component, so one with no place in the form's
        // visual structure (a data source, a message table) is simply kept.
        if (!taken && parent != root_) {
            Fail(block.position, "'" + parent->Name() + "' (" + parentClass.name + ") cannot hold '" + block.name +
                                     "' (" + cls.name + ")");
        }
    }
    Touch(component, block.position);
    ApplyBody(component, cls, block);
}

void FormReader::ApplyProperties(TObject& target, const ClassInfo& cls, const std::vector<FormProperty>& properties)
{
    std::set<std::string> seen;
    for (const FormProperty& property : properties) {
        if (!seen.insert(Lower(property.name)).second) {
            Fail(property.position, "property '" + property.name + "' is written twice");
        }
        ApplyProperty(target, cls, property);
    }
}

void FormReader::ApplyProperty(TObject& target, const ClassInfo& cls, const FormProperty& property)
{
    const PropertyInfo* info = ClassRegistry::FindProperty(cls.name, property.name);
    if (info == nullptr) {
        std::string missing = ClassRegistry::MissingAncestor(cls.name);
        Fail(property.position, "unknown property '" + property.name + "' of " + cls.name +
                                    (missing.empty() ? "" : " (its ancestor " + missing + " is not registered)"));
    }
    try {
        WriteValue(target, *info, property);
    } catch (const EResourceError&) {
        throw;
    } catch (const std::exception& e) {
        Fail(property.value.position, "'" + property.name + "' refused its value: " + e.what());
    }
}

void FormReader::WriteValue(TObject& target, const PropertyInfo& info, const FormProperty& property)
{
    const FormValue& value = property.value;
    switch (info.kind) {
    case PropertyKind::Integer: info.writeInteger(target, IntegerValue(info, property)); return;
    case PropertyKind::Boolean: info.writeBoolean(target, BooleanValue(info, property)); return;
    case PropertyKind::String:
        RequireKind(info, property, FormValue::Kind::String);
        info.writeString(target, value.text);
        return;
    case PropertyKind::Binary:
        RequireKind(info, property, FormValue::Kind::Binary);
        info.writeString(target, value.text);
        return;
    case PropertyKind::Enum: info.writeInteger(target, EnumIndex(info, property)); return;
    case PropertyKind::Set: info.writeSet(target, SetIndexes(info, property)); return;
    case PropertyKind::Component: WriteComponent(target, info, property); return;
    case PropertyKind::StringList: info.writeStrings(target, StringLines(info, property)); return;
    case PropertyKind::Collection:
        RequireKind(info, property, FormValue::Kind::Collection);
        WriteCollection(target, info, property);
        return;
    case PropertyKind::Event: WriteEvent(target, info, property); return;
    }
}

void FormReader::FailKind(const PropertyInfo& info, const FormProperty& property) const
{
    Fail(property.value.position,
         "'" + property.name + "' takes " + Expected(info) + ", not " + ValueKindName(property.value.kind));
}

void FormReader::RequireKind(const PropertyInfo& info, const FormProperty& property, FormValue::Kind kind) const
{
    if (property.value.kind != kind) {
        FailKind(info, property);
    }
}

int FormReader::IntegerValue(const PropertyInfo& info, const FormProperty& property) const
{
    const FormValue& value = property.value;
    std::int64_t v = 0;
    if (value.kind == FormValue::Kind::Integer) {
        v = value.integer;
    } else if (value.kind == FormValue::Kind::Identifier) {
        auto c = std::find_if(info.constants.begin(), info.constants.end(),
                              [&](const auto& nc) { return SameText(nc.first, value.text); });
        if (c == info.constants.end()) {
            Fail(value.position, "'" + value.text + "' is not a value of '" + property.name + "'");
        }
        v = c->second;
    } else {
        FailKind(info, property);
    }
    if (v < info.minimum || v > info.maximum) {
        Fail(value.position, std::to_string(v) + " is out of range for '" + property.name + "' (" +
                                 std::to_string(info.minimum) + " to " + std::to_string(info.maximum) + ")");
    }
    return static_cast<int>(v);
}

bool FormReader::BooleanValue(const PropertyInfo& info, const FormProperty& property) const
{
    if (IsIdentifier(property.value, "True")) {
        return true;
    }
    if (!IsIdentifier(property.value, "False")) {
        FailKind(info, property);
    }
    return false;
}

int FormReader::EnumIndex(const PropertyInfo& info, const FormProperty& property) const
{
    const FormValue& value = property.value;
    RequireKind(info, property, FormValue::Kind::Identifier);
    int index = IndexOfName(info.valueNames, value.text);
    if (index < 0) {
        Fail(value.position,
             "'" + value.text + "' is not a value of '" + property.name + "' (" + Joined(info.valueNames) + ")");
    }
    return index;
}

std::vector<int> FormReader::SetIndexes(const PropertyInfo& info, const FormProperty& property) const
{
    RequireKind(info, property, FormValue::Kind::Set);
    std::vector<int> indexes;
    for (const FormValue& e : property.value.elements) {
        int index = IndexOfName(info.valueNames, e.text);
        if (index < 0) {
            Fail(e.position,
                 "'" + e.text + "' is not an element of '" + property.name + "' (" + Joined(info.valueNames) + ")");
        }
        indexes.push_back(index);
    }
    return indexes;
}

std::vector<std::string> FormReader::StringLines(const PropertyInfo& info, const FormProperty& property) const
{
    RequireKind(info, property, FormValue::Kind::List);
    std::vector<std::string> lines;
    for (const FormValue& e : property.value.elements) {
        if (e.kind != FormValue::Kind::String) {
            Fail(e.position, "'" + property.name + "' holds strings only, not " + ValueKindName(e.kind));
        }
        lines.push_back(e.text);
    }
    return lines;
}

void FormReader::WriteComponent(TObject& target, const PropertyInfo& info, const FormProperty& property)
{
    const FormValue& value = property.value;
    RequireKind(info, property, FormValue::Kind::Identifier);
    if (IsIdentifier(value, "nil")) {
        info.writeComponent(target, nullptr);
    } else {
        fixups_.push_back(Fixup{&target, &info, value.text, value.position});
    }
}

void FormReader::WriteEvent(TObject& target, const PropertyInfo& info, const FormProperty& property)
{
    const FormValue& value = property.value;
    RequireKind(info, property, FormValue::Kind::Identifier);
    if (IsIdentifier(value, "nil")) {
        info.writeEvent(target, std::any());
        return;
    }
    const HandlerTable::Handler* handler = handlers_.Find(value.text);
    if (handler == nullptr) {
        Fail(value.position, "'" + value.text + "' is not a handler of this form");
    }
    if (handler->eventType != info.eventType) {
        Fail(value.position,
             "handler '" + value.text + "' does not fit event '" + property.name + "' (its parameters differ)");
    }
    std::any bound;
    try {
        bound = handler->bind(root_);
    } catch (const std::exception& e) {
        Fail(value.position, "handler '" + value.text + "' cannot be bound: " + e.what());
    }
    info.writeEvent(target, bound);
}

void FormReader::WriteCollection(TObject& target, const PropertyInfo& info, const FormProperty& property)
{
    const ClassInfo* itemClass = ClassRegistry::Find(info.itemClass);
    if (itemClass == nullptr) {
        Fail(property.position,
             "the items of '" + property.name + "' are of class " + info.itemClass + ", which is not registered");
    }
    info.clearItems(target);
    for (const FormItem& item : property.value.items) {
        TObject* added = info.addItem(target);
        if (added == nullptr) {
            Fail(item.position, "'" + property.name + "' refused a new item");
        }
        ApplyProperties(*added, *itemClass, item.properties);
    }
}

void FormReader::ResolveFixups()
{
    std::vector<Fixup> pending = std::move(fixups_);
    fixups_.clear();
    for (const Fixup& f : pending) {
        if (f.name.find('.') != std::string::npos) {
            Fail(f.position, "'" + f.name + "': references to components of other forms are not supported");
        }
        TComponent* found = Lookup(f.name);
        if (found == nullptr) {
            Fail(f.position, "'" + f.name + "' is not a component of this form");
        }
        bool accepted = false;
        try {
            accepted = f.info->writeComponent(*f.target, found);
        } catch (const std::exception& e) {
            Fail(f.position, "'" + f.info->name + "' refused '" + f.name + "': " + e.what());
        }
        if (!accepted) {
            Fail(f.position, "'" + f.info->name + "' cannot refer to '" + f.name + "', a " + found->ClassName());
        }
    }
}

void FormReader::Apply(TComponent* root, const HandlerTable& handlers, std::string_view resourceName)
{
    FormReader reader(root, handlers);
    reader.ReadResource(resourceName);
    reader.Finish();
}

void FormReader::Apply(TComponent* root, const HandlerTable& handlers, const std::vector<std::string>& resourceNames)
{
    FormReader reader(root, handlers);
    for (const std::string& name : resourceNames) {
        reader.ReadResource(name);
    }
    reader.Finish();
}

void FormReader::ApplyText(TComponent* root, const HandlerTable& handlers, std::string_view utf8,
                           const std::string& fileName)
{
    FormReader reader(root, handlers);
    reader.ReadText(utf8, fileName);
    reader.Finish();
}

void FormReader::Load(TComponent* root, const HandlerTable& handlers)
{
    if (root == nullptr) {
        throw EInvalidOperation("A form resource needs a form to be read into");
    }
    std::string className = root->ClassName();
    std::vector<std::string> chain = ClassRegistry::Ancestry(className);
    if (chain.empty()) {
        throw EResourceError(ResourceName(className), 1, 1, "class " + className + " is not registered");
    }
    std::vector<std::string> names;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::string name = ResourceName(*it);
        if (ResourceTable::Find(name)) {
            names.push_back(std::move(name));
        }
    }
    if (names.empty()) {
        throw EResourceError(ResourceName(className), 1, 1,
                             "no form resource for " + className + " or any of its ancestors is registered");
    }
    Apply(root, handlers, names);
}
