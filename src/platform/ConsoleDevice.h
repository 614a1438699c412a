// ConsoleDevice: the write-only device behind openConsole. It hands whole UTF-8 characters to a
// writer (a character cut between two writes waits for its rest), so the writer can turn them into
// the console's own text.
#pragma once

#include <QIODevice>
#include <functional>

namespace tolvar {

class ConsoleDevice : public QIODevice {
public:
    using Writer = std::function<void(QByteArrayView utf8)>;
    explicit ConsoleDevice(Writer writer);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    Writer writer_;
    QByteArray pending_;  // the start of a character whose rest has not come yet
};

}  // namespace tolvar
