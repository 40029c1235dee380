#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/component.h"

namespace {

// Records what it is told.
class TWatcher : public TComponent {
public:
    TWatcher(TComponent* owner, std::vector<std::string>* log, std::string name)
        : TComponent(owner), log_(log) {
        SetName(std::move(name));
    }
    ~TWatcher() override { log_->push_back("~" + Name()); }
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == TOperation::Remove)
            log_->push_back(Name() + " told of removal");
    }

private:
    std::vector<std::string>* log_;
};

} // namespace

TEST(Component, OwnerDestroysWhatItOwnsLastCreatedFirst) {
    std::vector<std::string> log;
    {
        TComponent owner(nullptr);
        new TWatcher(&owner, &log, "a");
        new TWatcher(&owner, &log, "b");
        EXPECT_EQ(owner.Components().size(), 2u);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"~b", "a told of removal", "~a"}));
}

TEST(Component, AComponentThatGoesTellsItsSiblingsAndWhoeverAsked) {
    std::vector<std::string> log;
    TComponent owner(nullptr);
    auto* a = new TWatcher(&owner, &log, "a");
    auto* gone = new TWatcher(&owner, &log, "gone");
    TWatcher outsider(nullptr, &log, "outsider");
    gone->FreeNotification(&outsider);
    delete gone;
    EXPECT_EQ(log,
              (std::vector<std::string>{"~gone", "outsider told of removal", "a told of removal"}));
    EXPECT_EQ(owner.Components(), (std::vector<TComponent*>{a}));
}

TEST(Component, FreeNotificationWorksWhicheverGoesFirst) {
    std::vector<std::string> log;
    auto* list = new TWatcher(nullptr, &log, "list");
    {
        TWatcher player(nullptr, &log, "player");
        list->FreeNotification(&player);
    } // the player goes first: the list forgets it
    log.clear();
    delete list; // and must not tell the player that is gone
    EXPECT_EQ(log, (std::vector<std::string>{"~list"}));
}
