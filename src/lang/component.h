#pragma once
// A small component model for the language walk: components with an owner,
// a name, a class name, owned components, and named string properties
// ("Caption", "Hint") that can be read and written.
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "common/text.h"

namespace vxm {

class TComponent {
public:
    enum class Kind { Component, Form, DataModule, Application, Scene };

    TComponent(u16 className, u16 name, TComponent* owner, Kind kind = Kind::Component);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const u16& ClassName() const { return className_; }
    const u16& Name() const { return name_; }
    TComponent* Owner() const { return owner_; }
    Kind GetKind() const { return kind_; }
    bool IsForm() const { return kind_ == Kind::Form; }
    const std::vector<TComponent*>& Components() const { return components_; }

    using Getter = std::function<u16()>;
    using Setter = std::function<void(u16view)>;
    // A property backed by the object that really shows the text.
    void DefineProperty(u16view name, Getter get, Setter set);
    // A property stored in the component itself.
    void DefineProperty(u16view name, u16 initial);
    std::optional<u16> GetProperty(u16view name) const;
    bool SetProperty(u16view name, u16view value);

private:
    u16 className_;
    u16 name_;
    TComponent* owner_;
    Kind kind_;
    std::vector<TComponent*> components_;
    std::map<u16, std::pair<Getter, Setter>> properties_;
    std::map<u16, u16> stored_;
};

}  // namespace vxm
