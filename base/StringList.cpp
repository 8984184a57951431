#include "base/StringList.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"

namespace tabellix {

namespace {

void CheckIndex(int index, int count) {
    if (index < 0 || index >= count)
        throw EArgumentException(Format("List index out of bounds (%d)", {index}));
}

} // namespace

void TStringList::Changing() {
    if (FUpdateCount == 0 && OnChanging)
        OnChanging();
}

void TStringList::Changed() {
    FModified = true;
    if (FUpdateCount == 0 && OnChange)
        OnChange();
}

void TStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index, Count());
    return FItems[index];
}

void TStringList::SetStrings(int index, std::string value) {
    CheckIndex(index, Count());
    Changing();
    FItems[index] = std::move(value);
    Changed();
}

int TStringList::Add(std::string value) {
    Insert(Count(), std::move(value));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string value) {
    if (index < 0 || index > Count())
        CheckIndex(index, Count());
    Changing();
    FItems.insert(FItems.begin() + index, std::move(value));
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    Changing();
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty())
        return;
    Changing();
    FItems.clear();
    Changed();
}

void TStringList::Assign(const TStringList& other) {
    Changing();
    FItems = other.FItems;
    Changed();
}

int TStringList::IndexOf(std::string_view value) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(FItems[i], value))
            return i;
    return -1;
}

std::string TStringList::Names(int index) const {
    const std::string& s = Strings(index);
    size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& s = Strings(index);
    size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        size_t eq = FItems[i].find('=');
        if (eq != std::string::npos && SameText(std::string_view(FItems[i]).substr(0, eq), name))
            return i;
    }
    return -1;
}

std::string TStringList::Values(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    std::string entry = std::string(name) + "=" + std::string(value);
    if (value.empty()) {
        if (i >= 0)
            Delete(i);
    } else if (i < 0) {
        Add(std::move(entry));
    } else {
        SetStrings(i, std::move(entry));
    }
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& s : FItems)
        out += s + "\n";
    return out;
}

void TStringList::SetText(std::string_view text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        items.emplace_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r')
            ++start;
        if (start < text.size() && text[start] == '\n')
            ++start;
    }
    Changing();
    FItems = std::move(items);
    Changed();
}

} // namespace tabellix
