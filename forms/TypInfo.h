// Published properties found by name at run time, as the platform's type information allows:
// a class publishes a property by registering it, and every class derived from it has it too.
#pragma once
#include <functional>
#include <string>
#include <typeindex>
#include <typeinfo>

#include "Classes.h"

enum TTypeKind { tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod };

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = tkUnknown;
    // For tkClass: the object's C++ type and how to reach it on an instance.
    std::type_index ObjectType = typeid(void);
    std::function<void*(TComponent*)> GetObject;
};

// The published property of Instance's class with that name (case-insensitive), or null.
const TPropInfo* GetPropInfo(const TComponent* Instance, const std::string& PropName);

// The object a class property holds (null when it holds none or is of another type).
template <class T> T* GetObjectProp(TComponent* Instance, const TPropInfo* Info)
{
    if (!Instance || !Info || Info->Kind != tkClass || !Info->GetObject ||
        Info->ObjectType != std::type_index(typeid(T)))
        return nullptr;
    return static_cast<T*>(Info->GetObject(Instance));
}

// Publishes a property on class C and its descendants.
void RegisterPropInfo(std::function<bool(const TComponent*)> Accepts, TPropInfo Info);
template <class C, class B, class T> void PublishObjectProp(const std::string& Name, T& (B::*Getter)())
{
    TPropInfo i;
    i.Name = Name;
    i.Kind = tkClass;
    i.ObjectType = typeid(T);
    i.GetObject = [Getter](TComponent* c) -> void* { return &(static_cast<C*>(c)->*Getter)(); };
    RegisterPropInfo([](const TComponent* c) { return dynamic_cast<const C*>(c) != nullptr; }, std::move(i));
}
template <class C> void PublishProp(const std::string& Name, TTypeKind Kind)
{
    TPropInfo i;
    i.Name = Name;
    i.Kind = Kind;
    RegisterPropInfo([](const TComponent* c) { return dynamic_cast<const C*>(c) != nullptr; }, std::move(i));
}
