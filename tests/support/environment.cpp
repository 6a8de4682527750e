#include "tests/support/environment.h"

#include <algorithm>
#include <cstdlib>
#include <ranges>

namespace kelvo::test {

namespace {
void apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}
}  // namespace

ScopedEnvironment::ScopedEnvironment(
    std::initializer_list<std::pair<std::string, std::optional<std::string>>> values) {
    for (const auto& [name, value] : values) {
        set(name, value);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : std::views::reverse(saved_)) {
        apply(name, value);
    }
}

ScopedEnvironment& ScopedEnvironment::set(const std::string& name,
                                          const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    apply(name, value);
    return *this;
}

}  // namespace kelvo::test
