/* This file holds Japanese text: it is compiled to code page 932. */
#include "setup/messages.h"

const char SetupTitle[] = "Quillset for Win SP1";

const char NeedAdminMessage[] = "このソフトの実行には管理者権限が必要です。";

const char RemoveLegacyQuestion[] =
    "このシステムには、インプレス社の\n"
    "TeX for Windows用のComputer Modernフォントが\n"
    "インストールされています。\n"
    "Mirevaフォントを利用するためには、これらの\n"
    "フォントをアンインストールする必要があります。\n"
    "しかしながら、このフォントをアンインストールすると、\n"
    "インプレス社のWinDviを使用することはできなくなります。\n"
    "あなたは、Mirevaフォントをインストールする代わりに、\n"
    "DVIOUTにおいてWinTeXフォントを利用するように\n"
    "設定することもできます。\n"
    "DVIOUTの設定を変更するか、WinTeXフォントをアンインストール\n"
    "しなければ、DVIOUTは正しく動作することができません。\n"
    "WinTeXフォントをアンインストールしますか。";

const char LegacyKeptNotice[] =
    "WinTeXフォントのアンインストールは行われませんでした。\n"
    "DVIOUTのプロパティーシート、［WinJFont］ページにおいて、\n"
    "［jfm(omit pt)/tfm］の項で［edefault］を選択し、\n"
    "［TrueType Font］から［cmr10］（デフォルト）を選択し、\n"
    "［Japanese TT］のチェックを外し、\n"
    "［code type］で［WinTeX］を選択した後、\n"
    "［Save］ボタンを押してTrueTypeフォントの設定を変更してください。\n"
    "この設定を行わなければ、DVIOUTの表示が不正なものとなります。\n"
    "このメッセージボックスを閉じる前に、上記の内容をメモしておくことを\n"
    "推奨します。";

const char InstallQuestion[] =
    "Mireva TrueType Fontsはインストールされていません。\n"
    "Mireva フォントをインストールしますか？";

const char FinishedNotice[] = "正常終了しました。";
