#include "core/library/nfo_writer.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string_view>
#include <system_error>

#include "core/library/naming.h"
#include "core/text/unicode.h"

namespace kelvo::NFOWriter {

namespace fs = std::filesystem;

namespace {

// The number of bytes of the well-formed UTF-8 sequence at the start of `rest`, or 0.
std::size_t utf8SequenceLength(std::string_view rest) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
    const auto continuation = [&](std::size_t i) {
        return i < rest.size() && (byte(i) & 0xC0) == 0x80;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continuation(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2)) {
            return 0;
        }
        const unsigned char second = byte(1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) {
            return 0;  // overlong, or a surrogate
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) {
            return 0;
        }
        const unsigned char second = byte(1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
            return 0;  // overlong, or beyond U+10FFFF
        }
        return 4;
    }
    return 0;
}

// XML escaping of one value. Besides the five markup characters, everything XML 1.0 cannot
// carry goes: control characters other than tab, line feed and carriage return, and U+FFFE and
// U+FFFF; bytes that are not UTF-8 become U+FFFD. The document therefore always parses.
std::string escaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t length = utf8SequenceLength(value.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const std::string_view sequence = value.substr(i, length);
        i += length;
        if (length == 1) {
            const char c = sequence[0];
            switch (c) {
                case '&':
                    out += "&amp;";
                    continue;
                case '<':
                    out += "&lt;";
                    continue;
                case '>':
                    out += "&gt;";
                    continue;
                case '"':
                    out += "&quot;";
                    continue;
                case '\'':
                    out += "&apos;";
                    continue;
                default:
                    break;
            }
            if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n' && c != '\r') {
                continue;
            }
        } else if (sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF") {
            continue;
        }
        out += sequence;
    }
    return out;
}

void addElement(std::string& doc, std::string_view opening, std::string_view closing,
                std::string_view value) {
    doc += "  ";
    doc += opening;
    doc += escaped(text::trimmed(value));
    doc += "</";
    doc += closing;
    doc += ">\n";
}

bool hasText(std::string_view value) {
    return !text::trimmed(value).empty();
}

// Whole minutes, halves away from zero, at least 1.
std::string runtimeMinutes(double seconds) {
    double minutes = std::round(seconds / 60.0);
    if (!(minutes >= 1.0) || !std::isfinite(minutes)) {
        minutes = 1.0;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", minutes);
    return buffer;
}

[[noreturn]] void fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

void writeAll(int fd, std::string_view data, const fs::path& path) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("cannot write sidecar", path, errno);
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

std::string xml(const VideoMetadata& meta, const std::optional<std::string>& summary,
                const std::vector<std::string>& tags, const std::optional<std::string>& dateAdded) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<movie>\n";
    if (hasText(meta.title)) {
        addElement(doc, "<title>", "title", meta.title);
    }
    if (summary && hasText(*summary)) {
        addElement(doc, "<plot>", "plot", *summary);
        addElement(doc, "<outline>", "outline", *summary);
    }
    if (meta.channel && hasText(*meta.channel)) {
        addElement(doc, "<studio>", "studio", *meta.channel);
    }
    const std::string stamp = Naming::datePrefix(meta.uploadDate);
    if (stamp != "undated") {
        addElement(doc, "<premiered>", "premiered", stamp);
        addElement(doc, "<year>", "year", stamp.substr(0, 4));
    }
    if (dateAdded && hasText(*dateAdded)) {
        addElement(doc, "<dateadded>", "dateadded", *dateAdded);
    }
    if (meta.duration) {
        addElement(doc, "<runtime>", "runtime", runtimeMinutes(*meta.duration));
    }
    for (const std::string& category : meta.categories) {
        if (hasText(category)) {
            addElement(doc, "<genre>", "genre", category);
        }
    }
    std::set<std::string> seen;
    for (const std::string& tag : tags) {
        // Repeats are judged on the untrimmed lower-case form; the first spelling is written.
        if (!seen.insert(text::lowercased(tag)).second) {
            continue;
        }
        if (hasText(tag)) {
            addElement(doc, "<tag>", "tag", tag);
        }
    }
    if (hasText(meta.id)) {
        addElement(doc, "<uniqueid type=\"youtube\" default=\"true\">", "uniqueid", meta.id);
    }
    doc += "</movie>\n";
    return doc;
}

void write(const VideoMetadata& meta, const std::optional<std::string>& summary,
           const std::vector<std::string>& tags, const fs::path& to,
           const std::optional<std::string>& dateAdded) {
    const std::string doc = xml(meta, summary, tags, dateAdded);
    const fs::path temporary = Naming::temporaryBeside(to);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail("cannot write sidecar", to, errno);
    }
    try {
        writeAll(fd, doc, to);
        if (::fsync(fd) != 0) {
            fail("cannot write sidecar", to, errno);
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot write sidecar", to, error);
    }
    if (::rename(temporary.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("cannot write sidecar", to, error);
    }
    // Make the rename itself durable; a folder that cannot be synced is no failure of the write.
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace kelvo::NFOWriter
