#include "lang/component.h"

#include <algorithm>

namespace vxm {

TComponent::TComponent(u16 className, u16 name, TComponent* owner, Kind kind)
    : className_(std::move(className)), name_(std::move(name)), owner_(owner), kind_(kind) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    for (TComponent* c : components_) c->owner_ = nullptr;
    if (owner_) {
        auto& v = owner_->components_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

void TComponent::DefineProperty(u16view name, Getter get, Setter set) {
    properties_[u16(name)] = {std::move(get), std::move(set)};
}

void TComponent::DefineProperty(u16view name, u16 initial) {
    const u16 key(name);
    stored_[key] = std::move(initial);
    properties_[key] = {[this, key] { return stored_[key]; }, [this, key](u16view v) { stored_[key] = u16(v); }};
}

std::optional<u16> TComponent::GetProperty(u16view name) const {
    for (const auto& [key, accessors] : properties_) {
        if (EqualsNoCase(key, name) && accessors.first) return accessors.first();
    }
    return std::nullopt;
}

bool TComponent::SetProperty(u16view name, u16view value) {
    for (auto& [key, accessors] : properties_) {
        if (EqualsNoCase(key, name) && accessors.second) {
            accessors.second(value);
            return true;
        }
    }
    return false;
}

}  // namespace vxm
