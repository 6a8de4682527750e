#pragma once

// Environment variables set for the length of a scope and put back as they were afterwards.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvo::test {

class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(
        std::initializer_list<std::pair<std::string, std::optional<std::string>>> values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets `name` (or removes it for nullopt); the first value seen is the one restored.
    ScopedEnvironment& set(const std::string& name, const std::optional<std::string>& value);

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace kelvo::test
