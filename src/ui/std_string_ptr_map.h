#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Text keys to pointers the caller owns (the menu's check marks). Keys are exact.
class CStdStringPtrMap {
public:
    explicit CStdStringPtrMap(int buckets = 83) : m_map(static_cast<std::size_t>(buckets)) {}

    void* Find(std::wstring_view key) const
    {
        const auto found = m_map.find(std::wstring(key));
        return found == m_map.end() ? nullptr : found->second;
    }
    // False when the key is there already.
    bool Insert(std::wstring_view key, void* data)
    {
        return m_map.emplace(std::wstring(key), data).second;
    }
    void* Set(std::wstring_view key, void* data)
    {
        void*& slot = m_map[std::wstring(key)];
        void* old = slot;
        slot = data;
        return old;
    }
    bool Remove(std::wstring_view key) { return m_map.erase(std::wstring(key)) > 0; }
    void RemoveAll() { m_map.clear(); }
    int GetSize() const { return static_cast<int>(m_map.size()); }
    std::vector<std::wstring> Keys() const
    {
        std::vector<std::wstring> keys;
        for (const auto& [key, value] : m_map)
            keys.push_back(key);
        return keys;
    }

private:
    std::unordered_map<std::wstring, void*> m_map;
};
