// File names: whatever a title or id holds, every name kelvo makes from it is one safe
// component of the library folder. Input: date, title and id separated by "\x1e\x1e".
#include "core/library/naming.h"
#include "tests/fuzz/fuzz_check.h"

using kelvo::fuzz::check;
using kelvo::fuzz::printable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = kelvo::fuzz::fields(data, size, 3);
    const auto date = parts[0].empty() ? std::nullopt : std::optional<std::string>(parts[0]);
    const std::string& title = parts[1];

    kelvo::fuzz::checkName(kelvo::Naming::sanitize(title, "untitled"), "sanitized title");
    kelvo::fuzz::checkName(kelvo::Naming::playlistFolder(title), "playlist folder");
    kelvo::fuzz::checkFileBase(kelvo::Naming::fileBase(date, title, parts[2]), date, parts[2]);

    const std::string prefix = kelvo::Naming::datePrefix(date);
    if (prefix != "undated") {
        check(prefix.size() == 10 && prefix[4] == '-' && prefix[7] == '-' &&
                  prefix.substr(0, 4) + prefix.substr(5, 2) + prefix.substr(8, 2) == *date,
              "date prefix " + printable(prefix) + " from " + printable(*date));
    }

    // An ASCII title without characters that need mapping keeps its text.
    const bool plain = !title.empty() && title.size() <= kelvo::Naming::maxCharacters &&
                       title.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVW"
                           "XYZ0123456789_-+=()[]{},;!'@#$%^&~") == std::string::npos;
    check(!plain || kelvo::Naming::sanitize(title, "untitled") == title,
          "plain title " + printable(title) + " was changed");
    return 0;
}
