#include "app/settings_store.h"

#include <QStandardPaths>

#include "app/paths.h"

namespace kelvo {

SettingsStore::SettingsStore(QString filePath)
    : settings_(std::make_unique<QSettings>(
          filePath.isEmpty() ? paths::settingsFile() : std::move(filePath), QSettings::IniFormat)) {
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultLibraryFolder() {
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty()) {
        videos = paths::home() + QStringLiteral("/Videos");
    }
    return paths::abbreviateHome(videos + QStringLiteral("/kelvo"));
}

QString SettingsStore::libraryFolder() const {
    settings_->sync();  // kelvo-cli may have changed it
    const QVariant value = settings_->value(QLatin1String(libraryFolderKey));
    return value.isValid() ? value.toString() : defaultLibraryFolder();
}

void SettingsStore::setLibraryFolder(const QString& folder) {
    settings_->setValue(QLatin1String(libraryFolderKey), folder);
    settings_->sync();
}

QString SettingsStore::appearance() const {
    settings_->sync();
    const QVariant value = settings_->value(QLatin1String(appearanceKey));
    return value.isValid() ? value.toString() : QString::fromLatin1(defaultAppearance);
}

void SettingsStore::setAppearance(const QString& appearance) {
    settings_->setValue(QLatin1String(appearanceKey), appearance);
    settings_->sync();
}

void SettingsStore::clear() {
    settings_->clear();
    settings_->sync();
}

namespace {

const QStringList onOff{QStringLiteral("on"), QStringLiteral("off")};

Setting onOffSetting(const char* name, const char* iniKey) {
    return {QLatin1String(name), QLatin1String(iniKey), onOff, QStringLiteral("off")};
}

// "en, de" -> "en,de"; nullopt when an item is not a language code (letters, digits, "-", "_").
std::optional<QString> languageList(const QString& text) {
    QStringList codes;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString code = item.trimmed();
        if (code.isEmpty()) {
            continue;
        }
        for (const QChar c : code) {
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') &&
                c != QLatin1Char('_')) {
                return std::nullopt;
            }
        }
        codes << code;
    }
    return codes.join(QLatin1Char(','));
}

}  // namespace

const QList<Setting>& SettingsStore::all() {
    static const QList<Setting> settings{
        {QStringLiteral("library-folder"), QLatin1String(libraryFolderKey), {}, {}},
        {QStringLiteral("appearance"),
         QLatin1String(appearanceKey),
         {QStringLiteral("dark"), QStringLiteral("light"), QStringLiteral("system"),
          QStringLiteral("matrix")},
         QLatin1String(defaultAppearance)},
        {QStringLiteral("pause-between-downloads"),
         QStringLiteral("pauseBetweenDownloads"),
         {QStringLiteral("0"), QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("30")},
         QStringLiteral("0")},
        {QStringLiteral("cookies-from"),
         QStringLiteral("cookiesFrom"),
         {QStringLiteral("none"), QStringLiteral("firefox"), QStringLiteral("chromium"),
          QStringLiteral("chrome"), QStringLiteral("brave"), QStringLiteral("edge"),
          QStringLiteral("vivaldi")},
         QStringLiteral("none")},
        onOffSetting("thumbnails", "thumbnails"),
        {QStringLiteral("subtitles"), QStringLiteral("subtitles"), {}, {}},
        onOffSetting("automatic-captions", "automaticCaptions"),
        onOffSetting("sponsor-chapters", "sponsorChapters"),
        onOffSetting("upload-date-as-file-time", "uploadDateAsFileTime"),
        onOffSetting("keep-archives-out", "keepArchivesOut"),
    };
    return settings;
}

const Setting* SettingsStore::find(const QString& name) {
    for (const Setting& setting : all()) {
        if (setting.name == name) {
            return &setting;
        }
    }
    return nullptr;
}

QString SettingsStore::value(const Setting& setting) const {
    if (setting.iniKey == QLatin1String(libraryFolderKey)) {
        return libraryFolder();
    }
    settings_->sync();
    const QVariant stored = settings_->value(setting.iniKey);
    return stored.isValid() ? stored.toString() : setting.defaultValue;
}

std::optional<QString> SettingsStore::setValue(const Setting& setting, const QString& value) {
    QString text = value.trimmed();
    if (setting.name == QLatin1String("subtitles")) {
        const std::optional<QString> list = languageList(text);
        if (!list) {
            return QStringLiteral(
                "subtitles takes language codes separated by commas (for "
                "example en,de), or nothing for none");
        }
        text = *list;
    } else if (!setting.allowed.isEmpty() && !setting.allowed.contains(text)) {
        return setting.name + QStringLiteral(" takes one of: ") +
               setting.allowed.join(QStringLiteral(", "));
    } else if (setting.allowed.isEmpty() && text.isEmpty()) {
        return setting.name + QStringLiteral(" cannot be empty");
    }
    settings_->setValue(setting.iniKey, text);
    settings_->sync();
    return std::nullopt;
}

DownloadOptions SettingsStore::downloadOptions() const {
    const auto text = [this](const char* name) { return value(*find(QLatin1String(name))); };
    const auto on = [&text](const char* name) { return text(name) == QLatin1String("on"); };
    DownloadOptions options;
    const QString browser = text("cookies-from");
    if (browser != QLatin1String("none")) {
        options.cookiesFromBrowser = browser.toStdString();
    }
    options.pauseBetweenDownloadsSeconds = text("pause-between-downloads").toInt();
    options.thumbnails = on("thumbnails");
    for (const QString& code : text("subtitles").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        options.subtitleLanguages.push_back(code.toStdString());
    }
    options.automaticCaptions = on("automatic-captions");
    options.sponsorChapters = on("sponsor-chapters");
    options.uploadDateAsFileTime = on("upload-date-as-file-time");
    options.keepArchivesOut = on("keep-archives-out");
    return options;
}

}  // namespace kelvo
