#include "ui/Component.h"

namespace ui {

namespace {

[[noreturn]] void WrongKind(const PropValue& v, const std::string& prop, const char* wanted) {
    throw Exception("Form description, line " + std::to_string(v.line) + ": " + prop + " needs " +
                    wanted);
}

std::map<std::string, ComponentFactory>& Classes() {
    static std::map<std::string, ComponentFactory> classes;
    return classes;
}

}  // namespace

long long PropValue::AsInteger(const std::string& prop) const {
    if (kind != Kind::Integer) WrongKind(*this, prop, "a number");
    return integer;
}

const std::string& PropValue::AsString(const std::string& prop) const {
    if (kind != Kind::String) WrongKind(*this, prop, "a string");
    return text;
}

const std::string& PropValue::AsIdent(const std::string& prop) const {
    if (kind != Kind::Ident) WrongKind(*this, prop, "a name");
    return text;
}

bool PropValue::AsBool(const std::string& prop) const {
    if (kind == Kind::Ident && text == "True") return true;
    if (kind == Kind::Ident && text == "False") return false;
    WrongKind(*this, prop, "True or False");
}

void Component::SetProperty(const std::string& prop, const PropValue& value, const HandlerTable&) {
    if (prop == "Tag") {
        tag_ = value.AsInteger(prop);
        return;
    }
    throw Exception("Form description, line " + std::to_string(value.line) + ": " + name_ +
                    " has no property " + prop);
}

void RegisterComponentClass(const std::string& className, ComponentFactory factory) {
    Classes()[className] = std::move(factory);
}

ComponentFactory FindComponentClass(const std::string& className) {
    auto it = Classes().find(className);
    return it == Classes().end() ? ComponentFactory() : it->second;
}

}  // namespace ui
