#pragma once
// Builds a form from its form resources: creates the components a resource
// describes (owned by the form, named by their blocks), writes their
// properties through the class registry, binds events to the form's handlers
// by name, and resolves references between components once every component
// of a resource exists. A derived form's resource ("inherited" blocks) is read
// after its base's and changes the components the base created.
//
// Failure behaviour: every fault is an EResourceError naming the resource,
// line and column: a syntax error, an unknown class or property, a value that
// does not fit its property, an unresolved component or handler name, a
// handler whose signature does not fit its event, an inherited block naming
// no existing component, a class that does not match. When reading fails the
// components created so far are destroyed again (last created first);
// properties already written to components that existed before stay written,
// so the caller discards the form.
//
// Loaded() runs once on every component created or changed, after all
// resources were read, in the order they were first read, the form last.
#include "platform/forms/FormAst.h"
#include "platform/forms/HandlerTable.h"

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TComponent;
class TObject;
struct ClassInfo;
struct PropertyInfo;

class FormReader {
public:
    // handlers: the form class's table (chained to its bases' tables); the
    // handlers bind to root.
    FormReader(TComponent* root, const HandlerTable& handlers);
    ~FormReader();
    FormReader(const FormReader&) = delete;
    FormReader& operator=(const FormReader&) = delete;

    // Reads one resource; call once per class of the chain, base first.
    void ReadText(std::string_view utf8, const std::string& fileName);
    // Reads the resource registered in ResourceTable under resourceName.
    void ReadResource(std::string_view resourceName);
    // Runs Loaded; after it the reader no longer undoes anything.
    void Finish();

    // One resource from ResourceTable, read and finished.
    static void Apply(TComponent* root, const HandlerTable& handlers, std::string_view resourceName);
    // Several resources from ResourceTable, base first, read as one load.
    static void Apply(TComponent* root, const HandlerTable& handlers, const std::vector<std::string>& resourceNames);
    // Resource text given directly (tests, tools).
    static void ApplyText(TComponent* root, const HandlerTable& handlers, std::string_view utf8,
                          const std::string& fileName);
    // Reads the resources of root's registered class and of each registered
    // ancestor that has one, outermost first; each is found in ResourceTable
    // under ResourceName(class). At least one must exist.
    static void Load(TComponent* root, const HandlerTable& handlers);

    // The resource name of a class's layout: the class name plus ".form"
    // ("TfrmServCliente.form"), which is the file name to embed.
    static std::string ResourceName(std::string_view className);

private:
    class Tracker;
    struct Fixup;
    struct Touched;

    void ApplyRoot(const FormObject& block);
    void ApplyBody(TComponent* component, const ClassInfo& cls, const FormObject& block);
    void ApplyChild(TComponent* parent, const ClassInfo& parentClass, const FormObject& block);
    void ApplyProperties(TObject& target, const ClassInfo& cls, const std::vector<FormProperty>& properties);
    void ApplyProperty(TObject& target, const ClassInfo& cls, const FormProperty& property);
    void WriteValue(TObject& target, const PropertyInfo& info, const FormProperty& property);
    // The value of each kind of property, checked against the property.
    int IntegerValue(const PropertyInfo& info, const FormProperty& property) const;
    bool BooleanValue(const PropertyInfo& info, const FormProperty& property) const;
    int EnumIndex(const PropertyInfo& info, const FormProperty& property) const;
    std::vector<int> SetIndexes(const PropertyInfo& info, const FormProperty& property) const;
    std::vector<std::string> StringLines(const PropertyInfo& info, const FormProperty& property) const;
    void WriteComponent(TObject& target, const PropertyInfo& info, const FormProperty& property);
    void WriteEvent(TObject& target, const PropertyInfo& info, const FormProperty& property);
    // Refuses a value of another kind than the property takes.
    void RequireKind(const PropertyInfo& info, const FormProperty& property, FormValue::Kind kind) const;
    [[noreturn]] void FailKind(const PropertyInfo& info, const FormProperty& property) const;
    void WriteCollection(TObject& target, const PropertyInfo& info, const FormProperty& property);
    void ResolveFixups();
    void Touch(TComponent* component, FormPosition position);
    void Rollback();
    const ClassInfo& FindClass(const std::string& name, FormPosition position) const;
    TComponent* Lookup(std::string_view name) const;
    [[noreturn]] void Fail(FormPosition at, const std::string& what) const;
    [[noreturn]] void Fail(const std::string& file, FormPosition at, const std::string& what) const;

    TComponent* root_;
    const HandlerTable& handlers_;
    std::unique_ptr<Tracker> tracker_;
    std::string file_; // the resource being read
    std::vector<Fixup> fixups_;
    // Objects a block of the current resource described, to refuse a second.
    std::set<const TObject*> described_;
    bool finished_ = false;
};
