// Hand-made scans for the decoder tests: records filled directly (no analysis),
// the scan bytes placed in a small file image, fresh stores of the right size.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "jpeg/records.h"
#include "support/jpeg_builder.h"

namespace vorn::testing {

// The canonical codes of a table as the DHT parser stores them: counts, codes
// assigned in order (doubling after each length), run and size from the symbols.
HuffCodeTable CodeTable(const HuffmanSpec& spec);

// Records for a picture of width x height with the given components (h, v, tq
// each; scan tables DC/AC 0 for component 0, 1 for the others), the standard
// Huffman tables in identifiers 0 and 1 and flat quantization tables of 1 in all
// three slots (so a DC difference d gives a dequantised DC of d).
Records MakeRecords(int width, int height, const std::vector<FrameComponent>& components);

// A file image holding `lead` filler bytes, the scan bytes and FF D9. Sets
// rec.scan.ScanDataStart; returns ScanDataEnd (the byte before FF D9).
int32_t PlaceScan(FileImage& file, Records& rec, const std::vector<uint8_t>& scan, int lead = 4);

// ImagePixels and McuStarts created for rec's frame as the renderer does.
DecodeState FreshDecodeState(const Records& rec);

// Decodes with DecodeScan (into fast) and with the literal reference decoder, and
// adds a test failure for any difference in status, pixels, plan or McuStarts.
// DecodeScan runs with one thread and with two, each time into stores that hold
// leftovers of another picture, and without pixels or with two MCU rows of them.
// Returns the status.
DecodeStatus ExpectSameDecode(const FileImage& file, const Records& rec, int32_t end, DecodeState& fast);

// The standard tables of identifier 0 (luminance) and 1 (chrominance).
const HuffmanSpec& DcTable(int id);
const HuffmanSpec& AcTable(int id);

}  // namespace vorn::testing
