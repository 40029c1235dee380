#include "ui/component.h"

#include <algorithm>

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
} // namespace

TComponent::TComponent(TComponent* owner) : owner_(nullptr) {
    if (owner)
        owner->Insert(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    // Tell those who asked, then the owner's other components, that this one is going.
    const std::vector<TComponent*> notified = std::move(notified_);
    for (TComponent* other : notified) {
        other->ForgetNotifier(this);
        other->Notification(this, TOperation::Remove);
    }
    // What it owns goes first, last created first.
    while (!components_.empty())
        delete components_.back();
    if (owner_)
        owner_->Remove(this);
}

void TComponent::Insert(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
    for (TComponent* sibling : components_)
        if (sibling != component)
            sibling->Notification(component, TOperation::Insert);
}

void TComponent::Remove(TComponent* component) {
    Erase(components_, component);
    component->owner_ = nullptr;
    Notification(component, TOperation::Remove);
    for (TComponent* sibling : components_)
        sibling->Notification(component, TOperation::Remove);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::FreeNotification(TComponent* other) {
    if (other && other != this &&
        std::find(notified_.begin(), notified_.end(), other) == notified_.end()) {
        notified_.push_back(other);
        other->FreeNotification(this); // both directions: whichever goes first tells the other
    }
}

void TComponent::ForgetNotifier(TComponent* component) {
    Erase(notified_, component);
}
