#include "platform/data/TDataSet.h"

#include "platform/core/Exception.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>
#include <strings.h>

namespace {

const ClassRegistration<TDataSet> dataSetClass("TDataSet", "TComponent", nullptr, [](ClassBuilder<TDataSet>& c) {
    c.RegisterEvent<TDataSetNotifyEvent>("OnNewRecord", &TDataSet::SetOnNewRecord);
    c.RegisterEvent<TDataSetNotifyEvent>("BeforePost", &TDataSet::SetBeforePost);
    c.RegisterEvent<TDataSetNotifyEvent>("AfterPost", &TDataSet::SetAfterPost);
    c.RegisterEvent<TDataSetNotifyEvent>("BeforeDelete", &TDataSet::SetBeforeDelete);
    c.RegisterEvent<TDataSetNotifyEvent>("AfterDelete", &TDataSet::SetAfterDelete);
    c.RegisterEvent<TDataSetNotifyEvent>("AfterCancel", &TDataSet::SetAfterCancel);
    c.RegisterEvent<TDataSetNotifyEvent>("AfterScroll", &TDataSet::SetAfterScroll);
    // A form writes its persistent fields nested in their data set.
    c.SetAdoptChild([](TDataSet& dataSet, TComponent& child) {
        auto* field = dynamic_cast<TField*>(&child);
        if (field == nullptr) {
            return false;
        }
        field->SetDataSet(&dataSet);
        return true;
    });
});

} // namespace

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet()
{
    // Detach without telling anyone: the owner is tearing things down and no
    // handler may run into a half-destroyed data set.
    for (TDataSource* source : dataSources_) {
        source->DataSetGone();
    }
    dataSources_.clear();
    for (TField* field : fields_) {
        field->dataSet_ = nullptr;
    }
    fields_.clear();
}

std::string TDataSet::ErrorPrefix() const
{
    return Name().empty() ? std::string() : Name() + ": ";
}

void TDataSet::CheckActive() const
{
    if (!Active()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot perform this operation on a closed dataset");
    }
}

void TDataSet::Fire(const TDataSetNotifyEvent& event, TDataSet* self)
{
    if (event) {
        // A handler may rebind its own event; run the one that was bound.
        TDataSetNotifyEvent handler = event;
        handler(self);
    }
}

void TDataSet::DataEvent(TDataEvent event, TField* field, int row)
{
    // A handler may unbind a data source (or destroy it) while we go through
    // the list; only those still bound are told.
    std::vector<TDataSource*> sources = dataSources_;
    for (TDataSource* source : sources) {
        if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end()) {
            source->DataSetEvent(event, field, row);
        }
    }
}

void TDataSet::SetState(TDataSetState value)
{
    if (state_ != value) {
        state_ = value;
        DataEvent(TDataEvent::deUpdateState);
    }
}

// ---- opening and closing

void TDataSet::SetActive(bool value)
{
    if (value) {
        Open();
    } else {
        Close();
    }
}

void TDataSet::Open()
{
    if (Active()) {
        return;
    }
    records_.clear();
    current_ = -1;
    try {
        InternalOpen();
    } catch (...) {
        records_.clear();
        current_ = -1;
        throw;
    }
    OpenLoaded();
}

void TDataSet::OpenLoaded()
{
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        DropEdit();
    }
    current_ = records_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = records_.empty();
    if (state_ == TDataSetState::dsInactive) {
        SetState(TDataSetState::dsBrowse);
    }
    DataEvent(TDataEvent::deDataSetChange);
    Fire(afterScroll_, this);
}

void TDataSet::Close()
{
    if (!Active()) {
        return;
    }
    buffer_.clear();
    records_.clear();
    current_ = -1;
    bof_ = true;
    eof_ = true;
    InternalClose();
    SetState(TDataSetState::dsInactive);
    DestroyDefaultFields();
}

// ---- fields

TField* TDataSet::FindField(std::string_view name) const
{
    for (TField* field : fields_) {
        const std::string& n = field->FieldName();
        if (n.size() == name.size() && strncasecmp(n.data(), name.data(), n.size()) == 0) {
            return field;
        }
    }
    return nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) const
{
    TField* field = FindField(name);
    if (field == nullptr) {
        throw EDatabaseError(ErrorPrefix() + "Field '" + std::string(name) + "' not found");
    }
    return field;
}

void TDataSet::AddField(TField* field)
{
    fields_.push_back(field);
    field->dataSet_ = this;
    DataEvent(TDataEvent::deLayoutChange);
}

void TDataSet::RemoveField(TField* field)
{
    auto it = std::find(fields_.begin(), fields_.end(), field);
    if (it == fields_.end()) {
        return;
    }
    const int index = static_cast<int>(it - fields_.begin());
    fields_.erase(it);
    field->dataSet_ = nullptr;
    // A field can go while its data set is open (its owner destroys it):
    // its column goes with it, so the rows stay as wide as the field list.
    if (Active()) {
        for (Record& record : records_) {
            record.values.Erase(static_cast<size_t>(index));
        }
        if (!buffer_.empty()) {
            buffer_.erase(buffer_.begin() + index);
        }
        FieldRemoved(index);
    }
    if (!Destroying()) {
        DataEvent(TDataEvent::deLayoutChange);
    }
}

void TDataSet::MoveField(TField* field, int index)
{
    auto it = std::find(fields_.begin(), fields_.end(), field);
    if (it == fields_.end()) {
        return;
    }
    if (Active()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot move a field of an open dataset");
    }
    fields_.erase(it);
    index = std::clamp(index, 0, static_cast<int>(fields_.size()));
    fields_.insert(fields_.begin() + index, field);
    DataEvent(TDataEvent::deLayoutChange);
}

void TDataSet::AddDefaultField(TField* field)
{
    field->SetDefaultField(true);
    AddField(field);
}

void TDataSet::DestroyDefaultFields()
{
    std::vector<TField*> defaults;
    for (TField* field : fields_) {
        if (field->IsDefaultField()) {
            defaults.push_back(field);
        }
    }
    for (TField* field : defaults) {
        delete field; // leaves the field list through RemoveField
    }
}

FieldValue TDataSet::GetFieldValue(int index) const
{
    if (index < 0 || index >= FieldCount()) {
        throw EDatabaseError(ErrorPrefix() + "Field index " + std::to_string(index) + " out of range");
    }
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        return buffer_[static_cast<size_t>(index)];
    }
    if (current_ < 0) {
        return std::nullopt;
    }
    return records_[static_cast<size_t>(current_)].values[static_cast<size_t>(index)];
}

void TDataSet::SetFieldValue(TField* field, FieldValue value)
{
    const int index = field->Index();
    if (index < 0) {
        throw EDatabaseError(field->Describe() + " has no dataset");
    }
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        throw EDatabaseError(ErrorPrefix() + "Dataset not in edit or insert mode");
    }
    field->Validate(value);
    buffer_[static_cast<size_t>(index)] = std::move(value);
    DataEvent(TDataEvent::deRecordChange, field);
}

// ---- rows kept by subclasses

std::vector<TDataSet::Record> TDataSet::MakeRecords(std::vector<std::vector<FieldValue>> rows)
{
    std::vector<Record> records;
    records.reserve(rows.size());
    for (auto& row : rows) {
        records.push_back(Record{nextId_++, RowValues(row)});
    }
    return records;
}

void TDataSet::SetRecords(std::vector<Record> records)
{
    for (Record& record : records) {
        if (record.id == 0) {
            record.id = nextId_++;
        }
    }
    records_ = std::move(records);
    if (current_ >= RecordCount()) {
        current_ = RecordCount() - 1;
    }
}

std::int64_t TDataSet::CurrentRecordId() const
{
    return current_ >= 0 ? records_[static_cast<size_t>(current_)].id : 0;
}

void TDataSet::Reposition(std::int64_t id, int fallbackIndex)
{
    current_ = -1;
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].id == id) {
            current_ = static_cast<int>(i);
            break;
        }
    }
    if (current_ < 0 && !records_.empty()) {
        current_ = std::clamp(fallbackIndex, 0, RecordCount() - 1);
    }
    bof_ = records_.empty();
    eof_ = records_.empty();
}

// ---- navigation

int TDataSet::RecNo() const
{
    if (!Active() || state_ == TDataSetState::dsInsert) {
        return -1;
    }
    return current_;
}

void TDataSet::DoScrolled(int oldIndex)
{
    if (oldIndex != current_) {
        DataEvent(TDataEvent::deDataSetScroll);
        Fire(afterScroll_, this);
    }
}

void TDataSet::CheckBrowseMode()
{
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        Post();
    }
}

void TDataSet::First()
{
    CheckActive();
    CheckBrowseMode();
    const int old = current_;
    current_ = records_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = records_.empty();
    DoScrolled(old);
}

void TDataSet::Last()
{
    CheckActive();
    CheckBrowseMode();
    const int old = current_;
    current_ = RecordCount() - 1;
    eof_ = true;
    bof_ = records_.empty();
    DoScrolled(old);
}

void TDataSet::Next()
{
    CheckActive();
    CheckBrowseMode();
    if (current_ + 1 < RecordCount()) {
        const int old = current_;
        ++current_;
        bof_ = false;
        eof_ = false;
        DoScrolled(old);
    } else {
        eof_ = true;
    }
}

void TDataSet::Prior()
{
    CheckActive();
    CheckBrowseMode();
    if (current_ > 0) {
        const int old = current_;
        --current_;
        bof_ = false;
        eof_ = false;
        DoScrolled(old);
    } else {
        bof_ = true;
    }
}

void TDataSet::SetRecNo(int value)
{
    CheckActive();
    CheckBrowseMode();
    if (value < 0 || value >= RecordCount()) {
        throw EDatabaseError(ErrorPrefix() + "Record number " + std::to_string(value) + " out of range");
    }
    const int old = current_;
    current_ = value;
    bof_ = false;
    eof_ = false;
    DoScrolled(old);
}

// ---- editing

void TDataSet::Insert()
{
    BeginInsert(false);
}

void TDataSet::Append()
{
    BeginInsert(true);
}

void TDataSet::BeginInsert(bool append)
{
    CheckActive();
    CheckBrowseMode();
    if (!CanModify()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot modify a read-only dataset");
    }
    insertAt_ = (append || current_ < 0) ? RecordCount() : current_;
    buffer_.assign(fields_.size(), std::nullopt);
    const std::uint64_t serial = ++editSerial_;
    SetState(TDataSetState::dsInsert);
    DataEvent(TDataEvent::deDataSetChange);
    if (!onNewRecord_) {
        return;
    }
    try {
        Fire(onNewRecord_, this);
    } catch (...) {
        // A failed set-up leaves no half-made row behind.
        if (editSerial_ == serial && state_ == TDataSetState::dsInsert) {
            DropEdit();
            DataEvent(TDataEvent::deDataSetChange);
        }
        throw;
    }
    // The handler may have cancelled this insert (or even begun another one);
    // either way there is nothing left for this call to do.
}

void TDataSet::Edit()
{
    CheckActive();
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        return;
    }
    if (records_.empty()) {
        BeginInsert(false);
        return;
    }
    if (!CanModify()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot modify a read-only dataset");
    }
    buffer_ = records_[static_cast<size_t>(current_)].values.Unpack();
    ++editSerial_;
    SetState(TDataSetState::dsEdit);
    DataEvent(TDataEvent::deRecordChange);
}

void TDataSet::Post()
{
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        return;
    }
    Fire(beforePost_, this);
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        return; // the handler cancelled
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->Required() && !buffer_[i].has_value()) {
            throw EDatabaseError(ErrorPrefix() + fields_[i]->Describe() + " must have a value");
        }
    }
    if (state_ == TDataSetState::dsInsert) {
        std::vector<FieldValue> values = std::move(buffer_);
        const int at = InsertPosition(std::clamp(insertAt_, 0, RecordCount()), values);
        buffer_.clear();
        records_.insert(records_.begin() + at, Record{nextId_++, RowValues(values)});
        current_ = at;
        RecordInserted(records_[static_cast<size_t>(at)], std::move(values));
        // Before the state changes, so that a control mirroring the rows
        // one by one is in step when it hears of the state.
        DataEvent(TDataEvent::deRowInserted, nullptr, at);
    } else {
        Record& record = records_[static_cast<size_t>(current_)];
        Record before = record;
        record.values = RowValues(buffer_);
        buffer_.clear();
        RecordModified(before, record);
    }
    bof_ = false;
    eof_ = false;
    SetState(TDataSetState::dsBrowse);
    DataEvent(TDataEvent::deDataSetChange);
    Fire(afterPost_, this);
}

void TDataSet::DropEdit()
{
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        buffer_.clear();
        SetState(TDataSetState::dsBrowse);
    }
}

void TDataSet::Cancel()
{
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        return;
    }
    DropEdit();
    DataEvent(TDataEvent::deDataSetChange);
    Fire(afterCancel_, this);
}

void TDataSet::Delete()
{
    CheckActive();
    if (state_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (records_.empty()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot perform this operation on an empty dataset");
    }
    if (!CanModify()) {
        throw EDatabaseError(ErrorPrefix() + "Cannot modify a read-only dataset");
    }
    Fire(beforeDelete_, this);
    DropEdit();
    if (current_ < 0 || records_.empty()) {
        return; // the handler emptied the data set
    }
    const int deleted = current_;
    Record gone = std::move(records_[static_cast<size_t>(current_)]);
    records_.erase(records_.begin() + current_);
    if (current_ >= RecordCount()) {
        current_ = RecordCount() - 1;
    }
    bof_ = records_.empty();
    eof_ = records_.empty();
    RecordDeleted(gone);
    DataEvent(TDataEvent::deRowDeleted, nullptr, deleted);
    DataEvent(TDataEvent::deDataSetChange);
    Fire(afterDelete_, this);
    Fire(afterScroll_, this);
}

// ---- bound controls

void TDataSet::DisableControls()
{
    ++disableCount_;
}

void TDataSet::EnableControls()
{
    if (disableCount_ == 0) {
        return;
    }
    if (--disableCount_ == 0) {
        std::vector<TDataSource*> sources = dataSources_;
        for (TDataSource* source : sources) {
            if (source->Enabled() &&
                std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end()) {
                source->TellLinks(TDataEvent::deRefresh, nullptr);
            }
        }
    }
}

void TDataSet::AddDataSource(TDataSource* source)
{
    if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end()) {
        dataSources_.push_back(source);
    }
}

void TDataSet::RemoveDataSource(TDataSource* source)
{
    std::erase(dataSources_, source);
}

namespace {

// Bytes of a value's length in 7-bit groups.
size_t LengthBytes(size_t n)
{
    size_t bytes = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++bytes;
    }
    return bytes;
}

// Writes a value at out and returns the end of what it wrote: a null marker,
// then for a text its length in 7-bit groups, low first (one byte for a short
// text), and its bytes.
char* PackValue(char* out, const FieldValue& v)
{
    if (!v) {
        *out++ = '\0';
        return out;
    }
    *out++ = '\1';
    size_t n = v->size();
    do {
        unsigned char b = n & 0x7F;
        n >>= 7;
        *out++ = static_cast<char>(n != 0 ? (b | 0x80) : b);
    } while (n != 0);
    return std::copy(v->begin(), v->end(), out);
}

size_t PackedSize(const FieldValue& v)
{
    return v ? 1 + LengthBytes(v->size()) + v->size() : 1;
}

// The count values value(0).. packed in one block made at its exact size
// before it is filled: one allocation a row, and no spare room kept.
template <class Value>
std::string Packed(size_t count, Value value)
{
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        total += PackedSize(value(i));
    }
    std::string bytes(total, '\0');
    char* out = bytes.data();
    for (size_t i = 0; i < count; ++i) {
        out = PackValue(out, value(i));
    }
    return bytes;
}

} // namespace

TDataSet::RowValues::RowValues(const std::vector<FieldValue>& values)
    : bytes_(Packed(values.size(), [&values](size_t i) -> const FieldValue& { return values[i]; })),
      count_(static_cast<std::uint32_t>(values.size()))
{}

TDataSet::RowValues::RowValues(const std::vector<FieldValue>& values, const std::vector<int>& columns)
    : bytes_(Packed(columns.size(),
                    [&](size_t i) -> const FieldValue& { return values[static_cast<size_t>(columns[i])]; })),
      count_(static_cast<std::uint32_t>(columns.size()))
{}

namespace {

// Reads the value at pos and moves pos past it.
FieldValue NextValue(const std::string& bytes, size_t& pos, bool keep)
{
    if (bytes[pos++] == '\0') {
        return std::nullopt;
    }
    size_t n = 0;
    int shift = 0;
    unsigned char b = 0;
    do {
        b = static_cast<unsigned char>(bytes[pos++]);
        n |= static_cast<size_t>(b & 0x7F) << shift;
        shift += 7;
    } while (b & 0x80);
    const size_t start = pos;
    pos += n;
    return keep ? FieldValue(bytes.substr(start, n)) : FieldValue(std::string());
}

} // namespace

FieldValue TDataSet::RowValues::operator[](size_t index) const
{
    if (index >= count_) {
        return std::nullopt;
    }
    size_t pos = 0;
    for (size_t i = 0; i < index; ++i) {
        NextValue(bytes_, pos, false);
    }
    return NextValue(bytes_, pos, true);
}

std::vector<FieldValue> TDataSet::RowValues::Unpack() const
{
    std::vector<FieldValue> values;
    values.reserve(count_);
    size_t pos = 0;
    for (size_t i = 0; i < count_; ++i) {
        values.push_back(NextValue(bytes_, pos, true));
    }
    return values;
}

void TDataSet::RowValues::Erase(size_t index)
{
    if (index >= count_) {
        return;
    }
    std::vector<FieldValue> values = Unpack();
    values.erase(values.begin() + static_cast<long>(index));
    *this = RowValues(values);
}

FieldValue TDataSet::RowValue(int row, int field) const
{
    if (row < 0 || row >= static_cast<int>(records_.size())) {
        return std::nullopt;
    }
    const auto& values = records_[static_cast<size_t>(row)].values;
    if (field < 0 || field >= static_cast<int>(values.size())) {
        return std::nullopt;
    }
    return values[static_cast<size_t>(field)];
}
