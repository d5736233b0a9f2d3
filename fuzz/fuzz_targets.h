// The fuzz targets' bodies, shared by the libFuzzer programs (fuzz/entry.cpp) and
// the test that replays every input that once broke them. Each body drives a main
// window the way a user would, through the window's own handlers, with message
// boxes answered by script, and writes no file: the input is loaded from memory.
//
// A body returns "" when every invariant it checks held, otherwise what failed.
// Crashes, reads outside the file image and undefined behaviour are the
// sanitizers' to find.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_window.h"

namespace vorn::fuzz {

// The bytes as a file: load (analysis from 0), rendering, the view's commands.
std::string LoadAnalyseRender(const uint8_t* data, size_t size);

// Bytes 0..3 choose an MCU (column, row, each 16-bit, taken modulo the picture's
// MCUs), the rest is the file: after load and rendering, a press on that MCU, the
// MCU check (a trace with listing), the single-bit search and the preview of the
// first candidate.
std::string McuTools(const uint8_t* data, size_t size);

// The bytes as a file: the damage check and the verified repair (two edits at
// most) on the scan the load analysed; a clean scan is never edited, and a repair
// reported as such checks clean afterwards.
std::string CheckRepair(const uint8_t* data, size_t size);

// Byte 0 is the length n of a script of window actions (bytes 1..n), the rest is
// the file: after the load, each action (see ActionCode) runs in turn and the
// invariants of the file image and the correction history are checked after it.
std::string WindowActions(const uint8_t* data, size_t size);

// The actions of a WindowActions script: an opcode byte (taken modulo kActionCount),
// then the operand bytes named here.
enum class ActionCode : uint8_t {
  CellClick,       // cell index
  TypeInput,       // text code (see InputText): typed into DMPI, focus leaves
  RemoveLast,      // -: the last byte selected, DMPI emptied, focus leaves
  Append,          // value: the cell after the last byte selected, value typed
  Page,            // which: DMPFUP, DMPUP, DMPDOWN, DMPFDOWN
  Undo,            // -
  Redo,            // -
  ApplyCandidate,  // column, row, line: press, 1ﾋﾞｯﾄ補正, click and double click
  RestartAt,       // line, answer: a marker line double-clicked (IMAGE first when
                   // LOG holds no marker list), the question answered Yes or No
  Image,           // -: IMAGE
  Press,           // x, y: a press on the picture
  McuCheck,        // -: MCU調査
};
inline constexpr int kActionCount = 12;

// The text typed for a TypeInput operand: valid values, the empty text, and the
// inputs the field refuses.
std::string InputText(uint8_t code);

// Runs a script of window actions on w, checking CheckEditState after each; returns
// the first failure, prefixed with its step.
std::string RunActions(FuzzWindow& w, const uint8_t* script, size_t size);

// The invariants of the edited file and the correction history: FileLength is the
// image's size; each history holds its records first, at most 16, each naming a
// byte of its file; UNDO is enabled exactly when its history holds a record, REDO
// only when its history does; the dump selection lies in the dump.
std::string CheckEditState(const AppState& app);

}  // namespace vorn::fuzz
