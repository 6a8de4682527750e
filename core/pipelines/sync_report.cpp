#include "core/pipelines/sync_report.h"

namespace kelvo {

std::string SyncReport::summary() const {
    std::string line = playlist + ": ";
    line += std::to_string(added.size()) + " new, ";
    line += std::to_string(copied.size()) + " copied, ";
    line += std::to_string(restored.size()) + " restored, ";
    line += std::to_string(archived.size()) + " archived, ";
    line += std::to_string(inSync) + " unchanged";
    if (!skippedSignIn.empty()) {
        line += ", " + std::to_string(skippedSignIn.size()) + " need sign-in";
    }
    if (!failed.empty()) {
        line += ", " + std::to_string(failed.size()) + " failed";
    }
    if (unavailable != 0) {
        line += ", " + std::to_string(unavailable) + " unavailable on YouTube";
    }
    if (deletedByYou != 0) {
        line += ", " + std::to_string(deletedByYou) + " deleted by you";
    }
    if (waiting != 0) {
        line += ", " + std::to_string(waiting) + " waiting";
    }
    return line;
}

}  // namespace kelvo
