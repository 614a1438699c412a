#include "util/dbfRound.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

namespace tolvar {

namespace {

Currency adjustmentFor(int mode)
{
    if (mode == 1)
        return Currency::fromRaw(9900);  // 0.99: a scaled fraction below 0.01 is dropped
    if (mode == 2)
        return Currency();
    return Currency::fromRaw(5000);  // 0.5
}

}  // namespace

double dbfRound(const Currency& value, const qint16& digits, const qint16& mode)
{
    return dbfRound(value, int{digits}, int{mode});
}

double dbfRound(const Currency& value, int digits, int mode)
{
    try {
        const Currency adjustment = adjustmentFor(mode);
        Currency scale = Currency::fromInt(1);
        if (digits >= 0) {
            const Currency ten = Currency::fromInt(10);
            for (int i = 0; i < digits; ++i)
                scale = scale * ten;
        } else {
            for (int i = 0; i > digits; --i)
                scale = Currency::fromDouble(scale.toDouble() / 10.0);
        }
        const Currency product = value * scale;
        const Currency adjusted = value > Currency() ? product + adjustment : product - adjustment;
        const Currency whole = adjusted.truncated();
        if (scale == Currency())
            throw Failure::of(FailureCode::DivisionByZero);
        return whole.toDouble() / scale.toDouble();
    } catch (const Failure&) {
        MsgBox(QStringLiteral("エラー発生"), MsgIcon::Critical, QStringLiteral("dbfRound"));
        return 0;
    }
}

}  // namespace tolvar
