// What the tray app follows beyond its own jobs: the whole activity log on the clipboard, the
// Library after removals, retries and other processes' writes, and a job lock held elsewhere.

#include <QSignalSpy>

#include "app/job_lock.h"
#include "core/catalog/catalog.h"
#include "tests/app_model/model_world.h"
#include "tests/support/qt.h"

namespace kelvo::test {
namespace {

using JobStart = AppModel::JobStart;

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment<QCoreApplication>);

struct FollowTest : ::testing::Test {
    // The tray app's options: the catalog is watched, but no check runs within the test.
    std::unique_ptr<AppModel> start() {
        AppModel::Options options = world.options();
        options.automaticSync = true;
        options.syncIntervalMs = 3'600'000;
        auto model = std::make_unique<AppModel>(world.services(), options);
        QCoreApplication::processEvents();  // the check at launch: nothing is due yet
        return model;
    }
    void seed(Catalog& catalog, const std::string& id, VideoStatus status) {
        VideoRecord row;
        row.videoID = id;
        row.title = "Clip " + id;
        catalog.upsertVideo(row);
        catalog.setStatus(id, status);
    }
    ModelWorld world;
};

TEST_F(FollowTest, CopyPutsTheWholeLogOnTheClipboardOldestFirst) {
    auto model = start();
    // Far more than a text field keeps (32,767 characters).
    for (int i = 0; i < 999; ++i) {
        model->activityLog().append(QStringLiteral("line %1 ").arg(i) +
                                    QString(60, QLatin1Char('x')));
    }
    ASSERT_TRUE(model->copyActivity());
    const QStringList pasted = world.record->clipboard.split(QLatin1Char('\n'));
    ASSERT_EQ(pasted.size(), 1000);
    EXPECT_TRUE(
        pasted.front().endsWith(QStringLiteral("kelvo started (") + model->buildPill() + ")"));
    EXPECT_TRUE(pasted.back().contains(QStringLiteral("line 998 x")))
        << pasted.back().toStdString();
}

TEST_F(FollowTest, TheLibraryReloadsAfterEveryChangeOfTheCatalog) {
    // Another process's connection to the catalog; its rows are written before the model starts.
    std::filesystem::create_directories(world.dataFolder());
    Catalog other(Catalog::defaultURL());
    // Nine newer rows keep the changed ones out of the eight that `recent` holds.
    for (char letter = 'a'; letter <= 'j'; ++letter) {
        seed(other, std::string(11, letter), VideoStatus::failed);
    }
    auto model = start();
    QSignalSpy reloads(model.get(), &AppModel::libraryChanged);
    seed(other, std::string(11, 'k'), VideoStatus::done);
    EXPECT_TRUE(processEventsUntil([&] { return !reloads.isEmpty(); }));
    // The model's own changes reload at once.
    const std::vector<std::pair<const char*, std::function<void()>>> changes{
        {"remove", [&] { model->remove(QString(11, QLatin1Char('a'))); }},
        {"retry", [&] { model->retry(QString(11, QLatin1Char('b'))); }},
    };
    for (const auto& [name, change] : changes) {
        reloads.clear();
        change();
        EXPECT_EQ(reloads.size(), 1) << name;
    }
    EXPECT_TRUE(processEventsUntil([&] { return !model->isBusy(); }));
}

TEST_F(FollowTest, AJobLockHeldElsewhereIsShownAndSaysWhyNothingStarted) {
    auto model = start();
    JobLock elsewhere;  // another holder: kelvo-cli in another process
    ASSERT_TRUE(elsewhere.tryAcquire());
    model->checkBusyElsewhere();
    EXPECT_TRUE(model->busyElsewhere());
    const std::vector<std::pair<const char*, std::function<JobStart()>>> actions{
        {"download", [&] { return model->download("https://youtu.be/aaaaaaaaaaa"); }},
        {"sync",
         [&] {
             model->catalog()->addPlaylist("PLx", "Mix", (world.box / "Mix").string(), 60);
             model->refresh();
             return model->syncNow();
         }},
    };
    for (const auto& [name, action] : actions) {
        model->checkBusyElsewhere();
        EXPECT_EQ(action(), JobStart::busy) << name;
        EXPECT_TRUE(model->lastError().startsWith("Another kelvo process")) << name;
    }
    elsewhere.release();
    EXPECT_TRUE(processEventsUntil([&] { return !model->busyElsewhere(); }));
    EXPECT_EQ(model->lastError(), QString());
    EXPECT_EQ(model->download("https://youtu.be/aaaaaaaaaaa"), JobStart::started);
    EXPECT_TRUE(processEventsUntil([&] { return !model->isBusy(); }));
}

}  // namespace
}  // namespace kelvo::test
