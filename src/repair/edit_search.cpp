#include "repair/edit_search.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "jpeg/marker_codes.h"
#include "repair/picture_fit.h"

namespace vorn {

namespace {

// A decode whose MCU boundaries are known, from MCU firstMcu on, to where its
// stretch of data ended.
struct KnownPath {
  using DcRange = std::array<int16_t, 6>;  // per component, the least and the largest DC value

  int32_t firstMcu = 0;
  int32_t overflowMcu = INT32_MAX;  // the first MCU whose transform overflows on this path
  mutable int64_t hits = 0;         // trials that met it: a worker's own paths only
  std::vector<BitPos> marks;  // original positions, increasing
  std::vector<std::array<int16_t, 3>> dc;
  std::vector<DcRange> blockDc;  // per mark, the DC values of the blocks of the MCU before it;
                                 // after Finish, those of all the MCUs after it
  DecodeStop end;

  static DcRange EmptyRange() { return {32767, 32767, 32767, -32768, -32768, -32768}; }
  static void Widen(DcRange& r, int c, int32_t value) {
    r[static_cast<size_t>(c)] = static_cast<int16_t>(std::min<int32_t>(r[static_cast<size_t>(c)], value));
    r[static_cast<size_t>(c) + 3] =
        static_cast<int16_t>(std::max<int32_t>(r[static_cast<size_t>(c) + 3], value));
  }

  void Clear() {
    marks.clear();
    dc.clear();
    blockDc.clear();
    overflowMcu = INT32_MAX;
  }
  void Add(BitPos mark, const std::array<int16_t, 3>& d, const DcRange& blocks) {
    marks.push_back(mark);
    dc.push_back(d);
    blockDc.push_back(blocks);
  }
  // Turns the per-MCU ranges into the ranges of everything that follows each mark.
  void Finish() {
    DcRange after = EmptyRange();
    for (size_t k = blockDc.size(); k-- > 0;) {
      const DcRange own = blockDc[k];
      blockDc[k] = after;
      for (int c = 0; c < 3; ++c) {
        if (own[static_cast<size_t>(c)] > own[static_cast<size_t>(c) + 3]) continue;  // no block
        Widen(after, c, own[static_cast<size_t>(c)]);
        Widen(after, c, own[static_cast<size_t>(c) + 3]);
      }
    }
  }
  int Find(BitPos p) const {
    const auto it = std::lower_bound(marks.begin(), marks.end(), p);
    return it != marks.end() && *it == p ? static_cast<int>(it - marks.begin()) : -1;
  }
};

// Collects the DC values of the blocks of one MCU, per component.
struct BlockDcRange {
  KnownPath::DcRange range = KnownPath::EmptyRange();
  void OnBlock(const ScanModel& model, int block, int32_t value) {
    KnownPath::Widen(range, model.blocks[static_cast<size_t>(block)].component, value);
  }
  KnownPath::DcRange Take() {
    const KnownPath::DcRange r = range;
    range = KnownPath::EmptyRange();
    return r;
  }
};

enum class Verdict : uint8_t { Unknown, Verified, Rejected };

// What a trial needs to know of the file around it; shared read-only by the threads.
struct SearchContext {
  const ScanModel& model;
  std::span<const uint8_t> bytes;
  const ScanPass& pass;
  const SearchWindow& window;
  int32_t interval = 0;
  int32_t limit = 0;
  KnownPath reference;               // the unedited file's decode from window.firstMcu
  std::vector<ScanPoint> points;     // its symbol boundaries, in order
  std::vector<int> laterClean;       // per pass segment: it and all after it are complete
  std::array<int32_t, 3> dcLimit{};  // per component, the largest DC an encoder writes

  SearchContext(const ScanModel& m, std::span<const uint8_t> b, const ScanPass& p, const SearchWindow& w)
      : model(m), bytes(b), pass(p), window(w) {}

  // Whether every interval after the one that ends at the restart marker at byte
  // `marker` decodes completely (nothing follows EOI).
  bool AfterMarkerClean(int64_t marker, uint8_t code) const {
    if (code == 0xD9) return true;
    const BitPos start = MakeBitPos(marker + 2, 0);
    for (size_t i = 0; i < pass.segments.size(); ++i)
      if (pass.segments[i].start == start) return laterClean[i] != 0;
    return false;
  }

  // A stretch of this interval that stopped so: complete, with clean intervals after.
  bool Completes(const DecodeStop& stop) const {
    return IntervalComplete(model, interval, stop) && AfterMarkerClean(stop.at >> 3, stop.marker);
  }

  // A trial at MCU `mcu` with predictors dc meets path at index j: from there both
  // read the same bits.
  Verdict Judge(const KnownPath& path, int j, int32_t mcu, const std::array<int16_t, 3>& dc) const {
    bool sameDc = true;
    bool dcFits = true;
    const KnownPath::DcRange& ahead = path.blockDc[static_cast<size_t>(j)];
    for (size_t c = 0; c < 3; ++c) {
      const int32_t delta = dc[c] - path.dc[static_cast<size_t>(j)][c];
      sameDc = sameDc && delta == 0;
      if (ahead[c] <= ahead[c + 3])
        dcFits = dcFits && ahead[c] + delta >= -dcLimit[c] && ahead[c + 3] + delta <= dcLimit[c];
    }
    // On the same bits every later DC value moves by the difference of the
    // predictors: one that leaves what an encoder writes fails the trial there.
    if (!dcFits) return Verdict::Rejected;
    // A block ahead whose transform overflows: alike with the same values.
    if (path.firstMcu + j <= path.overflowMcu && path.overflowMcu != INT32_MAX)
      return sameDc ? Verdict::Rejected : Verdict::Unknown;
    switch (path.end.kind) {
      case StopKind::AtMarker:
        break;
      case StopKind::DcRange:
      case StopKind::TransformOverflow:
        // The same values fail alike; other predictors may not.
        return sameDc ? Verdict::Rejected : Verdict::Unknown;
      case StopKind::SinkStopped:
        return Verdict::Unknown;
      default:
        return Verdict::Rejected;  // the same bits fail, or never meet a marker in time
    }
    DecodeStop moved = path.end;
    moved.mcu = path.end.mcu + (mcu - (path.firstMcu + j));
    return Completes(moved) ? Verdict::Verified : Verdict::Rejected;
  }
};

// Follows a trial's MCU boundaries past the edit and ends it where it meets a known
// decode; records them (in original positions) for the next trials.
class TrialSink {
 public:
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = false;
  static constexpr bool kBoundOnly = true;  // a transform overflow ends the trial

  TrialSink(const SearchContext& ctx, const std::vector<KnownPath>& memo, const PatchedBytes& patched,
            KnownPath& record)
      : ctx_(ctx), memo_(memo), patched_(patched), record_(record) {}
  void OnSymbol(const ScanPoint&) {}
  void OnBlockDc(int block, int32_t dc) { blocks_.OnBlock(ctx_.model, block, dc); }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    const KnownPath::DcRange blocks = blocks_.Take();
    const int64_t byte = mark >> 3;
    if (byte < patched_.EditEnd()) return true;
    const BitPos original = MakeBitPos(patched_.ToOriginal(byte), static_cast<int>(mark & 7));
    // The unedited decode is every worker's at once: only a worker's own paths count
    // how often they are met (which decides the one to drop).
    if (Meet(ctx_.reference, original, mcu, dc, false)) return false;
    for (const KnownPath& path : memo_)
      if (Meet(path, original, mcu, dc, true)) return false;
    if (record_.marks.empty()) record_.firstMcu = mcu;
    record_.Add(original, dc, blocks);
    return true;
  }
  Verdict verdict = Verdict::Unknown;

 private:
  bool Meet(const KnownPath& path, BitPos original, int32_t mcu, const std::array<int16_t, 3>& dc,
            bool counted) {
    const int j = path.Find(original);
    if (j < 0) return false;
    if (counted) ++path.hits;
    verdict = ctx_.Judge(path, j, mcu, dc);
    return verdict != Verdict::Unknown;
  }

  const SearchContext& ctx_;
  const std::vector<KnownPath>& memo_;
  const PatchedBytes& patched_;
  KnownPath& record_;
  BlockDcRange blocks_;
};

// Records the unedited decode: its MCU boundaries and its symbol boundaries.
class ReferenceSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  ReferenceSink(const ScanModel& model, KnownPath& path, std::vector<ScanPoint>& points, BitPos pointsUntil)
      : model_(model), path_(path), points_(points), until_(pointsUntil) {}
  void OnSymbol(const ScanPoint& p) {
    if (p.next <= until_) points_.push_back(p);
  }
  // An overflowing transform is noted, not an end: trials that get past the
  // overflowing block (by changing it) meet the decode again after it.
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    blocks_.OnBlock(model_, block, natural[0]);
    if (path_.overflowMcu == INT32_MAX && !TransformFits(model_, block, natural, nonZero))
      path_.overflowMcu = mcu_;
    return true;
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    if (path_.marks.empty()) path_.firstMcu = mcu;
    path_.Add(mark, dc, blocks_.Take());
    mcu_ = mcu;
    return true;
  }
  void Begin(int32_t mcu) { mcu_ = mcu; }

 private:
  const ScanModel& model_;
  KnownPath& path_;
  std::vector<ScanPoint>& points_;
  BitPos until_;
  int32_t mcu_ = 0;
  BlockDcRange blocks_;
};

// A trial that ran to a marker without meeting a known decode (or this far past its
// edit before it failed) is kept as a known decode for the trials after it; when
// the room is used up, it replaces the one met least.
constexpr size_t kMemoMinMarks = 4;
constexpr size_t kMemoLongFailure = 32;
constexpr size_t kMemoPaths = 24;

// The whole run is rated for the best edits only: this many in all, and at least
// this many of each size of edit.
constexpr size_t kWholeRunRated = 48;
constexpr size_t kWholeRunPerSize = 16;

class Worker {
 public:
  Worker(const SearchContext& ctx) : ctx_(ctx), decoder_(ctx.model) {}

  // Whether the edit verifies.
  bool Try(const ScanEdit& edit) {
    const ScanPoint* start = StartFor(edit.position);
    if (start == nullptr) return false;
    const PatchedBytes patched(ctx_.bytes.data(), static_cast<int64_t>(ctx_.bytes.size()), edit);
    record_.Clear();
    TrialSink sink(ctx_, memo_, patched, record_);
    const DecodeStop stop = decoder_.Run(patched, *start, ctx_.limit, sink);
    ++trials_;
    if (sink.verdict != Verdict::Unknown) return sink.verdict == Verdict::Verified;
    // Ran to its own end: maybe the repair itself, or a chance resynchronisation
    // that later trials will meet again.
    DecodeStop end = stop;
    if (end.kind == StopKind::AtMarker) end.at = MakeBitPos(patched.ToOriginal(end.at >> 3), 0);
    const bool ok = end.kind == StopKind::AtMarker && ctx_.Completes(end);
    const bool worth = end.kind == StopKind::AtMarker ? record_.marks.size() >= kMemoMinMarks
                                                      : record_.marks.size() >= kMemoLongFailure;
    if (worth) {
      record_.end = end;
      record_.hits = 0;
      record_.Finish();
      if (memo_.size() < kMemoPaths) {
        memo_.push_back(record_);
      } else {
        auto least = std::min_element(memo_.begin(), memo_.end(),
                                      [](const KnownPath& a, const KnownPath& b) { return a.hits < b.hits; });
        *least = record_;
      }
    }
    return ok;
  }
  int64_t Trials() const { return trials_; }

 private:
  // The last symbol boundary at least two bytes before p: the bytes read up to it,
  // and how a data FF among them was read, do not depend on the edit. Where the
  // window's first MCU begins less than that before p (an edit in the first bytes of
  // its data, the first byte after a restart marker among them), its start: a
  // decode from there has read nothing yet, and every bit of byte p lies after it.
  const ScanPoint* StartFor(int64_t p) const {
    const BitPos before = MakeBitPos(p - 1, 0);
    const auto& points = ctx_.points;
    auto it = std::upper_bound(points.begin(), points.end(), before,
                               [](BitPos v, const ScanPoint& s) { return v < s.next; });
    if (it != points.begin()) return &*(it - 1);
    return !points.empty() && points.front().next <= MakeBitPos(p, 0) ? &points.front() : nullptr;
  }

  const SearchContext& ctx_;
  StrictDecoder decoder_;
  std::vector<KnownPath> memo_;
  KnownPath record_;
  int64_t trials_ = 0;
};

}  // namespace

void EditsAt(std::span<const uint8_t> bytes, int64_t p, int64_t firstByte, std::vector<ScanEdit>& out) {
  const auto size = static_cast<int64_t>(bytes.size());
  if (p <= 0 || p >= size) return;
  const uint8_t b = bytes[static_cast<size_t>(p)];
  const uint8_t previous = bytes[static_cast<size_t>(p - 1)];
  const auto position = static_cast<int32_t>(p);
  if (previous == 0xFF) return;  // a stuffed 00 or a marker's code: edited with its FF
  // Removing one of two equal bytes, or inserting a copy of the byte before, gives the
  // same bytes as at the position before: tried there, unless the byte before follows
  // an FF (a stuffed 00 or a marker's code), where nothing is tried (FF 00 00: the data
  // 00 removed, or a data 00 inserted after FF 00, as a lost stuffed 00 before a data
  // 00 needs).
  const bool afterFf = p >= 2 && bytes[static_cast<size_t>(p - 2)] == 0xFF;
  const bool triedBefore = p > firstByte && !afterFf;
  // A 00 inserted after FF 00 is the stuffed 00 of a data FF restored where the data
  // byte after the FF was 00 (the lost stuffing left a pair that looks whole): one
  // place of the few that an FF offers, far likelier than one value of 256 inserted.
  // Not at the window's first byte, where a trial cannot resume before the pair: the
  // same bytes are tried there as a 00 inserted.
  const bool afterStuffedPair = afterFf && previous == 0x00 && p > firstByte;
  const auto insertions = [&] {
    for (int v = 0; v < 0xFF; ++v) {
      if (triedBefore && v == previous) continue;
      out.push_back(v == 0 && afterStuffedPair ? ScanEdit::Stuffing(position - 1)
                                               : ScanEdit::InsertByte(position, static_cast<uint8_t>(v)));
    }
  };
  if (b == 0xFF) {
    if (p + 1 >= size) return;
    const uint8_t code = bytes[static_cast<size_t>(p + 1)];
    if (code == 0x00) {  // a data FF: only a byte lost before it
      insertions();
      return;
    }
    // A marker inside the data: a lost stuffed 00, or a marker that does not belong,
    // or a byte that came between a data FF and its stuffed 00.
    out.push_back(ScanEdit::Stuffing(position + 1));
    // A restart marker or EOI ends an interval's data: the byte lost may be its last,
    // whose bits end the last MCU and pad it (a lost 3F before FF D5 once had a bit
    // of the byte before it changed instead, a picture two levels off).
    if (marker::IsRestartMarker(code) || code == marker::kEOI) insertions();
    out.push_back(ScanEdit::Marker(position, code));
    if (p + 2 < size && bytes[static_cast<size_t>(p + 2)] == 0x00)
      out.push_back(ScanEdit::RemoveByte(position + 1, code));
    return;
  }
  for (int bit = 0; bit < 8; ++bit) {
    const auto v = static_cast<uint8_t>(b ^ (0x80 >> bit));
    if (v != 0xFF) out.push_back(ScanEdit::Bit(position, bit, b));
  }
  for (int v = 0; v < 0xFF; ++v) {
    const auto d = static_cast<uint8_t>(v ^ b);
    if (d == 0 || (d & (d - 1)) == 0) continue;  // the byte itself, or one bit changed
    out.push_back(ScanEdit::ReplaceByte(position, b, static_cast<uint8_t>(v)));
  }
  if (!(triedBefore && previous == b)) out.push_back(ScanEdit::RemoveByte(position, b));
  insertions();
}

namespace {

// Tries every edit of one window; the verified edits go to found. False when cancelled
// or when the deadline passed.
bool TryWindow(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
               const SearchWindow& window, const SearchControl& control, double progressBase,
               double progressShare, std::vector<ScanEdit>& found, int64_t& trialCount) {
  if (window.firstMcu < 0 || window.firstMcu >= model.totalMcus ||
      pass.marks[static_cast<size_t>(window.firstMcu)].mark < 0)
    return true;
  SearchContext ctx(model, bytes, pass, window);
  for (int b = 0; b < model.blockCount; ++b) {
    const ScanModel::Block& block = model.blocks[static_cast<size_t>(b)];
    ctx.dcLimit[static_cast<size_t>(block.component)] = std::min<int32_t>(32767, (*block.largest)[0]);
  }
  ctx.interval = model.IntervalOf(window.firstMcu);
  ctx.limit = static_cast<int32_t>(
      std::min<int64_t>(int64_t{model.IntervalEnd(ctx.interval)} + model.geometry.McusPerRow,
                        int64_t{model.totalMcus} + model.geometry.McusPerRow));
  ctx.laterClean.assign(pass.segments.size(), 0);
  for (size_t i = pass.segments.size(); i-- > 0;) {
    const bool next = i + 1 < pass.segments.size() ? ctx.laterClean[i + 1] != 0 : true;
    const bool last = pass.segments[i].interval + 1 >= model.intervals;
    const bool consecutive =
        i + 1 < pass.segments.size() ? pass.segments[i + 1].interval == pass.segments[i].interval + 1 : last;
    ctx.laterClean[i] = pass.segments[i].ok && next && consecutive ? 1 : 0;
  }

  // The unedited decode from the window's first MCU.
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  {
    StrictDecoder decoder(model);
    ReferenceSink sink(model, ctx.reference, ctx.points, MakeBitPos(window.lastByte + 1, 0));
    sink.Begin(window.firstMcu);
    ctx.reference.end =
        decoder.Run(plain, StartPointOf(model, bytes, pass, window.firstMcu), ctx.limit, sink);
    ctx.reference.Finish();
  }

  // The edits, position by position; each thread takes every other position.
  std::vector<int64_t> positions;
  for (int64_t p = std::max<int64_t>(window.firstByte, 1);
       p <= window.lastByte && p < static_cast<int64_t>(bytes.size()); ++p)
    positions.push_back(p);
  const int threads = std::max(1, std::min(control.threads, 8));
  std::vector<std::vector<ScanEdit>> verified(static_cast<size_t>(threads));
  std::vector<int64_t> trials(static_cast<size_t>(threads), 0);
  std::atomic<size_t> done{0};
  std::atomic<bool> stopped{false};
  // Whether to stop: another thread stopped, or the search is cancelled or late.
  const auto late = [&] {
    return stopped.load(std::memory_order_relaxed) || control.Cancelled() || control.deadline.Passed();
  };
  auto work = [&](int t, bool report) {
    Worker worker(ctx);
    std::vector<ScanEdit> edits;
    for (size_t i = static_cast<size_t>(t); i < positions.size(); i += static_cast<size_t>(threads)) {
      if (late()) {
        stopped = true;
        break;
      }
      edits.clear();
      EditsAt(bytes, positions[i], window.firstByte, edits);
      // A position holds some 500 edits, and a trial that never meets a known decode
      // runs to the end of its interval (10 ms each on a 1 MP scan, 1.8 s for one
      // position): the deadline is looked at every eight trials, not only between
      // positions, which costs a few per cent where trials end at once.
      for (size_t k = 0; k < edits.size(); ++k) {
        if (k % 8 == 7 && late()) {
          stopped = true;
          break;
        }
        if (worker.Try(edits[k])) verified[static_cast<size_t>(t)].push_back(edits[k]);
      }
      if (stopped.load(std::memory_order_relaxed)) break;
      const size_t n = ++done;
      if (report && control.progress)
        control.progress(progressBase +
                         progressShare * static_cast<double>(n) / static_cast<double>(positions.size()));
    }
    trials[static_cast<size_t>(t)] = worker.Trials();
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work, t, false);
  work(0, true);
  for (std::thread& th : pool) th.join();
  for (int64_t n : trials) trialCount += n;
  for (const auto& v : verified) found.insert(found.end(), v.begin(), v.end());
  return !stopped;
}

}  // namespace

Deadline Deadline::After(double seconds, bool wallClock) {
  // At most a year: beyond it the clocks' sums could overflow.
  const double s = std::clamp(seconds, 0.0, 365.0 * 24 * 3600);
  Deadline d;
  d.set_ = true;
  d.wall_ = wallClock ? std::chrono::steady_clock::now() +
                            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(s))
                      : std::chrono::steady_clock::time_point::max();
  d.cpu_ = std::clock() + static_cast<std::clock_t>(s * CLOCKS_PER_SEC);
  d.cpuClock_ = std::make_shared<CpuClock>();
  return d;
}

bool Deadline::Passed() const {
  if (!set_) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now >= wall_) return true;
  // Every trial asks: reading the CPU time each time (a system call, tens of
  // thousands in a search) cost a tenth of the budget in system time. Read once a
  // millisecond, the limit is passed at most a millisecond of each thread late.
  CpuClock& clock = *cpuClock_;
  if (clock.passed.load(std::memory_order_relaxed)) return true;
  const int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
  int64_t next = clock.nextRead.load(std::memory_order_relaxed);
  constexpr int64_t kCpuReadNs = 1'000'000;
  if (nowNs < next ||
      !clock.nextRead.compare_exchange_strong(next, nowNs + kCpuReadNs, std::memory_order_relaxed))
    return false;  // read within the millisecond, or another thread reads it now
  if (std::clock() < cpu_) return false;
  clock.passed.store(true, std::memory_order_relaxed);
  return true;
}

SearchResult RateEdits(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                       const std::vector<ScanEdit>& edits, int32_t firstMcu, int32_t span, bool rateUnedited,
                       int threadCount, bool keepSamples, const Deadline& deadline) {
  SearchResult result;
  result.ratedFirst = firstMcu;
  const int threads = std::max(1, std::min(threadCount, 8));
  result.verified.resize(edits.size());
  for (size_t i = 0; i < edits.size(); ++i) result.verified[i].edit = edits[i];
  std::vector<std::thread> raters;
  std::atomic<bool> late{false};
  auto rate = [&](int t) {
    PictureFit local(model, bytes, pass, firstMcu, span);
    for (size_t i = static_cast<size_t>(t); i < result.verified.size(); i += static_cast<size_t>(threads)) {
      if (late.load(std::memory_order_relaxed) || deadline.Passed()) {
        late = true;
        return;
      }
      local.Rate(&result.verified[i].edit, result.verified[i].rated, keepSamples);
    }
  };
  for (int t = 1; t < threads; ++t) raters.emplace_back(rate, t);
  rate(0);
  for (std::thread& th : raters) th.join();
  if (late) {
    result.timedOut = true;
    return result;
  }
  std::stable_sort(
      result.verified.begin(), result.verified.end(), [](const VerifiedEdit& a, const VerifiedEdit& b) {
        return a.rated.fit != b.rated.fit ? a.rated.fit < b.rated.fit : a.edit.Size() < b.edit.Size();
      });
  if (rateUnedited) {
    PictureFit fit(model, bytes, pass, firstMcu, span);
    result.nullRated = true;
    fit.Rate(nullptr, result.null, keepSamples);
  }
  return result;
}

SearchResult SearchEdits(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                         const std::vector<SearchWindow>& windows, bool syntaxIntact,
                         const SearchControl& control) {
  SearchResult result;
  std::vector<ScanEdit> verified;
  int64_t bytesTotal = 0;
  for (const SearchWindow& w : windows) bytesTotal += std::max<int64_t>(0, w.lastByte - w.firstByte + 1);
  double base = 0;
  for (const SearchWindow& w : windows) {
    const double share = bytesTotal > 0
                             ? static_cast<double>(std::max<int64_t>(0, w.lastByte - w.firstByte + 1)) /
                                   static_cast<double>(bytesTotal)
                             : 0;
    if (!TryWindow(model, bytes, pass, w, control, base, share, verified, result.trials)) {
      result.cancelled = control.Cancelled();
      result.timedOut = !result.cancelled;
      return result;
    }
    base += share;
  }
  // Windows may overlap: each edit once.
  std::sort(verified.begin(), verified.end(), [](const ScanEdit& a, const ScanEdit& b) {
    if (a.position != b.position) return a.position < b.position;
    if (a.Size() != b.Size()) return a.Size() < b.Size();
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.value < b.value;
  });
  verified.erase(std::unique(verified.begin(), verified.end()), verified.end());
  // A marker that does not belong and an FF whose stuffed 00 was lost look alike at
  // the byte. Where the code after the FF is one no writer puts into data
  // (MarkerNeverWrittenInData), the 00 was lost: where a one-byte edit makes the scan
  // whole, the marker's removal is dropped. A code that writers do use anywhere (a
  // frame, a table, APPn, COM ...) may have been written into the data: both edits
  // stay, and the pictures they give tell which it was.
  const bool smallerVerified = std::any_of(
      verified.begin(), verified.end(), [](const ScanEdit& e) { return e.kind != EditKind::RemoveMarker; });
  if (smallerVerified)
    std::erase_if(verified, [](const ScanEdit& e) {
      return e.kind == EditKind::RemoveMarker && MarkerNeverWrittenInData(e.old2);
    });

  // Rate them all over the same MCUs: from the first window's first MCU to a row of
  // MCUs past the last MCU the windows cover (where the edits change the picture);
  // first only over the MCUs the windows cover and a few after, then the whole run
  // for the best of each size of edit.
  int32_t first = model.totalMcus, last = 0;
  for (const SearchWindow& w : windows) {
    first = std::min(first, w.firstMcu);
    last = std::max(last, w.lastMcu);
  }
  if (windows.empty() || (verified.empty() && !syntaxIntact)) return result;
  const int32_t span = last - first + model.geometry.McusPerRow + 2;
  std::vector<ScanEdit> leftOut;
  const int32_t shortSpan = std::min(span, last - first + 4);
  if (shortSpan < span && verified.size() > kWholeRunRated) {
    SearchResult quick = RateEdits(model, bytes, pass, verified, first, shortSpan, false, control.threads,
                                   false, control.deadline);
    if (quick.timedOut) {
      result.timedOut = true;
      return result;
    }
    std::vector<ScanEdit> best;
    std::array<size_t, 8> perSize{};
    for (const VerifiedEdit& v : quick.verified) {
      size_t& n = perSize[static_cast<size_t>(std::min(v.edit.Size(), 7))];
      // A restored stuffed 00 is one edit a data FF offers, not one of 256 values:
      // never left to the short run.
      if (best.size() < kWholeRunRated || n < kWholeRunPerSize || v.edit.kind == EditKind::RestoreStuffing) {
        best.push_back(v.edit);
      } else {
        leftOut.push_back(v.edit);
      }
      ++n;
    }
    verified = std::move(best);
  }
  const int64_t trials = result.trials;
  result = RateEdits(model, bytes, pass, verified, first, span, syntaxIntact, control.threads, true,
                     control.deadline);
  if (result.timedOut) result.verified.clear();
  result.trials = trials;
  result.leftOut = std::move(leftOut);
  result.shortFirst = first;
  result.shortSpan = shortSpan;
  return result;
}

bool MarkerNeverWrittenInData(uint8_t code) {
  // TEM and the reserved 02..BF; JPG (C8) and JPG0..JPG13 (F0..FD), kept for
  // extensions that no baseline writer emits (a stuffed 00 lost before a data F5 once
  // had FF F5 removed as though it were a marker); RSTn and EOI, which writers put
  // only between intervals and after the last (one inside the data is a lost 00
  // before D0..D7 or D9).
  return code < 0xC0 || code == 0xC8 || (code >= 0xF0 && code <= 0xFD) || marker::IsRestartMarker(code) ||
         code == marker::kEOI;
}

}  // namespace vorn
