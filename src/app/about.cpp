#include "app/about.h"

#ifndef VORN_VERSION
#error "the build defines VORN_VERSION, the project's version"
#endif

namespace vorn {

const char* ProgramVersion() {
  return VORN_VERSION;
}

std::string AboutText() {
  return std::string("Vorn ") + ProgramVersion() +
         "\rベースラインJPEGファイルをバイト・ビット単位で調べて修復します"
         "\r\rMIT License\rCopyright 2026 The Vorn developers";
}

void ABOUT_Click(AppState& app) {
  app.Message(AboutText());
}

}  // namespace vorn
