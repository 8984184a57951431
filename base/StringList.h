// An ordered list of strings with name=value access, change notifications
// before and after each change, and a modified mark.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : FItems(items) {}

    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, std::string value);
    const std::vector<std::string>& Items() const { return FItems; }

    int Add(std::string value);
    void Insert(int index, std::string value);
    void Delete(int index);
    void Clear();
    void Assign(const TStringList& other);
    // Position of the first entry equal to value, ASCII letters folded; -1 if none.
    int IndexOf(std::string_view value) const;

    // Name=value access: names are compared ignoring ASCII letter case.
    int IndexOfName(std::string_view name) const;
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    std::string Values(std::string_view name) const;
    // Replaces the value of the first entry with that name, or adds one; an
    // empty value removes the entry.
    void SetValues(std::string_view name, std::string_view value);

    // The entries joined by line feeds, and the reverse.
    std::string Text() const;
    void SetText(std::string_view text);

    // Notifications run only for the outermost of nested updates.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }

    std::function<void()> OnChanging;
    std::function<void()> OnChange;

    bool operator==(const TStringList& other) const { return FItems == other.FItems; }

private:
    void Changing();
    void Changed();

    std::vector<std::string> FItems;
    int FUpdateCount = 0;
    bool FModified = false;
};

} // namespace tabellix
