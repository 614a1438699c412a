// The message sink of the desktop program: a modal QMessageBox with an OK button only, the icon
// the message asks for, and its caption.
#pragma once

#include "util/Messages.h"

namespace tolvar {

class QtMessageSink : public MessageSink {
public:
    void show(const Message& message) override;
};

}  // namespace tolvar
