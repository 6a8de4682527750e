#pragma once

// Strict readers for the few keys kelvo takes from yt-dlp's JSON documents: a key that is
// absent or null reads as nothing, a key holding another JSON type throws the decoder's
// nlohmann::json::type_error naming the key.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace kelvo::json_fields {

// The document itself must be an object.
void requireObject(const nlohmann::json& document, std::string_view what);

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key);
std::optional<double> optionalNumber(const nlohmann::json& object, std::string_view key);
// Absent or null: nothing; otherwise an array whose elements are all strings.
std::optional<std::vector<std::string>> optionalStringList(const nlohmann::json& object,
                                                           std::string_view key);
// Absent or null: nothing; otherwise the array itself (elements unchecked).
const nlohmann::json* optionalArray(const nlohmann::json& object, std::string_view key);

}  // namespace kelvo::json_fields
