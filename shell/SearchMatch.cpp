#include "shell/SearchMatch.h"

#include "platform/controls/TCustomForm.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "platform/forms/HandlerTable.h"
#include "platform/model/Events.h"

#include <vector>

namespace {

// The indexes of the fields a search looks in: the visible ones.
std::vector<int> VisibleFields(const TDataSet* DataSet)
{
    std::vector<int> visible;
    for (int i = 0; i < DataSet->FieldCount(); ++i) {
        if (DataSet->Fields()[static_cast<size_t>(i)]->Visible()) {
            visible.push_back(i);
        }
    }
    return visible;
}

// The digits of a number written with or without the punctuation of its mask
// ("11.222.333/0001-81", "529.982.247-25", "11222333000181"); empty when text
// holds anything else, or no digit.
std::string NumberDigits(const std::string& text)
{
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c != '.' && c != '/' && c != '-' && c != ' ') {
            return {};
        }
    }
    return digits;
}

// What the operator typed, folded once for every row.
struct Wanted {
    explicit Wanted(const std::string& text) : folded(SearchMatch::Fold(text)), digits(NumberDigits(text)) {}
    std::string folded;
    std::string digits;
};

// Where wanted lies in value: 0 at its start, 1 further in, -1 nowhere. A
// number matches another however either is punctuated.
int MatchAt(const std::string& value, const Wanted& wanted)
{
    auto at = SearchMatch::Fold(value).find(wanted.folded);
    if (at == std::string::npos && !wanted.digits.empty()) {
        at = NumberDigits(value).find(wanted.digits);
    }
    if (at == std::string::npos) {
        return -1;
    }
    return at == 0 ? 0 : 1;
}

} // namespace

std::string SearchMatch::Fold(const std::string& text)
{
    std::string up = Cp1252::UpperCase(text);
    for (char& c : up) {
        switch (static_cast<unsigned char>(c)) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
        case 0xC3:
        case 0xC4:
        case 0xC5: c = 'A'; break;
        case 0xC7: c = 'C'; break;
        case 0xC8:
        case 0xC9:
        case 0xCA:
        case 0xCB: c = 'E'; break;
        case 0xCC:
        case 0xCD:
        case 0xCE:
        case 0xCF: c = 'I'; break;
        case 0xD1: c = 'N'; break;
        case 0xD2:
        case 0xD3:
        case 0xD4:
        case 0xD5:
        case 0xD6: c = 'O'; break;
        case 0xD9:
        case 0xDA:
        case 0xDB:
        case 0xDC: c = 'U'; break;
        case 0xDD:
        case 0x9F: c = 'Y'; break;
        case 0x8A: c = 'S'; break;
        case 0x8E: c = 'Z'; break;
        default: break;
        }
    }
    return up;
}

bool SearchMatch::Contains(const std::string& value, const std::string& wanted)
{
    return MatchAt(value, Wanted(wanted)) >= 0;
}

std::vector<int> SearchMatch::MatchingRows(const TDataSet* DataSet, const std::string& text)
{
    std::vector<int> rows;
    if (DataSet == nullptr || !DataSet->Active()) {
        return rows;
    }
    Wanted wanted(text);
    const std::vector<int> visible = VisibleFields(DataSet);
    for (int r = 0; r < DataSet->RecordCount(); ++r) {
        for (int f : visible) {
            if (MatchAt(DataSet->RowValue(r, f).value_or(""), wanted) >= 0) {
                rows.push_back(r);
                break;
            }
        }
    }
    return rows;
}

int SearchMatch::FirstMatch(TDataSet* DataSet, const std::string& text)
{
    if (DataSet == nullptr || !DataSet->Active()) {
        return -1;
    }
    Wanted wanted(text);
    const std::vector<int> visible = VisibleFields(DataSet);
    int contains = -1;
    for (int r = 0; r < DataSet->RecordCount(); ++r) {
        for (int f : visible) {
            int at = MatchAt(DataSet->RowValue(r, f).value_or(""), wanted);
            if (at == 0) {
                return r;
            }
            if (contains < 0 && at > 0) {
                contains = r;
            }
        }
    }
    return contains;
}

void SearchMatch::MoveTo(TDataSet* DataSet, int row)
{
    if (DataSet == nullptr || row < 0 || row >= DataSet->RecordCount()) {
        return;
    }
    if (DataSet->RecNo() != row) {
        DataSet->SetRecNo(row);
    }
    auto* form = dynamic_cast<TCustomForm*>(DataSet->Owner());
    if (form == nullptr) {
        return;
    }
    const HandlerTable::Handler* handler = form->GetHandlerTable().Find("qryServiAfterScroll");
    if (handler == nullptr || handler->eventType != typeid(TDataSetNotifyEvent)) {
        return;
    }
    auto event = std::any_cast<TDataSetNotifyEvent>(handler->bind(form));
    event(DataSet);
}
