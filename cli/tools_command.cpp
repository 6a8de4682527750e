#include "cli/tools_command.h"

#include <unistd.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>
#include <thread>

#include "app/stop_signals.h"
#include "cli/cli_app.h"
#include "core/engine/tool_locator.h"
#include "core/tools/tool_updater.h"
#include "core/tools/tool_versions.h"

namespace kelvo {

namespace {

// A yt-dlp older than this likely fails against today's YouTube.
constexpr int staleDays = 60;

void write(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

ToolLocator currentLocator() {
    return ToolLocator(currentEnvironment(), ToolLocator::currentExecutable());
}

std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// The download progress on stderr: one line rewritten in place on a terminal, otherwise a line
// at every quarter (every 10 MB while the size is unknown).
class ProgressLine {
  public:
    void show(const ToolProgress& progress) {
        const std::string text =
            "kelvo-cli: downloading " + std::string(progress.tool) + ": " +
            megabytes(progress.received) +
            (progress.total > 0 ? " of " + megabytes(progress.total) : std::string());
        if (terminal_) {
            std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
            std::fflush(stderr);
            open_ = true;
            return;
        }
        const std::uint64_t step = progress.total > 0 ? progress.received * 4 / progress.total
                                                      : progress.received / 10'000'000;
        if (progress.tool != tool_ || step != step_) {
            tool_ = progress.tool;
            step_ = step;
            write(stderr, text);
        }
    }
    // Ends the rewritten line before other output.
    void finish() {
        if (open_) {
            std::fputc('\n', stderr);
            open_ = false;
        }
    }

  private:
    bool terminal_ = ::isatty(STDERR_FILENO) == 1;
    bool open_ = false;
    std::string tool_;
    std::uint64_t step_ = 0;
};

int runUpdates(bool checkOnly, std::stop_token stop) {
    const ToolLocator locator = currentLocator();
    ProgressLine progress;
    ToolUpdater::Options options = ToolUpdater::Options::fromEnvironment(currentEnvironment());
    options.stop = stop;
    options.progress = [&progress](const ToolProgress& step) { progress.show(step); };
    const ToolUpdater updater(options);

    int status = CliApp::ok;
    for (const std::string& tool : ToolUpdater::tools()) {
        const auto current = locator.find(tool);
        const std::string before =
            current ? toolVersion(*current).value_or("unknown") : std::string("none");
        try {
            if (checkOnly) {
                const ToolUpdateResult latest = updater.check(tool);
                write(stdout, tool + " " + before + " → " + latest.version + " available");
            } else {
                const ToolUpdateResult installed = updater.update(tool);
                progress.finish();
                write(stdout, tool + " " + before + " → " + installed.version);
                write(stderr, "kelvo-cli: installed " + installed.path.string());
            }
        } catch (const ToolUpdateError& error) {
            progress.finish();
            write(stderr, "kelvo-cli: " + tool + ": " + error.what());
            status = CliApp::failed;
            if (error.kind() == ToolUpdateError::Kind::stopped) {
                break;
            }
        }
    }
    return status;
}

}  // namespace

int printTools(bool json) {
    const ToolLocator locator = currentLocator();
    QJsonArray array;
    for (const char* name : {"yt-dlp", "deno", "ffmpeg"}) {
        const std::string tool = name;
        const auto path = locator.find(tool);
        const auto version = path ? toolVersion(*path) : std::nullopt;
        // Days since the release; -1 when unknown or not yt-dlp.
        const int age =
            tool == "yt-dlp" && version ? ytdlpAgeDays(*version, utcToday()).value_or(-1) : -1;
        QJsonObject entry{{"name", QString::fromStdString(tool)}};
        entry["path"] = path ? QJsonValue(QString::fromStdString(path->string())) : QJsonValue();
        entry["version"] = version ? QJsonValue(QString::fromStdString(*version)) : QJsonValue();
        if (tool == "yt-dlp") {
            entry["ageDays"] = age >= 0 ? QJsonValue(age) : QJsonValue();
        }
        std::string line = tool + "\t";
        if (path) {
            line += version.value_or("version unknown");
            if (age >= 0) {
                line += " (" + std::to_string(age) + " days old)";
            }
            line += "\t" + path->string();
        } else {
            QJsonArray searched;
            line += "not found; looked in";
            const char* separator = " ";
            for (const auto& folder : locator.searchDirs()) {
                searched.append(QString::fromStdString(folder.string()));
                line += separator + folder.string();
                separator = ", ";
            }
            entry["searched"] = searched;
        }
        array.append(entry);
        if (!json) {
            write(stdout, line);
            if (age > staleDays) {
                write(stderr, "kelvo-cli: this yt-dlp is " + std::to_string(age) +
                                  " days old and may fail against YouTube; kelvo-cli tools "
                                  "update installs the latest.");
            }
        }
    }
    if (json) {
        write(stdout, QJsonDocument(array).toJson(QJsonDocument::Indented).trimmed().toStdString());
    }
    return CliApp::ok;
}

int updateTools(bool checkOnly) {
    std::stop_source stop;
    StopSignals stopSignals;
    QEventLoop loop;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, [&stop] {
        write(stderr, "kelvo-cli: stopping…");
        stop.request_stop();
    });
    int status = CliApp::failed;
    std::thread worker([&] {
        status = runUpdates(checkOnly, stop.get_token());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    return status;
}

}  // namespace kelvo
