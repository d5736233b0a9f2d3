#include "analysis/finding_texts.h"

#include <string>

#include "analysis/message_log.h"

namespace vorn {
namespace {

enum class Shown { LogLine, MessageBox };

// What follows the marker's description, and where it is shown.
struct FindingText {
  FindingKind kind;
  const char* fragment;
  Shown shown;
};

constexpr FindingText kTexts[] = {
    {FindingKind::BadLength, kBadLength, Shown::LogLine},
    {FindingKind::QuantPrecisionNotZero, "の精度が０以外です", Shown::LogLine},
    {FindingKind::QuantIdNotZeroOrOne, "の番号が０、１以外です", Shown::LogLine},
    {FindingKind::QuantSteepDrop, "の量子化値の差が５５を超えています", Shown::LogLine},
    {FindingKind::QuantZero, "の量子化値が０です", Shown::LogLine},
    {FindingKind::App0NotJfif, "がJFIFではありません", Shown::LogLine},
    {FindingKind::FramePrecisionNotEight, "のサンプル密度が８ではありません", Shown::MessageBox},
    {FindingKind::FrameHeightZero, "の縦サイズが０です", Shown::MessageBox},
    {FindingKind::FrameHeightOver4000, "の縦サイズが４０００を超えています", Shown::MessageBox},
    {FindingKind::FrameWidthZero, "の横サイズが０です", Shown::MessageBox},
    {FindingKind::FrameWidthOver4000, "の横サイズが４０００を超えています", Shown::MessageBox},
    {FindingKind::FrameComponentsOver3, "の成分数が３を超えています", Shown::MessageBox},
    {FindingKind::FrameComponentIdOver3, "の成分番号が３を超えています", Shown::MessageBox},
    {FindingKind::FrameHSamplingOver2, "の水平サンプリングファクターが２を超えています", Shown::MessageBox},
    {FindingKind::FrameVSamplingOver2, "の垂直サンプリングファクターが２を超えています", Shown::MessageBox},
    {FindingKind::FrameNoQuantTable, "のセレクターに対応した量子化テーブルがありません", Shown::MessageBox},
    {FindingKind::FrameBlocksOver6, "のＭＣＵ内ブロック数が６を超えています", Shown::MessageBox},
    {FindingKind::ScanComponentsOver3, "の成分数が３を超えています", Shown::MessageBox},
    {FindingKind::ScanSelectorOver3, "の成分セレクタが３を超えています", Shown::MessageBox},
    {FindingKind::ScanDcSelectorOver2, "のＤＣ成分用ハフマンテーブルセレクタが２を超えています",
     Shown::MessageBox},
    {FindingKind::ScanAcSelectorOver2, "のＡＣ成分用ハフマンテーブルセレクタが２を超えています",
     Shown::MessageBox},
    {FindingKind::HuffClassOver1, "のTcが２以上です", Shown::MessageBox},
    {FindingKind::HuffIdOver1, "のThが２以上です", Shown::MessageBox},
    {FindingKind::HuffTooManyCodes, "の総ハフマン符号語数が２５６を超えました", Shown::MessageBox},
    {FindingKind::HuffRepeatedSymbol, "に同じ符号値情報があります", Shown::MessageBox},
    {FindingKind::HuffZeroSizeSymbol, "にビット長が０でランレングスが０、１５以外の符号値情報があります",
     Shown::MessageBox},
    {FindingKind::CountMissing, "がありません（ワーニング）", Shown::MessageBox},
    {FindingKind::CountRepeated, "が複数あります（ワーニング）", Shown::MessageBox},
    {FindingKind::CountThreeOrMore, "が３個以上あります（ワーニング）", Shown::MessageBox},
    {FindingKind::CountFiveOrMore, "が５個以上あります（ワーニング）", Shown::MessageBox},
    {FindingKind::CountMissingStop, "がありません（中止）", Shown::MessageBox},
    {FindingKind::CountRepeatedStop, "が複数あります（中止）", Shown::MessageBox},
    {FindingKind::NoStartingSoi, "のマーカーが最初にありません", Shown::LogLine},
    {FindingKind::LengthNotToMarker, "のパラメータ長が不正です", Shown::LogLine},
    // These two name no marker: TextOf writes them whole.
    {FindingKind::MarkerLimit, "マーカーが９９９個を超えました（中止）", Shown::MessageBox},
    {FindingKind::TrailingData, "画像終了の後にデータがあります（", Shown::LogLine},
};

const FindingText& EntryOf(FindingKind kind) {
  for (const FindingText& text : kTexts)
    if (text.kind == kind) return text;
  return kTexts[0];
}

std::string TextOf(const AnalysisState& analysis, const Finding& finding, const char* fragment) {
  switch (finding.kind) {
    case FindingKind::MarkerLimit:
      return fragment;
    case FindingKind::TrailingData:
      return fragment + std::to_string(finding.value) + "バイト）";
    default:
      return analysis.MarkerName[finding.marker] + fragment;
  }
}

}  // namespace

void ShowFindings(AnalysisContext& ctx, std::span<const Finding> findings) {
  for (const Finding& finding : findings) {
    const FindingText& text = EntryOf(finding.kind);
    std::string line = TextOf(ctx.analysis, finding, text.fragment);
    if (text.shown == Shown::MessageBox)
      ctx.Message(line);
    else
      AddLogLine(ctx.form.LOG, ctx.analysis, std::move(line), finding.offset);
  }
}

SegmentRead RunParser(AnalysisContext& ctx, SegmentRead (*parser)(ParseContext&, int32_t), int32_t p) {
  Findings found;
  ParseContext parse{ctx.file.bytes, ctx.rec, found};
  const SegmentRead read = parser(parse, p);
  ShowFindings(ctx, found);
  return read;
}

}  // namespace vorn
