#include "common/messageboxcontext.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(MessageBoxContextTest, QuestionBuildsTheRequestMapInButtonOrder) {
    MessageBoxContext ctx;
    QSignalSpy spy(&ctx, &MessageBoxContext::msgbox);
    int yes = 0;
    int no = 0;
    ctx.question(
        QString(), QStringLiteral("Delete?"), [&yes] { ++yes; }, [&no] { ++no; });
    ASSERT_EQ(spy.count(), 1);
    const QVariantMap req = spy.at(0).at(0).toMap();
    EXPECT_EQ(req.value(QStringLiteral("title")).toString(), QString());
    EXPECT_EQ(req.value(QStringLiteral("msg")).toString(), QStringLiteral("Delete?"));
    EXPECT_EQ(req.value(QStringLiteral("icon")).toInt(), int(MessageBoxContext::Question));
    EXPECT_EQ(req.value(QStringLiteral("buttons")).toList(),
              (QVariantList{int(MessageBoxContext::Yes), int(MessageBoxContext::No)}));
    EXPECT_EQ(req.value(QStringLiteral("buttonNames")).toList(),
              (QVariantList{QStringLiteral("Yes"), QStringLiteral("No")}));

    // The presenter hands back the variant it received; only the pressed button's callback runs.
    const QVariantList cbs = req.value(QStringLiteral("cbs")).toList();
    ASSERT_EQ(cbs.size(), 2);
    ctx.callBack(cbs.at(1));
    EXPECT_EQ(yes, 0);
    EXPECT_EQ(no, 1);
    ctx.callBack(cbs.at(0));
    EXPECT_EQ(yes, 1);
}

TEST(MessageBoxContextTest, ErrorHasOneOkButtonAndAnEmptyCallbackIsHarmless) {
    MessageBoxContext ctx;
    QSignalSpy spy(&ctx, &MessageBoxContext::msgbox);
    ctx.error(QString(), QStringLiteral("Failed"));
    ASSERT_EQ(spy.count(), 1);
    const QVariantMap req = spy.at(0).at(0).toMap();
    EXPECT_EQ(req.value(QStringLiteral("icon")).toInt(), int(MessageBoxContext::Error));
    EXPECT_EQ(req.value(QStringLiteral("buttons")).toList(), (QVariantList{int(MessageBoxContext::OK)}));
    EXPECT_EQ(req.value(QStringLiteral("buttonNames")).toList(), (QVariantList{QStringLiteral("OK")}));
    ctx.callBack(req.value(QStringLiteral("cbs")).toList().at(0));
}

TEST(MessageBoxContextTest, GlobalIsOneInstance) {
    EXPECT_EQ(MessageBoxContext::global(), MessageBoxContext::global());
    EXPECT_NE(MessageBoxContext::global(), nullptr);
}
