#include "platform/data/TClientDataSet.h"

#include "platform/core/Exception.h"
#include "platform/data/TField.h"
#include "platform/data/TStringField.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace {

const ClassRegistration<TClientDataSet>
    clientDataSetClass("TClientDataSet", "TDataSet", [](ClassBuilder<TClientDataSet>& c) {
        c.RegisterProperty("ProviderName", &TClientDataSet::ProviderName, &TClientDataSet::SetProviderName);
        c.RegisterProperty("IndexFieldNames", &TClientDataSet::IndexFieldNames, &TClientDataSet::SetIndexFieldNames);
    });

// A packet to load holds plain rows, each with a value for every field.
void CheckPlainRows(const DataPacket& packet, const std::string& prefix)
{
    for (size_t r = 0; r < packet.rows.size(); ++r) {
        const PacketRow& row = packet.rows[r];
        if (row.status != TUpdateStatus::usUnmodified) {
            throw EDatabaseError(prefix + "row " + std::to_string(r + 1) + " is a change entry, not a plain row");
        }
        if (row.values.size() != packet.fields.size()) {
            throw EDatabaseError(prefix + "row " + std::to_string(r + 1) + " has " + std::to_string(row.values.size()) +
                                 " values for " + std::to_string(packet.fields.size()) + " fields");
        }
    }
}

// A persistent field takes a packet field of its type, no wider than itself.
void CheckFieldFits(const TField& field, const PacketField& pf, const std::string& prefix)
{
    if (pf.type != field.DataType()) {
        throw EDatabaseError(prefix + "its field '" + field.FieldName() + "' is of another type");
    }
    if (field.DataType() == TFieldType::ftString && field.Size() > 0 && (pf.size <= 0 || pf.size > field.Size())) {
        throw EDatabaseError(
            prefix + "its field '" + field.FieldName() + "' is " +
            (pf.size <= 0 ? std::string("of unlimited size") : std::to_string(pf.size) + " characters wide") +
            ", wider than the " + std::to_string(field.Size()) + " of the data set");
    }
}

} // namespace

// Each row is packed straight from the packet, without a copy of its values
// in between: a load of many rows costs one allocation a row.
std::vector<TDataSet::Record> TClientDataSet::ValidatedRecords(const DataPacket& packet,
                                                               const std::vector<TField*>& targets,
                                                               const std::vector<int>& columns,
                                                               const std::string& prefix)
{
    std::vector<Record> records;
    records.reserve(packet.rows.size());
    for (size_t r = 0; r < packet.rows.size(); ++r) {
        const std::vector<FieldValue>& values = packet.rows[r].values;
        for (size_t i = 0; i < targets.size(); ++i) {
            try {
                targets[i]->Validate(values[static_cast<size_t>(columns[i])]);
            } catch (const EDatabaseError& e) {
                throw EDatabaseError(prefix + "row " + std::to_string(r + 1) + ": " + e.Message());
            }
        }
        records.push_back(Record{0, RowValues(values, columns)});
    }
    return records;
}

TClientDataSet::TClientDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

bool TClientDataSet::HasPersistentFields() const
{
    return std::any_of(Fields().begin(), Fields().end(), [](TField* f) { return !f->IsDefaultField(); });
}

std::vector<PacketField> TClientDataSet::PacketFields() const
{
    std::vector<PacketField> fields;
    fields.reserve(Fields().size());
    for (TField* field : Fields()) {
        fields.push_back(field->ToPacketField());
    }
    return fields;
}

void TClientDataSet::InternalOpen()
{
    // Opening without a packet gives an empty data set over the persistent
    // fields; without fields there is nothing to open.
    if (FieldCount() == 0) {
        throw EDatabaseError(ErrorPrefix() + "Missing data provider or data packet");
    }
    log_.Clear();
    baseIds_.clear();
}

void TClientDataSet::InternalClose()
{
    log_.Clear();
    baseIds_.clear();
}

void TClientDataSet::KeepBase()
{
    baseIds_.clear();
    baseIds_.reserve(Records().size());
    for (const Record& record : Records()) {
        baseIds_.push_back(record.id);
    }
}

void TClientDataSet::SetData(const Variant& value)
{
    if (value.GetKind() != Variant::Kind::Packet || !value.AsPacket()) {
        throw EDatabaseError(ErrorPrefix() + "The value to load is not a data packet");
    }
    SetData(*value.AsPacket());
}

void TClientDataSet::SetData(const DataPacket& packet)
{
    const std::string prefix = ErrorPrefix() + "Cannot load the data packet: ";

    // Everything is checked and built aside first; the data set changes only
    // once nothing can fail any more.
    CheckPlainRows(packet, prefix);
    std::vector<std::unique_ptr<TField>> newFields;
    std::vector<TField*> targets; // the fields the rows will have, in order
    std::vector<int> columns;     // packet column of each target field
    if (HasPersistentFields()) {
        MatchPersistentFields(packet, prefix, targets, columns);
    } else {
        newFields = MakePacketFields(packet, prefix);
        for (size_t c = 0; c < newFields.size(); ++c) {
            targets.push_back(newFields[c].get());
            columns.push_back(static_cast<int>(c));
        }
    }
    std::vector<Record> records = ValidatedRecords(packet, targets, columns, prefix);

    // From here on only notifications can raise.
    DropEdit();
    log_.Clear();
    if (!HasPersistentFields()) {
        SetRecords({});
        DestroyDefaultFields();
        for (auto& field : newFields) {
            AddDefaultField(field.release());
        }
    }
    SetRecords(std::move(records));
    KeepBase();
    OpenLoaded();
}

void TClientDataSet::MatchPersistentFields(const DataPacket& packet, const std::string& prefix,
                                           std::vector<TField*>& targets, std::vector<int>& columns) const
{
    for (TField* field : Fields()) {
        const int column = packet.FieldIndex(field->FieldName());
        if (column < 0) {
            throw EDatabaseError(prefix + "it has no field '" + field->FieldName() + "'");
        }
        CheckFieldFits(*field, packet.fields[static_cast<size_t>(column)], prefix);
        targets.push_back(field);
        columns.push_back(column);
    }
}

std::vector<std::unique_ptr<TField>> TClientDataSet::MakePacketFields(const DataPacket& packet,
                                                                      const std::string& prefix)
{
    std::vector<std::unique_ptr<TField>> fields;
    for (size_t c = 0; c < packet.fields.size(); ++c) {
        const PacketField& pf = packet.fields[c];
        if (pf.name.empty()) {
            throw EDatabaseError(prefix + "field " + std::to_string(c + 1) + " has no name");
        }
        if (packet.FieldIndex(pf.name) != static_cast<int>(c)) {
            throw EDatabaseError(prefix + "the field name '" + pf.name + "' appears twice");
        }
        if (pf.size < 0) {
            throw EDatabaseError(prefix + "its field '" + pf.name + "' has a negative size");
        }
        std::unique_ptr<TField> field;
        if (pf.type == TFieldType::ftString) {
            field = std::make_unique<TStringField>(this);
        } else {
            field = std::make_unique<TField>(this, pf.type);
        }
        field->SetFieldName(pf.name);
        field->SetSize(pf.type == TFieldType::ftString ? pf.size : 0);
        field->SetRequired(pf.required);
        fields.push_back(std::move(field));
    }
    return fields;
}

DataPacket TClientDataSet::Data() const
{
    DataPacket packet;
    packet.fields = PacketFields();
    packet.rows.reserve(Records().size());
    for (const Record& record : Records()) {
        packet.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, record.values.Unpack(), {}});
    }
    return packet;
}

Variant TClientDataSet::GetDelta() const
{
    return Variant(log_.Delta(PacketFields()));
}

void TClientDataSet::MergeChangeLog()
{
    log_.Clear();
    KeepBase();
}

void TClientDataSet::CancelUpdates()
{
    if (!Active()) {
        return;
    }
    DropEdit();
    if (log_.Empty()) {
        return;
    }
    const std::int64_t id = CurrentRecordId();
    const int index = RecNo();
    std::unordered_map<std::int64_t, const Record*> held;
    held.reserve(Records().size());
    for (const Record& record : Records()) {
        held.emplace(record.id, &record);
    }
    std::unordered_map<std::int64_t, const ChangeLog::ModifiedRow*> logged;
    for (const auto& entry : log_.Entries()) {
        logged.emplace(entry.rowId, &entry);
    }
    std::vector<Record> restored;
    restored.reserve(baseIds_.size());
    for (std::int64_t baseId : baseIds_) {
        auto entry = logged.find(baseId);
        if (entry != logged.end() && entry->second->op == TUpdateStatus::usModified) {
            restored.push_back(Record{baseId, RowValues(entry->second->original)});
        } else if (entry != logged.end() && entry->second->op == TUpdateStatus::usDeleted) {
            restored.push_back(Record{baseId, RowValues(entry->second->current)});
        } else if (auto row = held.find(baseId); row != held.end()) {
            restored.push_back(*row->second);
        }
    }
    log_.Clear();
    SetRecords(std::move(restored));
    Reposition(id, index);
    DataEvent(TDataEvent::deDataSetChange);
}

void TClientDataSet::MergeChange(int changeIndex)
{
    if (changeIndex < 0 || changeIndex >= log_.Count()) {
        throw EDatabaseError(ErrorPrefix() + "The change log has no entry " + std::to_string(changeIndex));
    }
    const ChangeLog::ModifiedRow& entry = log_.Entries()[static_cast<size_t>(changeIndex)];
    const std::int64_t id = entry.rowId;
    if (entry.op == TUpdateStatus::usInserted) {
        JoinBase(id);
    } else if (entry.op == TUpdateStatus::usDeleted) {
        std::erase(baseIds_, id);
    }
    // A modified row's values now are its base values: nothing to keep.
    log_.Remove(changeIndex);
    DataEvent(TDataEvent::deDataSetChange);
}

int TClientDataSet::InsertPosition(int requested, const std::vector<FieldValue>& values) const
{
    if (indexFieldNames_.empty()) {
        return requested;
    }
    std::vector<int> key;
    size_t start = 0;
    while (start <= indexFieldNames_.size()) {
        size_t end = indexFieldNames_.find(';', start);
        if (end == std::string::npos) {
            end = indexFieldNames_.size();
        }
        if (end > start) {
            key.push_back(FieldByName(indexFieldNames_.substr(start, end - start))->Index());
        }
        start = end + 1;
    }
    std::vector<std::string> wanted;
    for (int field : key) {
        wanted.push_back(values[static_cast<size_t>(field)].value_or(""));
    }
    // After every row whose key is not greater, so equal keys keep the order
    // in which they were posted.
    const auto& records = Records();
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        std::vector<std::string> held;
        for (int field : key) {
            held.push_back(RowValue(row, field).value_or(""));
        }
        if (held > wanted) {
            return row;
        }
    }
    return static_cast<int>(records.size());
}

void TClientDataSet::InsertStored(const std::vector<FieldValue>& values)
{
    CheckActive();
    const std::int64_t id = CurrentRecordId();
    const int index = RecNo();
    std::vector<Record> records = Records();
    const int at = InsertPosition(static_cast<int>(records.size()), values);
    records.insert(records.begin() + at, Record{0, RowValues(values)});
    SetRecords(std::move(records));
    JoinBase(Records()[static_cast<size_t>(at)].id);
    Reposition(id, index);
    DataEvent(TDataEvent::deDataSetChange);
}

bool TClientDataSet::DeleteStored(int row)
{
    CheckActive();
    if (row < 0 || row >= RecordCount() || RowUpdateStatus(row) != TUpdateStatus::usUnmodified) {
        return false;
    }
    const std::int64_t id = CurrentRecordId();
    const int index = RecNo();
    std::vector<Record> records = Records();
    const std::int64_t gone = records[static_cast<size_t>(row)].id;
    records.erase(records.begin() + row);
    std::erase(baseIds_, gone);
    SetRecords(std::move(records));
    Reposition(id, index > row ? index - 1 : index);
    DataEvent(TDataEvent::deDataSetChange);
    return true;
}

bool TClientDataSet::RowInDoubt(int row) const
{
    if (row < 0 || row >= static_cast<int>(Records().size()) || log_.Empty()) {
        return false;
    }
    const ChangeLog::ModifiedRow* entry = log_.Find(Records()[static_cast<size_t>(row)].id);
    return entry != nullptr && entry->inDoubt;
}

TUpdateStatus TClientDataSet::RowUpdateStatus(int row) const
{
    if (row < 0 || row >= static_cast<int>(Records().size()) || log_.Empty()) {
        return TUpdateStatus::usUnmodified;
    }
    const ChangeLog::ModifiedRow* entry = log_.Find(Records()[static_cast<size_t>(row)].id);
    return entry != nullptr ? entry->op : TUpdateStatus::usUnmodified;
}

void TClientDataSet::RevertChange(int changeIndex)
{
    if (changeIndex < 0 || changeIndex >= log_.Count()) {
        throw EDatabaseError(ErrorPrefix() + "The change log has no entry " + std::to_string(changeIndex));
    }
    DropEdit();
    const ChangeLog::ModifiedRow entry = log_.Entries()[static_cast<size_t>(changeIndex)];
    const std::int64_t id = CurrentRecordId();
    const int index = RecNo();
    std::vector<Record> records = Records();
    auto held = std::find_if(records.begin(), records.end(), [&](const Record& r) { return r.id == entry.rowId; });
    switch (entry.op) {
    case TUpdateStatus::usInserted:
        if (held != records.end()) {
            records.erase(held);
        }
        break;
    case TUpdateStatus::usModified:
        if (held != records.end()) {
            held->values = RowValues(entry.original);
        }
        break;
    case TUpdateStatus::usDeleted: {
        // Back after the nearest row before it in the base content that is
        // still held, or first.
        auto base = std::find(baseIds_.begin(), baseIds_.end(), entry.rowId);
        auto at = records.begin();
        for (auto it = base; it != baseIds_.begin();) {
            --it;
            auto found = std::find_if(records.begin(), records.end(), [&](const Record& r) { return r.id == *it; });
            if (found != records.end()) {
                at = found + 1;
                break;
            }
        }
        records.insert(at, Record{entry.rowId, RowValues(entry.current)});
        break;
    }
    case TUpdateStatus::usUnmodified: break;
    }
    log_.Remove(changeIndex);
    SetRecords(std::move(records));
    Reposition(id, index);
    DataEvent(TDataEvent::deDataSetChange);
}

void TClientDataSet::RecordInserted(const Record& record, std::vector<FieldValue> values)
{
    if (logChanges_) {
        log_.RowInserted(record.id, std::move(values));
        return;
    }
    JoinBase(record.id);
}

void TClientDataSet::JoinBase(std::int64_t rowId)
{
    // The row joins the base content after the nearest row before it that
    // the base content has; a row no longer held goes last.
    const auto& records = Records();
    auto self = std::find_if(records.begin(), records.end(), [&](const Record& r) { return r.id == rowId; });
    if (self == records.end()) {
        baseIds_.push_back(rowId);
        return;
    }
    auto at = baseIds_.begin();
    for (auto it = self; it != records.begin();) {
        --it;
        auto found = std::find(baseIds_.begin(), baseIds_.end(), it->id);
        if (found != baseIds_.end()) {
            at = found + 1;
            break;
        }
    }
    baseIds_.insert(at, rowId);
}

void TClientDataSet::RecordModified(const Record& before, const Record& after)
{
    // Unlogged, the row's values now are its base values: nothing to keep.
    if (logChanges_ || log_.Has(after.id)) {
        log_.RowModified(after.id, before.values.Unpack(), after.values.Unpack());
    }
}

void TClientDataSet::RecordDeleted(const Record& record)
{
    const ChangeLog::ModifiedRow* entry = log_.Find(record.id);
    if (entry != nullptr && entry->op == TUpdateStatus::usInserted && entry->inDoubt) {
        // The receiver may hold the row, so its deletion is logged as that
        // of a row of the base content.
        JoinBase(record.id);
    }
    if (logChanges_ || entry != nullptr) {
        log_.RowDeleted(record.id, record.values.Unpack());
        return;
    }
    std::erase(baseIds_, record.id);
}

void TClientDataSet::FieldRemoved(int index)
{
    // The base content's values are the rows' own or the log's.
    log_.DropColumn(index);
}
