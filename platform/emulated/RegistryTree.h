// The registry of the emulated Windows in memory (a tree of keys and values)
// and its REGEDIT4 text form in registry.reg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {

struct Value {
    std::string name;
    RegType type = RegType::String;
    std::string data; // text of a string, little-endian bytes of other kinds
    uint32_t dword = 0;
    std::string raw; // the text after "=" as read (hex forms), written back unchanged
};

struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> children;
    // Positions in values and children by upper-case name: keys with very
    // many values or subkeys are looked up without a walk over all of them.
    std::unordered_map<std::string, size_t> valueAt;
    std::unordered_map<std::string, size_t> childAt;

    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Subkeys are taken apart one by one: no recursion over the depth of the tree.
    ~Key() {
        std::vector<std::unique_ptr<Key>> pending = std::move(children);
        while (!pending.empty()) {
            std::unique_ptr<Key> key = std::move(pending.back());
            pending.pop_back();
            for (auto& c : key->children)
                pending.push_back(std::move(c));
            key->children.clear();
        }
    }

    Key* child(const std::string& childName) const {
        const auto it = childAt.find(emulated::upper(childName));
        return it == childAt.end() ? nullptr : children[it->second].get();
    }
    Key& addChild(const std::string& childName) {
        childAt.emplace(emulated::upper(childName), children.size());
        children.push_back(std::make_unique<Key>());
        children.back()->name = childName;
        return *children.back();
    }
    bool eraseChild(const std::string& childName) {
        const auto it = childAt.find(emulated::upper(childName));
        if (it == childAt.end()) return false;
        const size_t at = it->second;
        children.erase(children.begin() + static_cast<std::ptrdiff_t>(at));
        childAt.erase(it);
        for (auto& entry : childAt)
            if (entry.second > at) --entry.second;
        return true;
    }
    Value* value(const std::string& valueName) {
        const auto it = valueAt.find(emulated::upper(valueName));
        return it == valueAt.end() ? nullptr : &values[it->second];
    }
    // Sets a value; an existing value of that name keeps the case of its name.
    void setValue(Value v) {
        if (Value* existing = value(v.name)) {
            v.name = existing->name;
            *existing = std::move(v);
            return;
        }
        valueAt.emplace(emulated::upper(v.name), values.size());
        values.push_back(std::move(v));
    }
    bool eraseValue(const std::string& valueName) {
        const auto it = valueAt.find(emulated::upper(valueName));
        if (it == valueAt.end()) return false;
        const size_t at = it->second;
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(at));
        valueAt.erase(it);
        for (auto& entry : valueAt)
            if (entry.second > at) --entry.second;
        return true;
    }
};

struct Tree {
    std::vector<std::unique_ptr<Key>> roots;

    Key& rootKey(const std::string& name) {
        for (const auto& r : roots)
            if (sameText(r->name, name)) return *r;
        roots.push_back(std::make_unique<Key>());
        roots.back()->name = name;
        return *roots.back();
    }
};

// The names of a key path ("a\\b\\c"); empty names are left out.
std::vector<std::string> splitKeyPath(const std::string& path);

// Why a key of these names (below its root) cannot be stored; nullptr when it
// can. A control character would break the "[...]" line of the key; a tab is
// kept as it is.
const char* keyProblem(const std::vector<std::string>& names);
// A value name can be written: line breaks are escaped in its quotes, other
// control characters have no form there.
bool storableValueName(const std::string& name);

// The REGEDIT4 text of a tree (CRLF line ends).
std::string serialize(const Tree& tree);

struct ParseError {
    size_t line;
    std::string reason;
};
// Reads REGEDIT4 text into tree; the line and reason of the first fault.
std::optional<ParseError> parse(const std::string& bytes, Tree& tree);

} // namespace plat::emulated
