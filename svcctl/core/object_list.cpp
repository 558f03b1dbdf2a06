#include "core/object_list.h"

namespace dovrin {

void SidHolder::SetSid(const void* bytes, std::uint32_t length, const std::string& account_name,
                       const std::string& domain_name) {
    sid.clear();
    if (length == 0) return;
    auto p = static_cast<const std::uint8_t*>(bytes);
    sid.assign(p, p + length);
    account = account_name;
    domain = domain_name;
}

int CompareSidHolders(const SidHolder& item, const SidHolder& key) {
    if (key.sid.size() < item.sid.size()) return 1;
    if (key.sid.size() > item.sid.size()) return -1;
    for (std::size_t i = 0; i < item.sid.size(); ++i)
        if (item.sid[i] != key.sid[i]) return item.sid[i] > key.sid[i] ? 1 : -1;
    return 0;
}

void SidStore::Add(const void* sid, std::uint32_t length, const std::string& account,
                   const std::string& domain) {
    auto holder = new SidHolder;
    holder->SetSid(sid, length, account, domain);
    try {
        AddSorted(holder, CompareSidHolders);
    } catch (...) {
        delete holder;
        throw;
    }
}

int SidStore::IndexOfSid(const void* sid, std::uint32_t length) {
    compare_sid_.SetSid(sid, length, std::string(), std::string());
    int index = 0;
    return Find(compare_sid_, CompareSidHolders, index) ? index : -1;
}

void SidStore::GetNames(int index, std::string& account, std::string& domain) const {
    const SidHolder* h = Item(index);
    account = h->account;
    domain = h->domain;
}

SidStore& GlobalSidStore() {
    static SidStore store(0);
    return store;
}

}  // namespace dovrin
