#include "util/FailureCodes.h"

#include <algorithm>
#include <iterator>

namespace tolvar {

namespace {

// Every code with its text: the one list that failureText and allFailureCodes read.
struct Entry {
    FailureCode code;
    const char16_t* text;
};

constexpr Entry kTable[] = {
    {FailureCode::TypeMismatch, u"型が一致しません。"},
    {FailureCode::Overflow, u"オーバーフローしました。"},
    {FailureCode::DivisionByZero, u"0 で除算しました。"},
    {FailureCode::ItemNotFound, u"要求された名前または序数に対応する項目がコレクション内に見つかりません。"},
    {FailureCode::DbUnknownProvider, u"プロバイダが見つかりません。"},
    {FailureCode::DbEmptyServer, u"サーバー名が指定されていません。"},
    {FailureCode::DbDriverMissing, u"データベースドライバがインストールされていません。"},
    {FailureCode::DbFileMissing, u"データベースファイルが見つかりません。"},
    {FailureCode::DbOpenFailed, u"データベースに接続できません。"},
    {FailureCode::DbUnknownKind, u"接続の種類が不正です。"},
    {FailureCode::DbStatementFailed, u"SQL 文を実行できません。"},
    {FailureCode::DbNotOpen, u"データベース接続が開いていません。"},
    {FailureCode::DbReadFailed, u"データを読み取れません。"},
    {FailureCode::DbDriverPath, u"ODBC ドライバはファイルのパスではなく、登録された名前で指定してください。"},
    {FailureCode::FileMissing, u"ファイルが見つかりません。"},
    {FailureCode::FileOpenInOtherProgram, u"ファイルは別のプログラムで開かれています。"},
    {FailureCode::FileWriteFailed, u"ファイルに書き込めません。"},
    {FailureCode::FolderMissing, u"フォルダが見つかりません。"},
    {FailureCode::TemplateSheets, u"テンプレートには「海外納品情報」と「Purchase Order」の 2 シートだけが必要です。"},
    {FailureCode::WorkbookCheckFailed, u"作成したブックを読み直すと書いた内容と違います。"},
    {FailureCode::PoNumberNotFileName, u"PO番号はファイル名に使えません。"},
    {FailureCode::FileReadFailed, u"ファイルを読み込めません。"},
    {FailureCode::PdfPrinterMissing, u"LibreOffice (soffice) が見つかりません。"},
    {FailureCode::PdfPrinterFailed, u"LibreOffice で PDF を作成できません。"},
    {FailureCode::PdfTimedOut, u"LibreOffice が時間内に PDF を作成し終えません。"},
    {FailureCode::PdfWriteFailed, u"PDF ファイルに書き込めません。"},
    {FailureCode::PdfCancelled, u"PDF の作成を取り消しました。"},
    {FailureCode::WorkbookEngine, u"ブックを読み書きできません。"},
    {FailureCode::Unexpected, u"予期しないエラーが発生しました。"},
};

}  // namespace

QString failureText(FailureCode code)
{
    const auto it =
        std::find_if(std::begin(kTable), std::end(kTable), [code](const Entry& e) { return e.code == code; });
    return it == std::end(kTable) ? QString() : QString::fromUtf16(it->text);
}

const std::vector<FailureCode>& allFailureCodes()
{
    static const std::vector<FailureCode> codes = [] {
        std::vector<FailureCode> out;
        for (const Entry& e : kTable)
            out.push_back(e.code);
        return out;
    }();
    return codes;
}

qint32 toNumber(FailureCode code)
{
    return static_cast<qint32>(code);
}

}  // namespace tolvar
