// SortedMap: a map kept as a vector sorted by key, for small maps that are filled mostly in key
// order and looked up far more often than changed (a sheet's rows): one allocation for all the
// entries, and lookups that stay in the cache, where a tree costs an allocation and a cache miss
// for each node. An insertion moves the entries after the new one, so a reference to an entry does
// not outlive an insertion; a reference into an entry's own heap data (a vector's elements) does.
#pragma once

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace xls {

template <typename Key, typename Value>
class SortedMap {
public:
    using value_type = std::pair<Key, Value>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

    iterator find(const Key& key)
    {
        const auto it = lowerBound(entries_, key);
        return it != entries_.end() && it->first == key ? it : entries_.end();
    }
    const_iterator find(const Key& key) const
    {
        const auto it = lowerBound(entries_, key);
        return it != entries_.end() && it->first == key ? it : entries_.end();
    }
    // The key's value; std::out_of_range when there is none.
    const Value& at(const Key& key) const
    {
        const auto it = find(key);
        if (it == entries_.end())
            throw std::out_of_range("SortedMap::at");
        return it->second;
    }
    // The key's value, made where there is none.
    Value& operator[](const Key& key)
    {
        if (entries_.empty() || entries_.back().first < key)  // the usual case: keys in order
            return entries_.emplace_back(key, Value{}).second;
        auto it = lowerBound(entries_, key);
        if (it == entries_.end() || it->first != key)
            it = entries_.emplace(it, key, Value{});
        return it->second;
    }

private:
    template <typename Entries>
    static auto lowerBound(Entries& entries, const Key& key)
    {
        return std::lower_bound(entries.begin(), entries.end(), key,
                                [](const value_type& e, const Key& k) { return e.first < k; });
    }

    std::vector<value_type> entries_;
};

}  // namespace xls
