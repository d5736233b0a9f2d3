// Writes the fuzz targets' seed inputs: the bundled samples and test fixtures,
// small libjpeg encodings of every layout the decoder takes, and builder-made files
// with exact layouts (restart markers, fill bytes, thumbnails, odd segments), each
// in the form its target reads (an MCU choice or a script of actions in front).
//   vorn_fuzz_seeds SOURCE_DIR OUT_DIR   ->   OUT_DIR/{load,mcu,actions,repair}/NAME
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz_targets.h"
#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using namespace vorn::testing;
using vorn::fuzz::ActionCode;

std::map<std::string, Bytes> Files(const fs::path& source) {
  std::map<std::string, Bytes> files;
  for (const char* folder : {"samples", "tests/fixtures"})
    for (const auto& entry : fs::directory_iterator(source / folder))
      if (entry.path().extension() == ".jpg")
        files[entry.path().filename().string()] = ReadFileBytes(entry.path());

  const auto encode = [&](const std::string& name, int width, int height, auto&& adjust) {
    EncodeOptions o;
    o.width = width;
    o.height = height;
    adjust(o);
    files[name + ".jpg"] = EncodePhotoLike(o, static_cast<uint32_t>(files.size()));
  };
  encode("libjpeg-420", 48, 32, [](EncodeOptions&) {});
  encode("libjpeg-444-optimized", 40, 24, [](EncodeOptions& o) { o.h0 = o.v0 = 1, o.optimize = true; });
  encode("libjpeg-422-restart1", 48, 32, [](EncodeOptions& o) { o.h0 = 2, o.v0 = 1, o.restartInterval = 1; });
  encode("libjpeg-440-restart3", 24, 48, [](EncodeOptions& o) { o.h0 = 1, o.v0 = 2, o.restartInterval = 3; });
  encode("libjpeg-grey-comment", 20, 12, [](EncodeOptions& o) { o.components = 1, o.comment = "vorn"; });
  encode("libjpeg-no-jfif-q30", 33, 17, [](EncodeOptions& o) { o.writeJfif = false, o.quality = 30; });
  encode("libjpeg-progressive", 32, 32, [](EncodeOptions& o) { o.progressive = true; });

  // A camera file whose scan has a bit flipped late: the repair weighs its pictures
  // by the EXIF thumbnail (of its own picture), calibrated on the MCUs before.
  {
    EncodeOptions o;
    o.width = 256, o.height = 128;
    const Bytes pixels = PhotoLikePixels(o.width, o.height, 3, 5);
    Bytes camera = WithExifThumbnail(EncodeJpeg(pixels, o), pixels, o.width, o.height, 3, 64, 32);
    camera[camera.size() - 1077] ^= 0x10;  // in its last MCU rows: 118 of 128 decode
    files["camera-thumbnail-flipped.jpg"] = camera;
  }

  files["flat-grey.jpg"] = FlatBaselineJpeg(16, 8, 1);
  files["flat-420.jpg"] = FlatBaselineJpeg(24, 16, 3);
  // Restart markers between flat MCUs, and fill bytes before markers.
  {
    const HuffmanSpec dc = StandardLuminanceDc(), ac = StandardLuminanceAc();
    JpegBuilder b;
    b.Soi().App0Jfif().Dqt(0, FlatQuant(2)).Sof0(32, 8, Grey()).Dri(1);
    b.Raw({0xFF, 0xFF}).Dht({dc, ac}).Sos(GreyScan());
    for (int m = 0; m < 4; ++m) {
      BitWriter scan;
      scan.PutBlock(dc, ac, m == 0 ? 40 : -10, {5, -3, 0, 1});
      b.Raw(scan.Finish());
      if (m < 3) b.Rst(m);
    }
    files["builder-restarts-fill.jpg"] = b.Eoi().Bytes();
  }
  // A JFIF thumbnail, a Shift_JIS comment, two DRI and three DQT segments, no EOI.
  {
    JpegBuilder b;
    b.Soi()
        .App0Jfif(2, 300, 300, 2, 1, {255, 0, 0, 0, 0, 255})
        .Com(Bytes{0x83, 0x65, 0x83, 0x58, 0x83, 0x67});
    b.Dqt(0, StandardLuminanceQuant()).Dqt(1, StandardChrominanceQuant()).Dqt(2, FlatQuant(1));
    b.Dri(0).Dri(2).Sof0(8, 8, Grey()).DhtStandard().Sos(GreyScan()).Raw({0x00, 0x3F});
    files["builder-odd-segments.jpg"] = b.Bytes();
  }
  return files;
}

struct Script {
  std::string name;
  Bytes actions;
};

Bytes Op(ActionCode code, Bytes operands = {}) {
  operands.insert(operands.begin(), static_cast<uint8_t>(code));
  return operands;
}

std::vector<Script> Scripts() {
  const auto join = [](std::initializer_list<Bytes> ops) {
    Bytes all;
    for (const Bytes& op : ops) all.insert(all.end(), op.begin(), op.end());
    return all;
  };
  return {
      {"correct-undo-redo",
       join({Op(ActionCode::ApplyCandidate, {3, 6, 0}), Op(ActionCode::Undo), Op(ActionCode::Redo),
             Op(ActionCode::ApplyCandidate, {0, 1, 1}), Op(ActionCode::Undo), Op(ActionCode::Undo)})},
      {"edit-remove-append",
       join({Op(ActionCode::CellClick, {5}), Op(ActionCode::TypeInput, {0xAB}),
             Op(ActionCode::TypeInput, {3}), Op(ActionCode::RemoveLast), Op(ActionCode::RemoveLast),
             Op(ActionCode::Append, {0xFF}), Op(ActionCode::Append, {0xD9}), Op(ActionCode::Image),
             Op(ActionCode::McuCheck)})},
      {"restart-page-press",
       join({Op(ActionCode::RestartAt, {2, 1}), Op(ActionCode::Page, {3}), Op(ActionCode::Page, {1}),
             Op(ActionCode::Press, {20, 30}), Op(ActionCode::McuCheck), Op(ActionCode::RestartAt, {0, 0}),
             Op(ActionCode::Press, {8, 8})})},
  };
}

void Write(const fs::path& path, const Bytes& head, const Bytes& file) {
  Bytes all = head;
  all.insert(all.end(), file.begin(), file.end());
  if (!WriteFileBytes(path.string(), all)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vorn_fuzz_seeds SOURCE_DIR OUT_DIR\n");
    return 2;
  }
  const fs::path out = argv[2];
  for (const char* target : {"load", "mcu", "actions", "repair"}) fs::create_directories(out / target);
  const std::vector<Script> scripts = Scripts();
  for (const auto& [name, file] : Files(argv[1])) {
    Write(out / "load" / name, {}, file);
    Write(out / "repair" / name, {}, file);
    Write(out / "mcu" / ("first-" + name), {0, 0, 0, 0}, file);
    Write(out / "mcu" / ("damaged-mcu-" + name), {0, 3, 0, 6}, file);
    for (const Script& s : scripts) {
      Bytes head = {static_cast<uint8_t>(s.actions.size())};
      head.insert(head.end(), s.actions.begin(), s.actions.end());
      Write(out / "actions" / (s.name + "-" + name), head, file);
    }
  }
  return 0;
}
