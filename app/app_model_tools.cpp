// The Settings window's background checks: summaries, the yt-dlp version and its update, and
// settings by name.

#include "app/app_model_parts.h"

namespace kelvo {

using namespace model_detail;

void AppModel::checkSummaries() {
    std::shared_ptr<Summarizer> summarizer = makeSummarizer();
    runAux([this, summarizer](std::stop_token) {
        bool available = false;
        QString text;
        if (!summarizer) {
            text = QStringLiteral("Unavailable: summaries are turned off");
        } else if (auto* local = dynamic_cast<OnDeviceSummarizer*>(summarizer.get())) {
            const OnDeviceSummarizer::Status status = local->status();
            available = status.available;
            text = qs(status.text());
        } else {
            available = summarizer->isAvailable();
            text = available
                       ? qs(summarizer->modelVersion())
                       : QStringLiteral("Unavailable: ") + qs(summarizer->unavailableReason());
        }
        post([this, available, text] {
            summariesAvailable_ = available;
            summariesStatus_ = text;
            emit summariesStatusChanged();
        });
    });
}

void AppModel::setToolsMessage(const QString& message) {
    if (toolsMessage_ != message) {
        toolsMessage_ = message;
        emit toolsChanged();
    }
}

void AppModel::checkTools() {
    const ToolLocator locator = makeLocator();
    runAux([this, locator](std::stop_token stop) {
        const auto path = locator.find("yt-dlp");
        const auto version =
            path ? toolVersion(*path, std::chrono::seconds(15), stop) : std::nullopt;
        const int age = version ? kelvo::ytdlpAgeDays(*version, utcToday()).value_or(-1) : -1;
        const QString text = !path     ? QStringLiteral("not found")
                             : version ? qs(*version)
                                       : QStringLiteral("version unknown");
        post([this, text, age] {
            ytdlpVersion_ = text;
            ytdlpAgeDays_ = age;
            emit toolsChanged();
        });
    });
}

void AppModel::updateYtdlp() {
    if (toolsUpdating_) {
        return;
    }
    // The update replaces what a job runs: it holds the job lock, so no job starts meanwhile
    // (here or in kelvo-cli), and it does not start while one runs.
    auto lock = std::make_shared<JobLock>();
    bool free = !busy_;
    try {
        free = free && lock->tryAcquire();
    } catch (const std::exception&) {
        // No lock file can be made: jobs cannot run either.
    }
    if (!free) {
        setToolsMessage(QStringLiteral("✗ Busy with a download — update yt-dlp when it finishes."));
        return;
    }
    toolsUpdating_ = true;
    setToolsMessage(QStringLiteral("Looking for the latest yt-dlp…"));
    const ToolLocator locator = makeLocator();
    runAux([this, lock, locator](std::stop_token stop) {
        const auto current = locator.find("yt-dlp");
        const std::string before =
            current ? toolVersion(*current, std::chrono::seconds(15), stop).value_or("unknown")
                    : std::string("none");
        ToolUpdater::Options options = ToolUpdater::Options::fromEnvironment(currentEnvironment());
        options.stop = stop;
        auto shown = std::make_shared<QString>();
        options.progress = [this, shown](const ToolProgress& step) {
            QString text = QStringLiteral("Downloading yt-dlp… %1 MB")
                               .arg(static_cast<double>(step.received) / 1e6, 0, 'f', 1);
            if (step.total > 0) {
                text += QStringLiteral(" of %1 MB")
                            .arg(static_cast<double>(step.total) / 1e6, 0, 'f', 1);
            }
            if (text != *shown) {
                *shown = text;
                post([this, text] { setToolsMessage(text); });
            }
        };
        QString result;
        try {
            const ToolUpdateResult installed = ToolUpdater(options).update("yt-dlp");
            result = QStringLiteral("✓ yt-dlp ") + qs(before) + QStringLiteral(" → ") +
                     qs(installed.version);
        } catch (const std::exception& error) {
            result = QStringLiteral("✗ yt-dlp was not updated: ") + errorText(error);
        }
        lock->release();
        post([this, result] {
            toolsUpdating_ = false;
            setToolsMessage(result);
            log(result);
            checkTools();
        });
    });
}

QString AppModel::setting(const QString& name) const {
    const Setting* setting = SettingsStore::find(name);
    return setting ? settings_.value(*setting) : QString();
}

QString AppModel::setSetting(const QString& name, const QString& value) {
    const Setting* setting = SettingsStore::find(name);
    if (!setting) {
        return QStringLiteral("no setting ") + name;
    }
    if (const std::optional<QString> refusal = settings_.setValue(*setting, value)) {
        return *refusal;
    }
    emit settingsChanged();
    return QString();
}

}  // namespace kelvo
