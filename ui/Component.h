// Components: named objects owned by a form, created from the form's description. A component
// takes its settings as properties by name; event properties name handler methods that the form
// publishes in its handler table.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/Exception.h"

namespace ui {

// One property value of a form description.
struct PropValue {
    enum class Kind { Integer, String, Ident, Set, Binary };
    Kind kind = Kind::Integer;
    long long integer = 0;
    std::string text;               // String (UTF-8) or Ident
    std::vector<std::string> set;   // Set members
    std::vector<uint8_t> bytes;     // Binary
    int line = 0;                   // where it stands in the description, for error texts

    long long AsInteger(const std::string& prop) const;
    const std::string& AsString(const std::string& prop) const;
    const std::string& AsIdent(const std::string& prop) const;
    bool AsBool(const std::string& prop) const;
};

// Handler methods of a form, by name. Each entry holds a std::function of the event's type.
class HandlerTable {
public:
    template <class F>
    void Add(const std::string& name, F handler) {
        handlers_[name] = std::move(handler);
    }
    // The handler of that name and type; throws when the form publishes none.
    template <class F>
    F Get(const std::string& name) const {
        auto it = handlers_.find(name);
        if (it == handlers_.end()) throw Exception("Handler " + name + " not found");
        if (const F* f = std::any_cast<F>(&it->second)) return *f;
        throw Exception("Handler " + name + " has the wrong type for its event");
    }

private:
    std::map<std::string, std::any> handlers_;
};

// Component state flags: a component being read from a form description is loading until
// every component of the form has its properties; designing never happens in a running program
// but components keep the flag for the rules that mention it.
enum ComponentStateFlag : unsigned { csLoading = 1, csDesigning = 2 };

class Component {
public:
    Component(Component* owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    virtual ~Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    Component* Owner() const { return owner_; }
    long long Tag() const { return tag_; }
    unsigned ComponentState() const { return state_; }
    bool Loading() const { return (state_ & csLoading) != 0; }
    bool Designing() const { return (state_ & csDesigning) != 0; }
    void SetComponentState(unsigned state) { state_ = state; }
    void SetTag(long long tag) { tag_ = tag; }

    // Applies one property of the description; throws ui::Exception for an unknown property or
    // a value of the wrong kind, so a mistyped description fails loudly at start-up.
    virtual void SetProperty(const std::string& prop, const PropValue& value,
                             const HandlerTable& handlers);
    // Called once every component of the form has its properties.
    virtual void Loaded() {}

private:
    Component* owner_;
    std::string name_;
    long long tag_ = 0;
    unsigned state_ = 0;
};

using NotifyEvent = std::function<void(Component& sender)>;

// Factories of the classes a description may name.
using ComponentFactory = std::function<std::unique_ptr<Component>(Component* owner, const std::string& name)>;
void RegisterComponentClass(const std::string& className, ComponentFactory factory);
// The factory for the class, or an empty function when the class is unknown.
ComponentFactory FindComponentClass(const std::string& className);

}  // namespace ui
