// batchReport: the one message at the end of a batch. "N件作成しました。" (終了, information) when
// every workbook and PDF asked for was made; otherwise the count made and, for each PO that
// failed, its number and the failure's description (エラー, critical), at most kListed of them
// with the rest counted. A batch cancelled part-way says how many were left.
#pragma once

#include "pofile/PoBatch.h"
#include "util/Messages.h"

namespace tolvar {

inline constexpr int kListed = 20;

Message batchReport(const PoBatchResult& result);

}  // namespace tolvar
