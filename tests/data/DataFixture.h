#pragma once
// Shared pieces of the data tests: the assigned-services data set as the
// screen declares it, packets for it, and a recorder of everything a data
// source and its controls are told.
#include "platform/core/Cp1252.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TField.h"
#include "platform/data/TStringField.h"
#include "tests/net/ContractRows.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace datatest {

using contractrows::AssignedIndex;
using contractrows::AssignedRow;
using contractrows::Without;

// How many fields the assigned services have, as a data set counts them.
inline int AssignedFieldCount()
{
    return static_cast<int>(contractrows::Assigned().fields.size());
}

inline PacketField TextField(const std::string& name, int size)
{
    return PacketField{name, TFieldType::ftString, size, false};
}

inline std::vector<FieldValue> Row(std::initializer_list<const char*> values)
{
    std::vector<FieldValue> row;
    for (const char* v : values) {
        if (v == nullptr) {
            row.emplace_back(std::nullopt);
        } else {
            row.emplace_back(v);
        }
    }
    return row;
}

// A packet of the assigned services, with the fields the contract declares.
inline DataPacket ServClie(const std::vector<std::vector<FieldValue>>& rows)
{
    DataPacket p;
    p.fields = contractrows::Assigned().PacketFields();
    for (const auto& r : rows) {
        p.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, r, {}});
    }
    return p;
}

inline DataPacket ThreeServices()
{
    return ServClie({AssignedRow("0001", "00010", "C1", "Lavagem"), AssignedRow("0001", "00020", "C1", "Pintura"),
                     AssignedRow("0001", "00030", "C1", "Polimento")});
}

// An owner holding cdsServClie with a persistent field for each declared
// field and the data source dtsPadrao, as the screen's form creates them.
struct ServClieForm {
    TComponent form{nullptr};
    TClientDataSet* cds = nullptr;
    TDataSource* dts = nullptr;

    ServClieForm()
    {
        cds = new TClientDataSet(&form);
        cds->SetName("cdsServClie");
        cds->SetProviderName("dspServClie");
        // The titles the screen's form gives; a field without one is titled
        // by its name.
        const std::map<std::string, const char*> labels = {
            {"CDFILIAL", "Filial"}, {"CDSERVFILI", "Código"}, {"CDCLIENTE", "Cliente"}, {"NMSERVICO", "Nome"}};
        for (const auto& field : contractrows::Assigned().fields) {
            const auto label = labels.find(field.name);
            Add(field.name, field.size, label != labels.end() ? Cp1252::FromUtf8(label->second) : field.name);
        }
        dts = new TDataSource(&form);
        dts->SetName("dtsPadrao");
        dts->SetDataSet(cds);
    }

    // The same, loaded with data.
    explicit ServClieForm(const DataPacket& data) : ServClieForm() { cds->SetData(data); }

    TStringField* Add(const std::string& name, int size, const std::string& label)
    {
        auto* f = new TStringField(&form);
        f->SetName("cdsServClie" + name);
        f->SetFieldName(name);
        f->SetSize(size);
        f->SetDisplayLabel(label);
        f->SetDataSet(cds);
        return f;
    }

    std::string Code() const { return cds->FieldByName("CDSERVFILI")->AsString(); }

    // Inserts and posts one assignment.
    void InsertService(const std::string& code, const std::string& name)
    {
        cds->Insert();
        cds->FieldByName("CDFILIAL")->SetAsString("0001");
        cds->FieldByName("CDCLIENTE")->SetAsString("C1");
        cds->FieldByName("CDSERVFILI")->SetAsString(code);
        cds->FieldByName("NMSERVICO")->SetAsString(name);
        cds->Post();
    }

    // Edits field of the current row and posts it.
    void EditPost(const std::string& field, const std::string& value)
    {
        cds->Edit();
        cds->FieldByName(field)->SetAsString(value);
        cds->Post();
    }

    // Makes the row with this code current.
    void GoTo(const std::string& code)
    {
        for (cds->First(); !cds->Eof(); cds->Next()) {
            if (Code() == code) {
                return;
            }
        }
        throw std::runtime_error("no row " + code);
    }

    std::vector<std::string> Codes()
    {
        std::vector<std::string> codes;
        for (const auto& row : cds->Data().rows) {
            codes.push_back(row.values[AssignedIndex("CDSERVFILI")].value_or("(null)"));
        }
        return codes;
    }
};

inline const char* StateName(TDataSetState s)
{
    switch (s) {
    case TDataSetState::dsInactive: return "inactive";
    case TDataSetState::dsBrowse: return "browse";
    case TDataSetState::dsEdit: return "edit";
    case TDataSetState::dsInsert: return "insert";
    }
    return "?";
}

inline const char* EventName(TDataEvent e)
{
    switch (e) {
    case TDataEvent::deRecordChange: return "record";
    case TDataEvent::deDataSetChange: return "rows";
    case TDataEvent::deRowInserted: return "inserted";
    case TDataEvent::deRowDeleted: return "deleted";
    case TDataEvent::deDataSetScroll: return "scroll";
    case TDataEvent::deUpdateState: return "state";
    case TDataEvent::deLayoutChange: return "layout";
    case TDataEvent::deRefresh: return "refresh";
    }
    return "?";
}

// Records, in order, the data source's handlers ("state:edit",
// "data", "data:NMSERVICO") and the data set's after-events ("afterPost").
// Link notifications go to a separate list ("link:rows").
struct Recorder {
    std::vector<std::string> events;
    std::vector<std::string> links;
    Connection link;

    void Attach(TDataSource* dts, TDataSet* ds)
    {
        dts->SetOnStateChange([this, dts](TObject* Sender) {
            EXPECT_EQ(Sender, dts);
            events.push_back(std::string("state:") + StateName(dts->State()));
        });
        dts->SetOnDataChange([this](TObject*, TField* Field) {
            events.push_back(Field != nullptr ? "data:" + Field->FieldName() : std::string("data"));
        });
        link = dts->DataLinks.Connect([this](TDataEvent e, TField*, int row) {
            links.push_back(std::string("link:") + EventName(e) + (row >= 0 ? ":" + std::to_string(row) : ""));
        });
        ds->SetOnNewRecord([this](TDataSet*) { events.push_back("newRecord"); });
        ds->SetAfterPost([this](TDataSet*) { events.push_back("afterPost"); });
        ds->SetAfterDelete([this](TDataSet*) { events.push_back("afterDelete"); });
        ds->SetAfterCancel([this](TDataSet*) { events.push_back("afterCancel"); });
        ds->SetAfterScroll([this](TDataSet*) { events.push_back("afterScroll"); });
    }

    std::vector<std::string> Take()
    {
        auto out = std::move(events);
        events.clear();
        return out;
    }
    std::vector<std::string> TakeLinks()
    {
        auto out = std::move(links);
        links.clear();
        return out;
    }
};

} // namespace datatest
