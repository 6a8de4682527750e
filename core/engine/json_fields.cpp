#include "core/engine/json_fields.h"

namespace kelvo::json_fields {

using nlohmann::json;

namespace {

[[noreturn]] void wrongType(std::string_view key, std::string_view wanted, const json& value) {
    throw json::type_error::create(302,
                                   "\"" + std::string(key) + "\" must be " + std::string(wanted) +
                                       ", but is " + value.type_name(),
                                   &value);
}

const json* present(const json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

}  // namespace

void requireObject(const json& document, std::string_view what) {
    if (!document.is_object()) {
        wrongType(what, "object", document);
    }
}

std::optional<std::string> optionalString(const json& object, std::string_view key) {
    const json* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        wrongType(key, "string", *value);
    }
    return value->get<std::string>();
}

std::optional<double> optionalNumber(const json& object, std::string_view key) {
    const json* value = present(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!value->is_number()) {
        wrongType(key, "number", *value);
    }
    return value->get<double>();
}

const json* optionalArray(const json& object, std::string_view key) {
    const json* value = present(object, key);
    if (value != nullptr && !value->is_array()) {
        wrongType(key, "array", *value);
    }
    return value;
}

std::optional<std::vector<std::string>> optionalStringList(const json& object,
                                                           std::string_view key) {
    const json* array = optionalArray(object, key);
    if (array == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> result;
    result.reserve(array->size());
    for (const json& element : *array) {
        if (!element.is_string()) {
            wrongType(key, "array of strings", element);
        }
        result.push_back(element.get<std::string>());
    }
    return result;
}

}  // namespace kelvo::json_fields
