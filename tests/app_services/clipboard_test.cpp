#include "app/linux/qt_clipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include "tests/app_services/qt_environment.h"

namespace kelvo {
namespace {

QMimeData* mime(const QString* text, const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    if (text != nullptr) {
        data->setText(*text);
    }
    if (!urls.isEmpty()) {
        data->setUrls(urls);
    }
    return data;
}

TEST(QtClipboardTest, PlainTextElseTheFirstUrlElseNothing) {
    const QString link = QStringLiteral("https://youtu.be/dQw4w9WgXcQ");
    const QString empty;
    const QList<QUrl> urls = {QUrl(QStringLiteral("https://www.youtube.com/watch?v=abc")),
                              QUrl(QStringLiteral("https://example.com/second"))};
    struct Case {
        const char* name;
        const QString* text;
        QList<QUrl> urls;
        QString expected;
    };
    const Case cases[] = {
        {"text only", &link, {}, link},
        {"text wins over urls", &link, urls, link},
        {"urls only", nullptr, urls, QStringLiteral("https://www.youtube.com/watch?v=abc")},
        {"nothing", nullptr, {}, QString()},
        {"empty text", &empty, {}, QString()},
    };
    QtClipboard clipboard;
    // Qt offers a URL list as text as well; the rule must still pick the first URL alone.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setMimeData(mime(c.text, c.urls));
        EXPECT_EQ(clipboard.text(), c.expected);
    }
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(clipboard.text(), QString());
}

}  // namespace
}  // namespace kelvo
