// The one error type of the Access file library: what() is a complete English description of what
// is wrong with the file or the request, ready for the back end to hand to the user.
#pragma once

#include <stdexcept>

namespace kw::jet {

class JetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kw::jet
