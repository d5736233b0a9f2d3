#include "analysis/marker_analysis.h"
#include "jpeg/marker_codes.h"

namespace vorn {

void FillMarkerName(AnalysisState& analysis) {
  auto& name = analysis.MarkerName;
  // Everything not named below is an error code, including 03 .. BE.
  name.fill("エラー");
  name[0x00] = "FFデータ";
  name[0x01] = "算術符号テンポラリ";
  name[0x02] = "リザーブ";
  name[0xBF] = "リザーブ";
  name[0xC0] = "フレーム開始（基本・非差分ハフマン）";
  name[0xC1] = "フレーム開始（拡張・非差分ハフマン）";
  name[0xC2] = "フレーム開始（プロ・非差分ハフマン）";
  name[0xC3] = "フレーム開始（空間・非差分ハフマン）";
  name[0xC4] = "ハフマンテーブル定義";
  name[0xC5] = "フレーム開始（拡張・差分ハフマン）";
  name[0xC6] = "フレーム開始（プロ・差分ハフマン）";
  name[0xC7] = "フレーム開始（空間・差分ハフマン）";
  name[0xC8] = "リザーブ";
  name[0xC9] = "フレーム開始（拡張・非差分算術）";
  name[0xCA] = "フレーム開始（プロ・非差分算術）";
  name[0xCB] = "フレーム開始（空間・非差分算術）";
  name[0xCC] = "算術符号化条件定義";
  name[0xCD] = "フレーム開始（拡張・差分算術）";
  name[0xCE] = "フレーム開始（プロ・差分算術）";
  name[0xCF] = "フレーム開始（空間・差分算術）";
  for (int c = marker::kRST0; c <= marker::kRST7; ++c) name[c] = "リスタート";
  name[0xD8] = "画像開始";
  name[0xD9] = "画像終了";
  name[0xDA] = "スキャン開始";
  name[0xDB] = "量子化テーブル定義";
  name[0xDC] = "ライン数定義";
  name[0xDD] = "リスタートインターバル定義";
  name[0xDE] = "プログレッション定義";
  name[0xDF] = "参照成分拡大";
  // APP0 .. APP15, numbered in full-width digits.
  static const char* const kDigits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  for (int n = 0; n < 16; ++n) {
    std::string number = n < 10 ? kDigits[n] : std::string(kDigits[1]) + kDigits[n - 10];
    name[0xE0 + n] = "アプリケーションデータセグメント" + number;
  }
  for (int c = 0xF0; c <= 0xFD; ++c) name[c] = "リザーブ";
  name[0xFE] = "コメント";
}

}  // namespace vorn
