#pragma once
// Exceptions of the profile data and the shared helpers. Device and platform
// calls report failure by result instead; these are for range and store
// errors that a caller has to see.
#include <stdexcept>
#include <string>

namespace vxm {

// An index read from a record or passed by a caller lies outside its range.
class RangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Registry or file storage failed in a way the caller must hear about
// (a value of the wrong type, a refused write, an unreadable file).
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A folder could not be created.
class InOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text does not fit the fixed character field it was meant for.
class TextTooLongError : public std::length_error {
public:
    using std::length_error::length_error;
};

}  // namespace vxm
