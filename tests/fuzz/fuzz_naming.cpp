// File names: whatever a title or id holds, every name kelvo makes from it is one safe
// component of the library folder. Input: date, title and id separated by "\x1e\x1e".
#include "core/library/naming.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;
using kelvo::fuzz::printable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto parts = kelvo::fuzz::split(kelvo::fuzz::asText(data, size), "\x1e\x1e", 3);
    parts.resize(3);
    const auto date = parts[0].empty() ? std::nullopt : std::optional<std::string>(parts[0]);
    const std::string& title = parts[1];

    kelvo::fuzz::checkName(kelvo::Naming::sanitize(title, "untitled"), "sanitized title");
    kelvo::fuzz::checkName(kelvo::Naming::playlistFolder(title), "playlist folder");
    kelvo::fuzz::checkFileBase(kelvo::Naming::fileBase(date, title, parts[2]), date, parts[2]);

    // An ASCII title without characters that need mapping keeps its text.
    const bool plain = !title.empty() && title.size() <= kelvo::Naming::maxCharacters &&
                       title.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVW"
                           "XYZ0123456789_-+=()[]{},;!'@#$%^&~") == std::string::npos;
    check(!plain || kelvo::Naming::sanitize(title, "untitled") == title,
          "plain title " + printable(title) + " was changed");
    return 0;
}
