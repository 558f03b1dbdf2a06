// The published properties of the library's component classes, in their stream order:
// what containers persist, and the lookup of a property by a dotted path.
#pragma once

#include <string>
#include <vector>

namespace dovrin {

struct PublishedClass;

struct PublishedProperty {
    const char* name;
    const PublishedClass* object_class;  // the class of an object property, else null
    bool stored;
};

struct PublishedClass {
    const char* name;
    const PublishedClass* parent;
    std::vector<PublishedProperty> properties;  // own ones, after the parent's
};

const PublishedClass& LogonAsClass();      // TLogonAs
const PublishedClass& PersistentClass();   // TNTPersistent
const PublishedClass& ServiceClass();      // TNTService

// A property by name or dotted path ("LogonAs.UserName"), ignoring case; null when none.
// A path that continues past a property that is no object finds that property.
const PublishedProperty* FindPropertyByPath(const PublishedClass& cls, const std::string& path);
bool IsPropertyStored(const std::string& name, const PublishedClass& cls);

}  // namespace dovrin
