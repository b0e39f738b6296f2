#pragma once
// The one owner template of the backends: a handle, an interface reference, a
// library object or a block of memory, given back to the system when it goes
// or is replaced.
// `Traits` says what an owned value is and how it is given back:
//   static T Adopt(T value);  the value to hold (an invalid one becomes T{})
//   static bool Free(T value); false when the system refused
namespace vxm::platform {

template <typename T, typename Traits>
class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(Traits::Adopt(value)) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : value_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    T Get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    // For functions that hand out a new value through a T*.
    T* Put() {
        Reset();
        return &value_;
    }
    T Release() {
        T value = value_;
        value_ = T{};
        return value;
    }
    // Gives back the value held, if any; false when the system refused.
    bool Reset(T value = T{}) {
        const bool freed = value_ == T{} || Traits::Free(value_);
        value_ = Traits::Adopt(value);
        return freed;
    }

private:
    T value_{};
};

}  // namespace vxm::platform
