#include "util/FailureCodes.h"

namespace tolvar {

QString failureText(FailureCode code)
{
    switch (code) {
    case FailureCode::TypeMismatch: return QStringLiteral("型が一致しません。");
    case FailureCode::Overflow: return QStringLiteral("オーバーフローしました。");
    case FailureCode::ItemNotFound:
        return QStringLiteral("要求された名前または序数に対応する項目がコレクション内に見つかりません。");
    case FailureCode::DbUnknownProvider: return QStringLiteral("プロバイダが見つかりません。");
    case FailureCode::DbEmptyServer: return QStringLiteral("サーバー名が指定されていません。");
    case FailureCode::DbDriverMissing: return QStringLiteral("データベースドライバがインストールされていません。");
    case FailureCode::DbFileMissing: return QStringLiteral("データベースファイルが見つかりません。");
    case FailureCode::DbOpenFailed: return QStringLiteral("データベースに接続できません。");
    case FailureCode::DbUnknownKind: return QStringLiteral("接続の種類が不正です。");
    case FailureCode::DbStatementFailed: return QStringLiteral("SQL 文を実行できません。");
    case FailureCode::DbNotOpen: return QStringLiteral("データベース接続が開いていません。");
    case FailureCode::DbReadFailed: return QStringLiteral("データを読み取れません。");
    case FailureCode::FileMissing: return QStringLiteral("ファイルが見つかりません。");
    case FailureCode::FileOpenInOtherProgram: return QStringLiteral("ファイルは別のプログラムで開かれています。");
    case FailureCode::FileWriteFailed: return QStringLiteral("ファイルに書き込めません。");
    case FailureCode::FolderMissing: return QStringLiteral("フォルダが見つかりません。");
    case FailureCode::TemplateSheets:
        return QStringLiteral("テンプレートには「海外納品情報」と「Purchase Order」の 2 シートだけが必要です。");
    case FailureCode::WorkbookCheckFailed: return QStringLiteral("作成したブックを読み直すと書いた内容と違います。");
    case FailureCode::Unexpected: return QStringLiteral("予期しないエラーが発生しました。");
    }
    return {};
}

const std::vector<FailureCode>& allFailureCodes()
{
    static const std::vector<FailureCode> codes = {
        FailureCode::TypeMismatch,    FailureCode::Overflow,
        FailureCode::ItemNotFound,    FailureCode::DbUnknownProvider,
        FailureCode::DbEmptyServer,   FailureCode::DbDriverMissing,
        FailureCode::DbFileMissing,   FailureCode::DbOpenFailed,
        FailureCode::DbUnknownKind,   FailureCode::DbStatementFailed,
        FailureCode::DbNotOpen,       FailureCode::DbReadFailed,
        FailureCode::FileMissing,     FailureCode::FileOpenInOtherProgram,
        FailureCode::FileWriteFailed, FailureCode::FolderMissing,
        FailureCode::TemplateSheets,  FailureCode::WorkbookCheckFailed,
        FailureCode::Unexpected,
    };
    return codes;
}

qint32 toNumber(FailureCode code)
{
    return static_cast<qint32>(code);
}

}  // namespace tolvar
