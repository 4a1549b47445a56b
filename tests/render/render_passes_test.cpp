#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "render/finish_pixel.h"
#include "render/worker_pool.h"

namespace orichalcumite {
namespace {

TEST(Tiling, CutsEveryModeIntoTheDocumentedUnits) {
  const Rect32 pass{10, 20, 10 + 300, 20 + 200};  // 200 wide, 300 high
  EXPECT_EQ(makeTiling(pass, TilingMode::tiles).totalUnits, 2 * 3);
  EXPECT_EQ(makeTiling(pass, TilingMode::rows).totalUnits, 300);
  EXPECT_EQ(makeTiling(pass, TilingMode::columns).totalUnits, 200);
  EXPECT_EQ(makeTiling(pass, TilingMode::rowBands).totalUnits, 5);
  EXPECT_EQ(makeTiling(pass, TilingMode::columnBands).totalUnits, 4);
  const Tiling tiles = makeTiling(pass, TilingMode::tiles);
  EXPECT_EQ(unitRect(tiles, 5), (Rect32{256, 128, 300, 200}));  // the last tile is cut
  const Tiling bands = makeTiling(pass, TilingMode::finalBands);
  EXPECT_EQ(unitRect(bands, 4), (Rect32{256, 0, 300, 200}));
  EXPECT_EQ(makeTiling({0, 0, 1, 1}, TilingMode::tiles).totalUnits, 1);
  EXPECT_EQ(makeTiling({0, 0, 0, 5}, TilingMode::tiles).totalUnits, 0);
}

TEST(SlotCount, IsBoundedByProcessorsUnitsAndTheHundredLimit) {
  EXPECT_EQ(slotCount(0, 50, TilingMode::rowBands), 1);
  EXPECT_EQ(slotCount(8, 3, TilingMode::rowBands), 3);
  EXPECT_EQ(slotCount(500, 1000, TilingMode::tiles), 100);
  EXPECT_EQ(slotCount(8, 100, TilingMode::finalBands), 1);
  EXPECT_EQ(slotCount(8, 100, TilingMode::rows), 1);
  EXPECT_EQ(slotCount(8, 0, TilingMode::tiles), 0);
}

// Counts how often each pixel of the pass is covered by a unit, from worker threads.
class CoverageWork : public PassWork {
 public:
  explicit CoverageWork(const Rect32& pass)
      : pass_(pass), hits_(static_cast<size_t>(pass.width() * pass.height())) {}
  void prepareUnit(WorkUnit& unit) override { prepared_.push_back(unit.tiling.unitIndex); }
  void runUnit(WorkUnit& unit) noexcept override {
    const Rect32& r = unit.tiling.unit;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        hits_[static_cast<size_t>(y * pass_.width() + x)].fetch_add(1);
    running_.fetch_sub(1);
  }
  void completeUnit(WorkUnit&, bool aborted) override {
    ++completed_;
    if (aborted) ++completedAfterAbort_;
  }
  bool shouldAbort() override { return abortAfter_ >= 0 && completed_ >= abortAfter_; }

  Rect32 pass_;
  std::vector<std::atomic<int>> hits_;
  std::vector<int32_t> prepared_;
  std::atomic<int> running_{0};
  int completed_ = 0;
  int completedAfterAbort_ = 0;
  int abortAfter_ = -1;
};

TEST(RunPass, CoversEveryPixelExactlyOnceWhateverTheThreadCount) {
  const Rect32 pass{0, 0, 301, 257};
  for (TilingMode mode : {TilingMode::tiles, TilingMode::rowBands, TilingMode::columnBands,
                          TilingMode::finalBands, TilingMode::columns}) {
    for (int processors : {1, 2, 7}) {
      CoverageWork work(pass);
      const Tiling tiling = makeTiling(pass, mode);
      const PassResult result = runPass(PassKind::blurRows, tiling, work, processors);
      EXPECT_FALSE(result.aborted);
      EXPECT_EQ(result.unitsCompleted, tiling.totalUnits);
      for (const auto& h : work.hits_) ASSERT_EQ(h.load(), 1);
      // Units start in index order.
      for (size_t i = 0; i < work.prepared_.size(); ++i)
        ASSERT_EQ(work.prepared_[i], static_cast<int32_t>(i));
    }
  }
}

TEST(RunPass, AnAbortStartsNoNewUnitsButLetsRunningOnesFinish) {
  const Rect32 pass{0, 0, 64 * 40, 10};
  CoverageWork work(pass);
  work.abortAfter_ = 3;
  const Tiling tiling = makeTiling(pass, TilingMode::rowBands);
  const PassResult result = runPass(PassKind::blurRows, tiling, work, 4);
  EXPECT_TRUE(result.aborted);
  EXPECT_LT(result.unitsCompleted, tiling.totalUnits);
  EXPECT_EQ(static_cast<size_t>(result.unitsCompleted), work.prepared_.size());
  EXPECT_GE(work.completedAfterAbort_, 1);
}

// Records which thread ran each unit of each slot.
class ThreadRecordingWork final : public PassWork {
 public:
  void prepareUnit(WorkUnit&) override {}
  void runUnit(WorkUnit& unit) noexcept override {
    std::lock_guard lock(mutex_);
    threads_.insert(std::this_thread::get_id());
    slotThreads_.insert({unit.slot, std::this_thread::get_id()});
  }
  void completeUnit(WorkUnit&, bool) override {}

  std::mutex mutex_;
  std::set<std::thread::id> threads_;
  std::set<std::pair<int, std::thread::id>> slotThreads_;
};

TEST(RunPass, EachSlotKeepsOneWorkerThreadForThePass) {
  // Forty units on three slots: three threads, none of them the dispatcher, each serving one
  // slot; a second pass works the same after the first has ended its threads.
  for (int pass = 0; pass < 2; ++pass) {
    ThreadRecordingWork work;
    const Tiling tiling = makeTiling({0, 0, 64 * 40, 8}, TilingMode::rowBands);
    const PassResult result = runPass(PassKind::blurRows, tiling, work, 3);
    EXPECT_EQ(result.unitsCompleted, 40);
    EXPECT_EQ(work.threads_.size(), 3u);
    EXPECT_EQ(work.slotThreads_.size(), 3u);
    EXPECT_EQ(work.threads_.count(std::this_thread::get_id()), 0u);
  }
}

TEST(RunPass, AnEmptyPassStartsNothing) {
  CoverageWork work({0, 0, 0, 0});
  const PassResult result =
      runPass(PassKind::blurRows, makeTiling({0, 0, 0, 0}, TilingMode::tiles), work, 2);
  EXPECT_EQ(result.slots, 0);
  EXPECT_TRUE(work.prepared_.empty());
}

void expectColour(const Rgba& c, float r, float g, float b, float a) {
  EXPECT_NEAR(c.red, r, 1e-6f);
  EXPECT_NEAR(c.green, g, 1e-6f);
  EXPECT_NEAR(c.blue, b, 1e-6f);
  EXPECT_NEAR(c.alpha, a, 1e-6f);
}

TEST(OverflowSpreading, SharesTheExcessOfOneChannel) {
  Rgba c{1.5f, 0.5f, 0.5f, 1.0f};
  spreadOverflow(c);
  expectColour(c, 1.5f, 0.55859375f, 0.55859375f, 1.0f);
  // Blue over 1 pushes the other two; a green pushed over 1 passes its excess to red.
  Rgba d{0.5f, 0.99f, 3.0f, 1.0f};
  spreadOverflow(d);  // e = 2 × 60/256 = 0.46875, half each
  EXPECT_NEAR(d.green, 0.99f + 0.234375f, 1e-6f);
  EXPECT_NEAR(d.red, 0.5f + 0.234375f + (d.green - 1.0f), 1e-6f);
}

TEST(OverflowSpreading, TwoChannelsOverFeedTheThirdAndThreeLeaveItAlone) {
  Rgba c{1.25f, 1.25f, 0.0f, 1.0f};
  spreadOverflow(c);
  expectColour(c, 1.25f, 1.25f, 0.5f * 60.0f / 256.0f, 1.0f);
  Rgba d{2.0f, 2.0f, 2.0f, 1.0f};
  spreadOverflow(d);
  expectColour(d, 2.0f, 2.0f, 2.0f, 1.0f);
}

TEST(FinishPixel, SelectionKeepsOrMixesTheSource) {
  FinishContext ctx;
  const Rgba material{1.0f, 0.0f, 0.0f, 1.0f};
  const Rgba source{0.0f, 0.0f, 1.0f, 1.0f};
  expectColour(finishPixel(material, source, 0.0f, 0, 0, ctx), 0.0f, 0.0f, 1.0f, 1.0f);
  expectColour(finishPixel(material, source, 0.5f, 0, 0, ctx), 0.5f, 0.0f, 0.5f, 1.0f);
  expectColour(finishPixel(material, source, 1.0f, 0, 0, ctx), 1.0f, 0.0f, 0.0f, 1.0f);
}

TEST(FinishPixel, GreyscaleTakesTheWeightedGreyFirst) {
  FinishContext ctx;
  ctx.greyscale = true;
  const Rgba out = finishPixel({1.0f, 0.0f, 0.0f, 1.0f}, {0, 0, 0, 1}, 1.0f, 0, 0, ctx);
  expectColour(out, 0.3f, 0.3f, 0.3f, 1.0f);
}

TEST(FinishPixel, PreviewShowsTheCheckerboardWhereUnselected) {
  FinishContext ctx;
  ctx.target = RenderTarget::dialogPreview;
  const Rgba material{0.2f, 0.2f, 0.2f, 1.0f};
  expectColour(finishPixel(material, {}, 0.0f, 0, 0, ctx), 1.0f, 1.0f, 1.0f, 1.0f);
  expectColour(finishPixel(material, {}, 0.0f, 8, 0, ctx), 0.8f, 0.8f, 0.8f, 1.0f);
  expectColour(finishPixel(material, {}, 0.0f, 8, 8, ctx), 1.0f, 1.0f, 1.0f, 1.0f);
}

TEST(FinishPixel, TranslucentMaterialGoesOverTheSourceOnTheHost) {
  FinishContext ctx;
  // Alpha 0.5 is boosted by 1.007 before it is composited.
  const Rgba out = finishPixel({1.0f, 1.0f, 1.0f, 0.5f}, {0.0f, 0.0f, 0.0f, 1.0f}, 1.0f, 0, 0, ctx);
  expectColour(out, 0.5035f, 0.5035f, 0.5035f, 1.0f);
  ctx.editableTransparency = true;
  const Rgba kept =
      finishPixel({1.0f, 1.0f, 1.0f, 0.5f}, {0.0f, 0.0f, 0.0f, 1.0f}, 1.0f, 0, 0, ctx);
  expectColour(kept, 1.0f, 1.0f, 1.0f, 0.5035f);
}

TEST(FinishPixel, HighDynamicRangeKeepsBrightValuesAndClampsHuge) {
  FinishContext ctx;
  ctx.hdr = true;
  const Rgba out = finishPixel({3.0f, 70000.0f, -1.0f, 0.5f}, {}, 1.0f, 0, 0, ctx);
  expectColour(out, 3.0f, 65535.0f, 0.0f, 0.5f);
}

TEST(CompositeOver, TransparentSourceChangesNothing) {
  Rgba dst{0.1f, 0.2f, 0.3f, 0.4f};
  compositeOver({1, 1, 1, 0}, dst);
  expectColour(dst, 0.1f, 0.2f, 0.3f, 0.4f);
  compositeOver({1, 1, 1, 1}, dst);
  expectColour(dst, 1, 1, 1, 1);
}

}  // namespace
}  // namespace orichalcumite
