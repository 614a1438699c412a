// A failure that no handler caught reaches the last resort through the application's notify:
// its number and description are shown and the program ends with a non-zero status. Message boxes
// show texts from outside as plain text.
#include "startup/LastResort.h"
#include "startup/QtMessageSink.h"
#include "util/Failure.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <optional>

using namespace tolvar;

namespace {

struct Ended {
    int status;
};

class Throwing : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw Failure(3265, QStringLiteral("項目が見つかりません。"));
        if (e->type() == QEvent::User + 1)
            throw std::runtime_error("boom");
        return QObject::event(e);
    }
};

}  // namespace

TEST(last_resort, failure_in_an_event_handler_is_shown_and_ends_the_program)
{
    RecordingMessageSink recorder;
    ScopedMessageSink scoped(recorder);
    std::optional<TerminateHookForTesting> hook;
    hook.emplace([](int status) { throw Ended{status}; });
    Throwing target;
    QEvent failureEvent(QEvent::User);
    try {
        QCoreApplication::sendEvent(&target, &failureEvent);
        FAIL() << "the program did not end";
    } catch (const Ended& ended) {
        EXPECT_EQ(ended.status, kLastResortExitStatus);
    }
    QEvent otherEvent(static_cast<QEvent::Type>(QEvent::User + 1));
    EXPECT_THROW(QCoreApplication::sendEvent(&target, &otherEvent), Ended);
    hook.reset();

    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_TRUE(recorder.messages[0].text.endsWith(QStringLiteral("項目が見つかりません。(3265)")));
    EXPECT_EQ(recorder.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Tolvar"));
    EXPECT_TRUE(recorder.messages[1].text.contains(QStringLiteral("boom(-9999)")));
}

TEST(message_box, shows_a_text_from_outside_as_it_is)
{
    // A server's error text with markup in it: the box shows the characters, not bold type.
    const QString hostile = QStringLiteral("<b>relation</b> \"<img src=x>\" does not exist(207)");
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        box->accept();
    });
    QtMessageSink sink;
    sink.show(Message{hostile, QStringLiteral("dbOpen"), MsgIcon::Critical});
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, hostile);
}
