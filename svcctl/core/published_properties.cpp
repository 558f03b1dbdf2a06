#include "core/published_properties.h"

#include "core/string_list.h"

namespace dovrin {

const PublishedClass& LogonAsClass() {
    static const PublishedClass c{"TLogonAs", nullptr, {{"UserName", nullptr, true}, {"Password", nullptr, true}}};
    return c;
}

const PublishedClass& PersistentClass() {
    static const PublishedClass c{"TNTPersistent", nullptr, {}};
    return c;
}

const PublishedClass& ServiceClass() {
    static const PublishedClass c{
        "TNTService",
        &PersistentClass(),
        {{"MachineName", nullptr, true},      {"DatabaseName", nullptr, true},
         {"ActiveManager", nullptr, true},    {"ActiveService", nullptr, true},
         {"ManagerAccess", nullptr, true},    {"ServiceAccess", nullptr, true},
         {"ServiceName", nullptr, true},      {"DisplayName", nullptr, true},
         {"BinaryPathName", nullptr, true},   {"StartType", nullptr, true},
         {"ErrorControl", nullptr, true},     {"ServiceType", nullptr, true},
         {"LoadOrder", nullptr, true},        {"TagId", nullptr, true},
         {"Dependencies", nullptr, true},     {"ServiceStartName", nullptr, true},
         {"Password", nullptr, true},         {"LogonAs", &LogonAsClass(), true}}};
    return c;
}

namespace {

const PublishedProperty* FindByName(const PublishedClass& cls, const std::string& name) {
    if (cls.parent)
        if (auto p = FindByName(*cls.parent, name)) return p;
    for (const auto& p : cls.properties)
        if (SameText(p.name, name)) return &p;
    return nullptr;
}

}  // namespace

const PublishedProperty* FindPropertyByPath(const PublishedClass& cls, const std::string& path) {
    auto dot = path.find('.');
    if (dot == std::string::npos) return FindByName(cls, path);
    const PublishedProperty* first = FindPropertyByPath(cls, path.substr(0, dot));
    if (!first) return nullptr;
    if (!first->object_class) return first;
    return FindPropertyByPath(*first->object_class, path.substr(dot + 1));
}

bool IsPropertyStored(const std::string& name, const PublishedClass& cls) {
    const PublishedProperty* p = FindPropertyByPath(cls, name);
    return p && p->stored;
}

}  // namespace dovrin
