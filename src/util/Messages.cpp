#include "util/Messages.h"

#include "platform/Console.h"

namespace tolvar {

namespace {
StderrMessageSink defaultSink;
MessageSink* currentSink = &defaultSink;
}  // namespace

void StderrMessageSink::show(const Message& message)
{
    QString text = message.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    const QString line = message.caption + QLatin1String(": ") + text + QLatin1Char('\n');
    writeConsole(stderr, line);
}

QString applicationTitle()
{
    return QStringLiteral("Tolvar");
}

void MsgBox(const QString& text, MsgIcon icon, const QString& caption)
{
    currentSink->show(Message{text, caption.isEmpty() ? applicationTitle() : caption, icon});
}

MessageSink& messageSink()
{
    return *currentSink;
}

void setMessageSink(MessageSink* sink)
{
    currentSink = sink ? sink : &defaultSink;
}

ScopedMessageSink::ScopedMessageSink(MessageSink& sink) : previous_(&messageSink())
{
    setMessageSink(&sink);
}

ScopedMessageSink::~ScopedMessageSink()
{
    setMessageSink(previous_);
}

}  // namespace tolvar
