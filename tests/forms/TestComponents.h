#pragma once
// Small component classes for the form-reader tests: a form with handlers, a
// derived form that overrides one by name, controls, a container that adopts
// controls, a non-visual source, a message list and a grid with columns.
#include "platform/controls/Graphics.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

// Every Loaded call, as "name", in call order; tests clear it first.
std::vector<std::string>& LoadedLog();

class TTestPanel;

class TTestControl : public TComponent {
public:
    DECLARE_CLASS_NAME(TTestControl)
    using TComponent::TComponent;
    ~TTestControl() override;

    TTestPanel* Parent() const { return parent_; }
    void SetParent(TTestPanel* value);
    int Left() const { return left_; }
    void SetLeft(int value) { left_ = value; }
    short TabOrder() const { return tabOrder_; }
    void SetTabOrder(short value) { tabOrder_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value) { caption_ = value; }
    TAlign Align() const { return align_; }
    void SetAlign(TAlign value) { align_ = value; }
    const TFontStyles& FontStyle() const { return fontStyle_; }
    void SetFontStyle(const TFontStyles& value) { fontStyle_ = value; }
    TColor Color() const { return color_; }
    void SetColor(TColor value) { color_ = value; }
    const std::string& Glyph() const { return glyph_; }
    void SetGlyph(const std::string& value) { glyph_ = value; }
    const TNotifyEvent& OnExit() const { return onExit_; }
    void SetOnExit(TNotifyEvent value) { onExit_ = std::move(value); }
    const TKeyPressEvent& OnKeyPress() const { return onKeyPress_; }
    void SetOnKeyPress(TKeyPressEvent value) { onKeyPress_ = std::move(value); }

    int LoadedCount() const { return loadedCount_; }
    void Loaded() override;

private:
    TTestPanel* parent_ = nullptr;
    int left_ = 0;
    short tabOrder_ = 0;
    bool enabled_ = true;
    std::string caption_;
    TAlign align_ = TAlign::alNone;
    TFontStyles fontStyle_;
    TColor color_ = clBtnFace;
    std::string glyph_;
    TNotifyEvent onExit_;
    TKeyPressEvent onKeyPress_;
    int loadedCount_ = 0;
};

class TTestPanel : public TTestControl {
public:
    DECLARE_CLASS_NAME(TTestPanel)
    using TTestControl::TTestControl;
    ~TTestPanel() override;
    const std::vector<TTestControl*>& Controls() const { return controls_; }
    void InsertControl(TTestControl* c) { controls_.push_back(c); }
    void RemoveControl(TTestControl* c) { std::erase(controls_, c); }

private:
    std::vector<TTestControl*> controls_;
};

class TTestEdit : public TTestControl {
public:
    DECLARE_CLASS_NAME(TTestEdit)
    using TTestControl::TTestControl;
    const std::string& EditMask() const { return editMask_; }
    void SetEditMask(const std::string& value) { editMask_ = value; }

private:
    std::string editMask_;
};

// A component whose Loaded fails, to see where the reader reports it.
class TTestFragile : public TComponent {
public:
    DECLARE_CLASS_NAME(TTestFragile)
    using TComponent::TComponent;
    void Loaded() override;
};

class TTestSource : public TComponent {
public:
    DECLARE_CLASS_NAME(TTestSource)
    using TComponent::TComponent;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    void Loaded() override;

private:
    bool enabled_ = true;
};

class TTestMessages : public TComponent {
public:
    DECLARE_CLASS_NAME(TTestMessages)
    using TComponent::TComponent;
    const std::vector<std::string>& Lines() const { return lines_; }
    void SetLines(const std::vector<std::string>& value) { lines_ = value; }

private:
    std::vector<std::string> lines_;
};

enum class TTestGridOption { dgEditing, dgTitles, dgAlwaysShowSelection };
using TTestGridOptions = std::set<TTestGridOption>;

class TTestColumn : public TObject {
public:
    std::string ClassName() const override { return "TTestColumn"; }
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& value) { fieldName_ = value; }
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value; }
    TTestSource* Source() const { return source_; }
    void SetSource(TTestSource* value) { source_ = value; }

private:
    std::string fieldName_;
    int width_ = 64;
    TTestSource* source_ = nullptr;
};

class TTestGrid : public TTestControl {
public:
    DECLARE_CLASS_NAME(TTestGrid)
    using TTestControl::TTestControl;
    TTestSource* DataSource() const { return dataSource_; }
    void SetDataSource(TTestSource* value) { dataSource_ = value; }
    const TTestGridOptions& Options() const { return options_; }
    void SetOptions(const TTestGridOptions& value) { options_ = value; }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TTestColumn& Column(int i) { return *columns_.at(static_cast<size_t>(i)); }
    void ClearColumns() { columns_.clear(); }
    TTestColumn* AddColumn()
    {
        columns_.push_back(std::make_unique<TTestColumn>());
        return columns_.back().get();
    }

private:
    TTestSource* dataSource_ = nullptr;
    TTestGridOptions options_;
    std::vector<std::unique_ptr<TTestColumn>> columns_;
};

class TTestForm : public TTestPanel {
public:
    DECLARE_CLASS_NAME(TTestForm)
    explicit TTestForm(TComponent* AOwner = nullptr) : TTestPanel(AOwner) {}
    ~TTestForm() override { DestroyComponents(); }

    static const HandlerTable& Handlers();

    TTestControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TTestControl* value) { activeControl_ = value; }
    const TNotifyEvent& OnCreate() const { return onCreate_; }
    void SetOnCreate(TNotifyEvent value) { onCreate_ = std::move(value); }
    const TCloseEvent& OnClose() const { return onClose_; }
    void SetOnClose(TCloseEvent value) { onClose_ = std::move(value); }

    // Handlers; each appends "Class.Handler(sender name)" to Calls.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void EditExit(TObject* Sender);
    void EditKeyPress(TObject* Sender, char& Key);

    std::vector<std::string> Calls;

private:
    TTestControl* activeControl_ = nullptr;
    TNotifyEvent onCreate_;
    TCloseEvent onClose_;
};

class TTestDerivedForm : public TTestForm {
public:
    DECLARE_CLASS_NAME(TTestDerivedForm)
    using TTestForm::TTestForm;

    static const HandlerTable& Handlers();

    // Takes the base's place for the base resource's bindings, and calls it.
    void EditExit(TObject* Sender);
    void ButtonClick(TObject* Sender);
};

// A form class that is not registered with the class registry.
class TTestUnregisteredForm : public TTestForm {
public:
    DECLARE_CLASS_NAME(TTestUnregisteredForm)
    using TTestForm::TTestForm;
};
