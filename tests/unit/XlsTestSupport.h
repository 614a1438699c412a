// Helpers of the engine's tests: the test workbooks, the code an engine call fails with, and the
// Workbook stream of a file changed in place.
#pragma once

#include "support/TestSupport.h"
#include "xls/CompoundFile.h"
#include "xls/Error.h"
#include "xls/Record.h"

#include <gtest/gtest.h>
#include <functional>

namespace tolvar::test {

// A workbook of tests/data/xls, or the project's template for "MST_PO.xls".
inline xls::Bytes xlsBytes(const char* name)
{
    const QString file = QString::fromLatin1(name);
    const QString path = file == QLatin1String("MST_PO.xls") ? QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls")
                                                             : QStringLiteral(TOLVAR_XLS_DATA_DIR "/") + file;
    const QByteArray b = readFile(path);
    // A missing workbook is a broken checkout, not a file the engine should refuse.
    if (b.isEmpty())
        ADD_FAILURE() << "test workbook missing: " << path.toStdString();
    return xls::Bytes(b.begin(), b.end());
}

// The code the call fails with; 0 when it does not fail.
inline xls::ErrorCode codeOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const xls::Error& e) {
        return e.code();
    }
    return static_cast<xls::ErrorCode>(0);
}

// The same file with its Workbook stream changed by `change`.
inline xls::Bytes withStream(const xls::Bytes& file, const std::function<void(xls::Bytes&)>& change)
{
    xls::CompoundFile cf = xls::CompoundFile::parse(file);
    const int id = cf.findRootStream(u"Workbook");
    xls::Bytes stream = cf.stream(id);
    change(stream);
    cf.setStream(id, stream);
    return cf.serialize();
}

// The records of a stream as one could edit them, each with the offset of its header in the stream.
inline std::vector<xls::Record> streamRecords(const xls::Bytes& stream)
{
    return xls::parseRecords(stream);
}

}  // namespace tolvar::test
