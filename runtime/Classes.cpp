#include "Classes.h"

#include <algorithm>

#include "SysUtils.h"

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    FState |= csDestroying;
    // Tell everyone who holds a reference; they may unsubscribe while we walk, so copy first.
    std::vector<TComponent*> notify = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* c : notify) {
        c->DropNotice(this);
        c->Notification(this, opRemove);
    }
    // Owned components go first-created last, as the platform frees them.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        RemoveComponent(c);
        delete c;
    }
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (UpperCase(c->FName) == UpperCase(name)) return c;
    return nullptr;
}

void TComponent::EndLoading()
{
    for (TComponent* c : FComponents)
        if (c->InState(csLoading)) c->EndLoading();
    Loaded();
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this) return;
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent) return;
    DropNotice(AComponent);
    AComponent->DropNotice(this);
}

void TComponent::DropNotice(TComponent* c)
{
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), c),
                        FFreeNotifies.end());
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end()) return;
    Notification(AComponent, opRemove);
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
}

void TComponent::NotifyInserted()
{
    if (FOwner) FOwner->Notification(this, opInsert);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    // Pass insertions and removals on to owned components, as the platform does.
    for (TComponent* c : std::vector<TComponent*>(FComponents))
        if (c != AComponent) c->Notification(AComponent, Operation);
}

int TStringList::IndexOf(const std::string& s) const
{
    std::string u = UpperCase(s);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (UpperCase(FItems[i]) == u) return static_cast<int>(i);
    return -1;
}

std::string TStringList::Names(int i) const
{
    const std::string& s = Strings(i);
    size_t p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStringList::ValueFromIndex(int i) const
{
    const std::string& s = Strings(i);
    size_t p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(p + 1);
}

std::string TStringList::Values(const std::string& name) const
{
    std::string u = UpperCase(name);
    for (int i = 0; i < Count(); ++i)
        if (FItems[i].find('=') != std::string::npos && UpperCase(Names(i)) == u)
            return ValueFromIndex(i);
    return std::string();
}

std::string TStringList::Text() const
{
    std::string out;
    for (const std::string& s : FItems) {
        out += s;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(const std::string& text)
{
    Clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        size_t j = i;
        while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
        Add(text.substr(i, j - i));
        if (j < n && text[j] == '\r') ++j;
        if (j < n && text[j] == '\n') ++j;
        i = j;
    }
}
