#pragma once
// A dictionary kept as one vector of entries sorted by key: what NSDictionary
// is to the system. Property lists are read far more often than they are
// changed, and a read builds every dictionary once, in key order; a vector
// makes that one allocation per dictionary instead of one per entry, and a
// lookup a binary search over contiguous keys.
//
// It offers the parts of std::map's interface the system uses, with one
// difference callers must respect: inserting or erasing moves entries, so
// references and iterators into the dictionary do not survive a change of it.

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace px::platform::foundation {

template <class V>
class SortedDictionary {
 public:
  using key_type = std::string;
  using mapped_type = V;
  using value_type = std::pair<std::string, V>;
  using Entries = std::vector<value_type>;
  using iterator = typename Entries::iterator;
  using const_iterator = typename Entries::const_iterator;
  using size_type = std::size_t;

  SortedDictionary() = default;
  // As std::map: the first of equal keys is the one kept.
  SortedDictionary(std::initializer_list<value_type> entries) : m_entries(entries) { restore_order(); }

  // Takes entries in any order; the first of equal keys is kept.
  static SortedDictionary from_entries(Entries entries) {
    SortedDictionary d;
    d.m_entries = std::move(entries);
    d.restore_order();
    return d;
  }

  iterator begin() { return m_entries.begin(); }
  iterator end() { return m_entries.end(); }
  const_iterator begin() const { return m_entries.begin(); }
  const_iterator end() const { return m_entries.end(); }
  const_iterator cbegin() const { return m_entries.begin(); }
  const_iterator cend() const { return m_entries.end(); }
  size_type size() const { return m_entries.size(); }
  bool empty() const { return m_entries.empty(); }
  void clear() { m_entries.clear(); }
  void reserve(size_type n) { m_entries.reserve(n); }

  iterator find(std::string_view key) {
    auto it = lower_bound(key);
    return it != end() && it->first == key ? it : end();
  }
  const_iterator find(std::string_view key) const {
    auto it = lower_bound(key);
    return it != end() && it->first == key ? it : end();
  }
  bool contains(std::string_view key) const { return find(key) != end(); }
  size_type count(std::string_view key) const { return contains(key) ? 1 : 0; }

  iterator lower_bound(std::string_view key) {
    return std::lower_bound(begin(), end(), key, [](const value_type& e, std::string_view k) { return e.first < k; });
  }
  const_iterator lower_bound(std::string_view key) const {
    return std::lower_bound(begin(), end(), key, [](const value_type& e, std::string_view k) { return e.first < k; });
  }

  V& operator[](std::string_view key) { return try_emplace(key).first->second; }

  // Inserts when the key is missing; an existing entry is left as it is.
  template <class... Args>
  std::pair<iterator, bool> try_emplace(std::string_view key, Args&&... args) {
    auto it = lower_bound(key);
    if (it != end() && it->first == key) return {it, false};
    it = m_entries.emplace(it, std::piecewise_construct, std::forward_as_tuple(key),
                           std::forward_as_tuple(std::forward<Args>(args)...));
    return {it, true};
  }
  template <class T>
  std::pair<iterator, bool> emplace(std::string_view key, T&& value) {
    return try_emplace(key, std::forward<T>(value));
  }
  std::pair<iterator, bool> insert(value_type entry) { return try_emplace(entry.first, std::move(entry.second)); }
  template <class T>
  std::pair<iterator, bool> insert_or_assign(std::string_view key, T&& value) {
    auto [it, inserted] = try_emplace(key);
    it->second = std::forward<T>(value);
    return {it, inserted};
  }

  size_type erase(std::string_view key) {
    auto it = find(key);
    if (it == end()) return 0;
    m_entries.erase(it);
    return 1;
  }
  iterator erase(const_iterator it) { return m_entries.erase(it); }

  bool operator==(const SortedDictionary& other) const { return m_entries == other.m_entries; }

 private:
  // Sorted already in the common case (files list their keys in order), so
  // this is one pass; otherwise a stable sort keeps the first of equal keys first.
  void restore_order() {
    if (strictly_sorted()) return;
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const value_type& a, const value_type& b) { return a.first < b.first; });
    auto same_key = [](const value_type& a, const value_type& b) { return a.first == b.first; };
    m_entries.erase(std::unique(m_entries.begin(), m_entries.end(), same_key), m_entries.end());
  }
  bool strictly_sorted() const {
    for (size_type i = 1; i < m_entries.size(); ++i)
      if (!(m_entries[i - 1].first < m_entries[i].first)) return false;
    return true;
  }

  Entries m_entries;
};

}  // namespace px::platform::foundation
