#include "gui/layout_table.h"

#include <array>

#include "analysis/zigzag.h"

namespace vorn::gui {

namespace {

using enum Kind;

// Captions sit on one line and their value fields on the next, 16 pixels lower;
// cells are 17 pixels high so that neighbouring borders overlap into one line.
constexpr int kCell = 17;

const Placement kLayout[] = {
    // Left column: image area, commands, message area. The scroll bars come before
    // Picture1 so that the view's last row and column are not hidden under them.
    {"", Title, 16, 16, 0, 16, "イメージエリア"},
    {"MODE", Button, 424, 8, 25, kCell, ""},
    {"VScroll1", VScroll, 432, 32, 17, 433, ""},
    {"HScroll1", HScroll, 16, 464, 417, 17, ""},
    {"Picture1", Picture, 16, 32, 417, 433, ""},
    {"IMAGE", Button, 16, 488, 81, 25, ""},
    {"MCUCHK", Button, 96, 488, 81, 25, ""},
    {"BITCHK", Button, 176, 488, 81, 25, ""},
    {"LIMAGE", CaptionButton, 264, 488, 96, 18, ""},
    {"UNDO", Button, 368, 488, 81, 25, ""},
    {"LOAD", Button, 16, 512, 81, 25, ""},
    {"SAVE", Button, 96, 512, 81, 25, ""},
    {"QUIT", Button, 176, 512, 81, 25, ""},
    {"Picture2", Picture, 264, 505, 96, 32, ""},
    {"REDO", Button, 368, 512, 81, 25, ""},
    {"Fname", ValuePath, 16, 544, 431, 28, ""},
    {"", Title, 16, 576, 0, 16, "メッセージエリア"},
    {"LOG", List, 16, 592, 433, 112, ""},
    {"Picture3", HiddenPicture, 0, 0, 17, 17, ""},

    // Middle column: input field, MCU information, analysis start.
    {"", Title, 464, 16, 0, 16, "入力エリア"},
    {"DMPI", Input, 464, 32, 25, 18, ""},
    {"", Title, 464, 56, 0, 16, "ＭＣＵ情報"},
    {"", Caption, 464, 72, 81, kCell, "MCUﾎﾟｲﾝﾀｰ"},
    {"", Caption, 464, 88, 17, kCell, "X"},
    {"MCUX", Value, 480, 88, 25, kCell, ""},
    {"", Caption, 504, 88, 17, kCell, "Y"},
    {"MCUY", Value, 520, 88, 25, kCell, ""},
    {"", Caption, 464, 104, 81, kCell, "ｱﾄﾞﾚｽ－ﾋﾞｯﾄ"},
    {"MCUBYTE", Value, 464, 120, 65, kCell, ""},
    {"MCUBIT", Value, 528, 120, 17, kCell, ""},
    {"", Caption, 464, 136, 81, kCell, "DC成分YCbCr"},
    {"DCV", Value, 464, 152, 28, kCell, "", {3, 3, 27, 0}},
    {"", Title, 464, 176, 0, 16, "解析開始位置"},
    {"STANA", Value, 464, 192, 81, kCell, ""},

    // Dump area.
    {"", Title, 560, 16, 0, 16, "ダンプエリア"},
    {"DMPFUP", Button, 904, 16, 25, kCell, ""},
    {"DMPUP", Button, 928, 16, 25, kCell, ""},
    {"DMPDOWN", Button, 952, 16, 25, kCell, ""},
    {"DMPFDOWN", Button, 976, 16, 25, kCell, ""},
    {"", Caption, 560, 32, 57, kCell, "アドレス"},
    {"DMPL", Caption, 616, 32, 25, kCell, "", {16, 16, 24, 0}},
    {"DMPH", ValueRight, 560, 48, 57, kCell, "", {16, 1, 0, 16}},
    {"DMP", Value, 616, 48, 25, kCell, "", {256, 16, 24, 16}},

    // APP0.
    {"", Title, 464, 312, 0, 16, "アプリケーションデータセグメント"},
    {"", Caption, 464, 328, 41, kCell, "長さ"},
    {"APP0LEN", Value, 464, 344, 41, kCell, ""},
    {"", Caption, 504, 328, 57, kCell, "識別子"},
    {"APP0ID", Value, 504, 344, 57, kCell, ""},
    {"", Caption, 560, 328, 49, kCell, "ﾊﾞｰｼﾞｮﾝ"},
    {"APP0v1", Value, 560, 344, 25, kCell, ""},
    {"APP0v2", Value, 584, 344, 25, kCell, ""},
    {"", Caption, 608, 328, 41, kCell, "単位"},
    {"APP0U", Value, 608, 344, 41, kCell, ""},
    {"", Caption, 648, 328, 41, kCell, "横密度"},
    {"APP0Xd", Value, 648, 344, 41, kCell, ""},
    {"", Caption, 688, 328, 41, kCell, "縦密度"},
    {"APP0Yd", Value, 688, 344, 41, kCell, ""},
    {"", Caption, 728, 328, 273, kCell, "その他"},
    {"APP0ETC", ValueLeft, 728, 344, 273, kCell, ""},

    // Frame header.
    {"", Title, 464, 368, 0, 16, "フレーム開始"},
    {"", Caption, 464, 384, 41, kCell, "長さ"},
    {"SOF0LEN", Value, 464, 400, 41, kCell, ""},
    {"", Caption, 504, 384, 65, kCell, "ｻﾝﾌﾟﾙ精度"},
    {"SOF0P", Value, 504, 400, 65, kCell, ""},
    {"", Caption, 568, 384, 49, kCell, "横ｻｲｽﾞ"},
    {"SOF0X", Value, 568, 400, 49, kCell, ""},
    {"", Caption, 616, 384, 49, kCell, "縦ｻｲｽﾞ"},
    {"SOF0Y", Value, 616, 400, 49, kCell, ""},
    {"", Caption, 664, 384, 49, kCell, "成分数"},
    {"SOF0Nf", Value, 664, 400, 49, kCell, ""},
    {"", Caption, 464, 416, 49, kCell, "成分"},
    {"SOF0Ci", Value, 464, 432, 49, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 512, 416, 65, kCell, "水平ｻﾝﾌﾟﾙ"},
    {"SOF0Hi", Value, 512, 432, 65, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 576, 416, 65, kCell, "垂直ｻﾝﾌﾟﾙ"},
    {"SOF0Vi", Value, 576, 432, 65, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 640, 416, 73, kCell, "量子化ｾﾚｸﾀ"},
    {"SOF0Tqi", Value, 640, 432, 73, kCell, "", {3, 1, 0, 16}},

    // Comment.
    {"", Title, 728, 368, 0, 16, "コメント"},
    {"", Caption, 728, 384, 41, kCell, "長さ"},
    {"COMLEN", Value, 728, 400, 41, kCell, ""},
    {"", Caption, 768, 384, 233, kCell, "コメント"},
    {"COM", ValueWrapped, 768, 400, 233, 81, ""},

    // Quantization tables. The paging buttons sit on the line of the fields they page.
    {"", Title, 464, 488, 0, 16, "量子化テーブル"},
    {"", Caption, 464, 504, 41, kCell, "長さ"},
    {"DQTLEN", Value, 464, 520, 41, kCell, ""},
    {"", Caption, 504, 504, 33, kCell, "Pq"},
    {"DQTPq", Value, 504, 520, 33, kCell, ""},
    {"", Caption, 536, 504, 33, kCell, "Tq"},
    {"DQTTq", Value, 536, 520, 33, kCell, ""},
    {"DQTUP", Button, 608, 520, 25, kCell, ""},
    {"DQTDOWN", Button, 632, 520, 25, kCell, ""},
    {"Qtbl", Value, 464, 536, 25, kCell, "", {64, 8, 24, 16, true}},

    // Huffman tables.
    {"", Title, 672, 488, 0, 16, "ハフマンテーブル"},
    {"", Caption, 672, 504, 41, kCell, "長さ"},
    {"DHTLEN", Value, 672, 520, 41, kCell, ""},
    {"", Caption, 712, 504, 33, kCell, "Tc"},
    {"DHTTc", Value, 712, 520, 33, kCell, ""},
    {"", Caption, 744, 504, 33, kCell, "Th"},
    {"DHTTh", Value, 744, 520, 33, kCell, ""},
    {"DHTUP", Button, 792, 520, 25, kCell, ""},
    {"DHTDOWN", Button, 816, 520, 25, kCell, ""},
    {"Htbl", List, 672, 536, 169, 134, ""},

    // Scan header.
    {"", Title, 856, 488, 0, 16, "スキャン開始"},
    {"", Caption, 856, 504, 41, kCell, "長さ"},
    {"SOSLEN", Value, 856, 520, 41, kCell, ""},
    {"", Caption, 896, 504, 49, kCell, "成分数"},
    {"SOSNs", Value, 896, 520, 49, kCell, ""},
    {"", Caption, 856, 536, 49, kCell, "成分"},
    {"SOSCsi", Value, 856, 552, 49, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 904, 536, 49, kCell, "DCｾﾚｸﾀ"},
    {"SOSTdi", Value, 904, 552, 49, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 952, 536, 49, kCell, "ACｾﾚｸﾀ"},
    {"SOSTai", Value, 952, 552, 49, kCell, "", {3, 1, 0, 16}},
    {"", Caption, 856, 600, 37, kCell, "Ss"},
    {"SOSSs", Value, 856, 616, 37, kCell, ""},
    {"", Caption, 892, 600, 37, kCell, "Se"},
    {"SOSSe", Value, 892, 616, 37, kCell, ""},
    {"", Caption, 928, 600, 37, kCell, "Ah"},
    {"SOSAh", Value, 928, 616, 37, kCell, ""},
    {"", Caption, 964, 600, 37, kCell, "Al"},
    {"SOSAl", Value, 964, 616, 37, kCell, ""},

    // Restart interval.
    {"", Title, 856, 640, 0, 16, "リスタートインターバル"},
    {"", Caption, 856, 656, 41, kCell, "長さ"},
    {"DRILEN", Value, 856, 672, 41, kCell, ""},
    {"", Caption, 896, 656, 49, kCell, "ｲﾝﾀｰﾊﾞﾙ"},
    {"DRI", Value, 896, 672, 49, kCell, ""},
};

}  // namespace

std::span<const Placement> MainWindowLayout() {
  return kLayout;
}

Point GridPosition(const Placement& p, int k) {
  // Qtbl element k sits at the k-th zig-zag position of the 8 x 8 grid.
  const int cell = p.grid.zigZag ? kNaturalOrder[k] : k;
  const int column = cell % p.grid.perRow;
  const int row = cell / p.grid.perRow;
  return {p.x + column * p.grid.stepX, p.y + row * p.grid.stepY};
}

}  // namespace vorn::gui
