#pragma once
// The local date and time, as days since 1899-12-30 plus the fraction of the
// day (the stamp the profile records carry).
namespace vxm::platform {

class IClock {
public:
    virtual ~IClock() = default;
    virtual double LocalDateTime() = 0;
};

}  // namespace vxm::platform
