#pragma once

// "Open at login". On Linux an XDG autostart entry; there is no "requires approval" state.

#include <stdexcept>
#include <string>

namespace kelvo {

// A failed registration; what() is the description shown after "Login item: ".
class LoginItemError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class LoginItem {
  public:
    virtual ~LoginItem() = default;
    // Whether kelvo starts at login.
    virtual bool isEnabled() const = 0;
    // Registers (true) or unregisters (false) kelvo; throws LoginItemError on failure.
    // Unregistering when not registered succeeds.
    virtual void setEnabled(bool enabled) = 0;
};

}  // namespace kelvo
