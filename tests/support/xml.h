#pragma once

#include <string>

namespace kelvo::test {

// Parses `document` with libxml2; "" when it is well-formed, else libxml2's first complaint.
std::string xmlProblem(const std::string& document);

}  // namespace kelvo::test
