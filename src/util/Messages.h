// Message boxes, through one small interface: the GUI shows them (modal, OK only), the headless
// command prints them on standard error, and tests record them. Texts and captions are the
// program's own; an empty caption means the application title "Tolvar".
#pragma once

#include <QString>
#include <vector>

namespace tolvar {

enum class MsgIcon { None, Critical, Information };

struct Message {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    bool operator==(const Message&) const = default;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(const Message& message) = 0;
};

// Prints "caption: text" on standard error.
class StderrMessageSink : public MessageSink {
public:
    void show(const Message& message) override;
};

// Keeps every message shown, for tests.
class RecordingMessageSink : public MessageSink {
public:
    void show(const Message& message) override { messages.push_back(message); }
    std::vector<Message> messages;
};

QString applicationTitle();

// Shows a message through the current sink (modal: returns when the user has dismissed it).
void MsgBox(const QString& text, MsgIcon icon = MsgIcon::None, const QString& caption = {});

// The sink in use; the default prints on standard error. Not owned.
MessageSink& messageSink();
void setMessageSink(MessageSink* sink);

// Installs a sink for the lifetime of the object, then restores the previous one.
class ScopedMessageSink {
public:
    explicit ScopedMessageSink(MessageSink& sink);
    ~ScopedMessageSink();
    ScopedMessageSink(const ScopedMessageSink&) = delete;
    ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

private:
    MessageSink* previous_;
};

}  // namespace tolvar
