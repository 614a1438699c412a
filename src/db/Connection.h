// Connection: one Qt SQL connection of its own name, closed and removed when the object goes.
// dbOpen makes a new one for every task; the Recordsets of a task run on it.
#pragma once

#include "db/ConnectionPlan.h"

#include <QSqlDatabase>
#include <QString>

namespace tolvar {

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens with the plan; throws a Failure when the database cannot be reached.
    void open(const ConnectionPlan& plan);
    // Never fails: closing a connection that is not open does nothing.
    void close() noexcept;
    bool isOpen() const;
    QSqlDatabase database() const;
    const QString& name() const { return name_; }

private:
    QString name_;
};

}  // namespace tolvar
