#include "app/linux/desktop_file_actions.h"

#include <gtest/gtest.h>
#include <QDesktopServices>
#include <QUrl>

#include "tests/app_services/bus_stand_ins.h"
#include "tests/app_services/qt_environment.h"
#include "tests/support/sandbox.h"

namespace kelvo {
namespace {

using test::processEventsUntil;

// Receives what QDesktopServices would hand to the desktop's default applications.
class OpenedUrls : public QObject {
    Q_OBJECT

  public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "opened"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList paths;

  public slots:
    void opened(const QUrl& url) { paths.append(url.toLocalFile()); }
};

QString qpath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class DesktopFileActionsTest : public ::testing::Test {
  protected:
    test::Sandbox box;
    OpenedUrls opened;
    DesktopFileActions actions;
};

TEST_F(DesktopFileActionsTest, OpenHandsTheFileToItsApplication) {
    const auto file = box / "a video [x].mp4";
    test::writeFile(file, "v");
    EXPECT_TRUE(actions.open(qpath(file)));
    EXPECT_EQ(opened.paths, QStringList{qpath(file)});
    EXPECT_FALSE(actions.open(qpath(box / "missing.mp4")));
    EXPECT_EQ(opened.paths.size(), 1);
}

TEST_F(DesktopFileActionsTest, RevealAsksTheFileManagerToSelectTheFile) {
    test::FileManager fileManager;
    test::BusService service(QStringLiteral("org.freedesktop.FileManager1"),
                             QStringLiteral("/org/freedesktop/FileManager1"), &fileManager);
    const auto file = box / "Über & co #1.mp4";
    test::writeFile(file, "v");

    EXPECT_TRUE(actions.reveal(qpath(file)));
    ASSERT_TRUE(processEventsUntil([&fileManager] { return fileManager.shown.size() == 1; }));
    EXPECT_EQ(fileManager.shown.front().size(), 1);
    EXPECT_EQ(QUrl(fileManager.shown.front().front()).toLocalFile(), qpath(file));
    processEventsUntil([] { return false; }, 200);
    EXPECT_TRUE(opened.paths.isEmpty());
}

TEST_F(DesktopFileActionsTest, WithoutAFileManagerRevealOpensTheFolder) {
    const auto file = box / "a.mp4";
    test::writeFile(file, "v");
    EXPECT_TRUE(actions.reveal(qpath(file)));
    ASSERT_TRUE(processEventsUntil([this] { return opened.paths.size() == 1; }));
    EXPECT_EQ(opened.paths.front(), qpath(box.root()));
}

TEST_F(DesktopFileActionsTest, RevealingAMissingFileOpensTheNearestFolderAbove) {
    EXPECT_TRUE(actions.reveal(qpath(box / "gone.mp4")));
    EXPECT_TRUE(actions.reveal(qpath(box / "no" / "such" / "gone.mp4")));
    EXPECT_EQ(opened.paths, (QStringList{qpath(box.root()), qpath(box.root())}));
}

}  // namespace
}  // namespace kelvo

#include "file_actions_test.moc"
