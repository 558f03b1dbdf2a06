// An owning list of objects kept in the order of a caller's comparison and searched by
// bisection; the process-wide cache of account names by security identifier sits on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"

namespace dovrin {

enum class Duplicates : std::uint8_t { Ignore = 0, Accept = 1, Error = 2 };

template <class T>
class ObjectList {
public:
    // compare(item, key): negative when item sorts before key, 0 equal, positive after.
    using Compare = int (*)(const T& item, const T& key);

    explicit ObjectList(std::int32_t tag = 0) : tag_(tag) {}
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;
    virtual ~ObjectList() {
        if (owns_objects)
            for (T* p : items_) delete p;
    }

    Duplicates duplicates = Duplicates::Accept;
    bool owns_objects = true;

    int Count() const { return int(items_.size()); }
    T* Item(int index) const {
        if (index < 0 || index >= Count()) throw ListError(index);
        return items_[std::size_t(index)];
    }
    void Insert(int index, T* object) {
        if (index < 0 || index > Count()) throw ListError(index);
        items_.insert(items_.begin() + index, object);
    }
    void Add(T* object) { items_.push_back(object); }

    // With Duplicates::Accept the index is the first item equal to the key when found,
    // and the insertion point otherwise.
    bool Find(const T& key, Compare compare, int& index) const {
        std::uint32_t low = 0;
        std::int64_t high = std::int64_t(Count()) - 1;
        bool found = false;
        while (std::int64_t(low) <= high) {
            std::uint32_t middle = (low + std::uint32_t(high)) >> 1;
            int c = compare(*items_[middle], key);
            if (c < 0) {
                low = middle + 1;
            } else {
                high = std::int64_t(middle) - 1;
                if (c == 0) {
                    found = true;
                    if (duplicates != Duplicates::Accept) low = middle;
                }
            }
        }
        index = int(low);
        return found;
    }

    int AddSorted(T* object, Compare compare) {
        int index = 0;
        Find(*object, compare, index);
        Insert(index, object);
        return index;
    }

    virtual void Delete(int index) {
        T* p = Item(index);
        if (owns_objects && p) delete p;
        items_.erase(items_.begin() + index);
    }

    virtual void Clear() {
        if (owns_objects)
            for (T*& p : items_) {
                delete p;
                p = nullptr;
            }
        items_.clear();
    }

    std::int32_t tag() const { return tag_; }

private:
    std::vector<T*> items_;
    std::int32_t tag_;
};

// One cached identifier with its names.
struct SidHolder {
    std::vector<std::uint8_t> sid;
    std::string account;
    std::string domain;

    // A length of 0 only drops the held identifier; the names stay as they were.
    void SetSid(const void* bytes, std::uint32_t length, const std::string& account_name,
                const std::string& domain_name);
};

// Longer identifiers sort after shorter ones; equal lengths compare bytewise (unsigned).
int CompareSidHolders(const SidHolder& item, const SidHolder& key);

class SidStore : public ObjectList<SidHolder> {
public:
    explicit SidStore(std::int32_t tag = 0) : ObjectList<SidHolder>(tag) {}
    void Add(const void* sid, std::uint32_t length, const std::string& account,
             const std::string& domain);
    int IndexOfSid(const void* sid, std::uint32_t length);  // -1 when absent
    void GetNames(int index, std::string& account, std::string& domain) const;

private:
    SidHolder compare_sid_;  // reused as the search key
};

// The one store of the process; it only grows.
SidStore& GlobalSidStore();

}  // namespace dovrin
