// The one error type that the core raises internally. Operations catch it in their single
// handler and turn it into their failure value; what() is the description that the user sees.
#pragma once

#include <stdexcept>

namespace kw {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kw
