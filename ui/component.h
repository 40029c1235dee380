#pragma once
// Components: named objects owned by other components. An owner destroys what it owns; a
// component that goes away tells its owner's other components and everyone who asked.

#include <string>
#include <vector>

#include "ui/persistent.h"

enum class TOperation { Insert, Remove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    std::string ClassName() const override { return "TComponent"; }
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }

    const std::string& Name() const { return name_; }
    virtual void SetName(const std::string& name) { name_ = name; }

    // Told when a component this one knows of (same owner, or asked for) comes or goes.
    virtual void Notification(TComponent* component, TOperation operation);
    // other is told of this component's removal.
    void FreeNotification(TComponent* other);

    // Design mode: false at run time; tests may set it.
    bool Designing() const { return designing_; }
    void SetDesigning(bool designing) { designing_ = designing; }
    // True while the component is read from a stored description.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    // After the stored description has been read.
    virtual void Loaded() { loading_ = false; }
    bool Destroying() const { return destroying_; }

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void ForgetNotifier(TComponent* component);

    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> notified_; // told of our removal
    bool designing_ = false;
    bool loading_ = false;
    bool destroying_ = false;
};
