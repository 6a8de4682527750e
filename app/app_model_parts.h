#pragma once

// Shared by the files of AppModel (app_model*.cpp) only: the progress a job reports, what a job
// hands back, and the small text helpers.

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/build_version.h"
#include "app/paths.h"
#include "core/catalog/catalog.h"
#include "core/engine/downloaded_bytes.h"
#include "core/engine/engine_error.h"
#include "core/engine/ytdlp_engine.h"
#include "core/library/video_files.h"
#include "core/links/youtube_link.h"
#include "core/links/ytdlp_playlist_source.h"
#include "core/pipelines/downloader.h"
#include "core/pipelines/sync_engine.h"
#include "core/summaries/on_device_summarizer.h"
#include "core/text/unicode.h"
#include "core/tools/tool_updater.h"
#include "core/tools/tool_versions.h"

#include "app/app_model.h"

namespace kelvo {

namespace fs = std::filesystem;

// What the worker tells the progress poller: the file yt-dlp is writing right now.
struct JobProgress {
    std::mutex mutex;
    fs::path folder;
    std::string baseName;
    bool downloading = false;
};

// What a job hands back to the main thread when it ends.
struct AppModel::Job {
    JobKind kind = JobKind::sync;
    bool ok = true;
    QStringList results;
};

struct AppModel::JobTools {
    Catalog* catalog = nullptr;
    ToolLocator locator;
    std::shared_ptr<Summarizer> summarizer;
    std::shared_ptr<JobProgress> progress;
    std::chrono::milliseconds killGrace{};
    DownloadOptions options;
    // A line for the activity log, written on the main thread.
    LogCallback logLine;

    // yt-dlp for one job, stopped by `stop`; throws EngineError::toolMissing.
    YTDLPEngine engine(std::stop_token stop) const {
        YTDLPEngine engine(locator, 3, std::move(stop));
        engine.setKillGrace(killGrace);
        engine.setOptions(options);
        return engine;
    }
};

namespace model_detail {

inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string ss(const QString& text) {
    return text.toStdString();
}

inline QVariant optionalText(const std::optional<std::string>& text) {
    return text ? QVariant(qs(*text)) : QVariant();
}

inline QVariant optionalTime(const std::optional<TimePoint>& time) {
    return time ? QVariant(*time) : QVariant();
}

inline QString quoted(const QString& title) {
    return QLatin1Char('"') + title + QLatin1Char('"');
}

// The download engine of one job, noting which file is being written so the model can show
// how far the download got.
class ObservedEngine : public DownloadEngine {
  public:
    ObservedEngine(DownloadEngine& inner, std::shared_ptr<JobProgress> progress)
        : inner_(inner), progress_(std::move(progress)) {}

    VideoMetadata metadata(std::string_view link) override { return inner_.metadata(link); }

    fs::path download(std::string_view link, const fs::path& folder,
                      std::string_view baseName) override {
        set(folder, std::string(baseName), true);
        try {
            fs::path file = inner_.download(link, folder, baseName);
            set({}, {}, false);
            return file;
        } catch (...) {
            set({}, {}, false);
            throw;
        }
    }

  private:
    void set(fs::path folder, std::string baseName, bool downloading) {
        std::lock_guard lock(progress_->mutex);
        progress_->folder = std::move(folder);
        progress_->baseName = std::move(baseName);
        progress_->downloading = downloading;
    }

    DownloadEngine& inner_;
    std::shared_ptr<JobProgress> progress_;
};

inline QString statusWord(const CatalogEntry& entry) {
    switch (entry.status) {
        case VideoStatus::queued:
            return QStringLiteral("Queued");
        case VideoStatus::downloading:
            return QStringLiteral("Downloading");
        case VideoStatus::needsSignIn:
            return QStringLiteral("Needs sign-in");
        case VideoStatus::failed:
            return QStringLiteral("Failed");
        case VideoStatus::done:
            if (entry.isMissing) {
                return QStringLiteral("File missing");
            }
            return entry.isArchived ? QStringLiteral("Archived") : QStringLiteral("Downloaded");
        case VideoStatus::deleted:
            return QStringLiteral("Deleted");
    }
    return QString();
}

// The Library row's pill: the status word, but none for a plain download or a deleted entry,
// and "Downloading" while still queued.
inline QString statusPill(const CatalogEntry& entry) {
    const bool plain = entry.status == VideoStatus::done && !entry.isMissing && !entry.isArchived;
    if (plain || entry.status == VideoStatus::deleted) {
        return QString();
    }
    return entry.status == VideoStatus::queued ? QStringLiteral("Downloading") : statusWord(entry);
}

inline QString displayDate(const std::optional<std::string>& uploadDate) {
    if (!uploadDate) {
        return QStringLiteral("undated");
    }
    QString date = qs(*uploadDate);
    if (date.size() == 8) {
        date = date.left(4) + QLatin1Char('-') + date.mid(4, 2) + QLatin1Char('-') + date.mid(6);
    }
    return date;
}

inline QString intervalText(std::int64_t minutes) {
    if (minutes < 60) {
        return QStringLiteral("every %1 min").arg(minutes);
    }
    return QStringLiteral("every %1 h").arg(minutes / 60);
}

// The text with spaces and tabs (not line breaks) trimmed from both ends.
inline QString trimHorizontal(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && blank(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

inline QString errorText(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

inline bool isRefusal(const std::exception& error) {
    const auto* engineError = dynamic_cast<const EngineError*>(&error);
    return engineError != nullptr && engineError->kind() == EngineError::Kind::refused;
}

// The one line a job adds when yt-dlp's own error text asks for its latest version.
inline const QString updateAdviceLine = QStringLiteral(
    "yt-dlp asks to be brought up to date: press “Update yt-dlp” in Settings › "
    "Download settings, or run kelvo-cli tools update.");

}  // namespace model_detail

}  // namespace kelvo
