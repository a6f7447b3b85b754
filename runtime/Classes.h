// Component base of the platform: ownership (an owner frees what it owns), Name and Tag,
// removal notices for non-owning references, loading and designing states.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csDesigning = 1u << 1,
    csDestroying = 1u << 2,
};

class TComponent {
public:
    explicit TComponent(TComponent* AOwner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual const char* ClassName() const { return "TComponent"; }
    template <class T> bool Is() const { return dynamic_cast<const T*>(this) != nullptr; }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int i) const { return FComponents.at(static_cast<size_t>(i)); }
    TComponent* FindComponent(const std::string& name) const;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& n) { FName = n; }
    intptr_t Tag() const { return FTag; }
    void SetTag(intptr_t t) { FTag = t; }

    unsigned ComponentState() const { return FState; }
    bool InState(unsigned flags) const { return (FState & flags) != 0; }
    // Loading bracket as a stored form description runs it: Loaded() is called at the end.
    void BeginLoading() { FState |= csLoading; }
    void EndLoading();
    void SetDesigning(bool on) { on ? FState |= csDesigning : FState &= ~csDesigning; }

    // Asks to be told (Notification with opRemove) when AComponent is destroyed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    void InsertComponent(TComponent* AComponent);
    // Tells the owner (and through it what it owns) of this component's insertion once more.
    // The notice of InsertComponent comes from the base constructor, before the component's
    // kind is known; a class whose kind matters to listeners (forms) calls this at the end of
    // its own constructor.
    void NotifyInserted();
    void RemoveComponent(TComponent* AComponent);

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void Loaded() { FState &= ~csLoading; }

private:
    void DropNotice(TComponent* c);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::string FName;
    intptr_t FTag = 0;
    unsigned FState = 0;
};

// A list of byte strings with the few list operations the system uses.
class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int i) const { return FItems.at(static_cast<size_t>(i)); }
    void SetStrings(int i, const std::string& s) { FItems.at(static_cast<size_t>(i)) = s; }
    int Add(const std::string& s) { return AddObject(s, nullptr); }
    // An item with an object of the caller's beside it (not owned); it moves with its string.
    int AddObject(const std::string& s, TComponent* obj)
    {
        FItems.push_back(s);
        FObjects.push_back(obj);
        return Count() - 1;
    }
    TComponent* Objects(int i) const { return FObjects.at(static_cast<size_t>(i)); }
    void SetObjects(int i, TComponent* obj) { FObjects.at(static_cast<size_t>(i)) = obj; }
    void Insert(int i, const std::string& s)
    {
        FItems.insert(FItems.begin() + i, s);
        FObjects.insert(FObjects.begin() + i, nullptr);
    }
    void Delete(int i)
    {
        FItems.erase(FItems.begin() + i);
        FObjects.erase(FObjects.begin() + i);
    }
    void Clear()
    {
        FItems.clear();
        FObjects.clear();
    }
    // Case-insensitive text order of the user's locale, objects moving with their strings.
    void Sort();
    int IndexOf(const std::string& s) const;  // case-insensitive (ASCII), as the platform's list
    // "name=value" items.
    std::string Names(int i) const;
    std::string ValueFromIndex(int i) const;
    std::string Values(const std::string& name) const;
    // Items joined with CR LF after each, and the reverse (CR LF, LF or CR end a line).
    std::string Text() const;
    void SetText(const std::string& text);

    std::vector<std::string>::const_iterator begin() const { return FItems.begin(); }
    std::vector<std::string>::const_iterator end() const { return FItems.end(); }

private:
    std::vector<std::string> FItems;
    std::vector<TComponent*> FObjects;
};
