#include "bench/baseline_drivers.hpp"

#include <string>

namespace bench {

std::uint64_t BaselineCount(gencount::CountProduct& model, gencount::ProgressSink& sink) {
  const std::int32_t N = model.productSize;
  std::uint64_t subsetsDone = 0;
  std::int32_t sinceProgress = 0;
  std::uint64_t generatingCount = 0;
  std::int32_t index[4];
  for (std::int32_t k = 1; k <= N - 3; ++k) {
    index[0] = k;
    for (std::int32_t l = k + 1; l <= N - 2; ++l) {
      index[1] = l;
      for (std::int32_t p = l + 1; p <= N - 1; ++p) {
        index[2] = p;
        for (std::int32_t q = p + 1; q <= N; ++q) {
          index[3] = q;
          ++subsetsDone;
          if (++sinceProgress == gencount::ProgressEvery) {
            sink.Items(subsetsDone, subsetsDone);
            sinceProgress = 0;
          }
          if (BaselineGenerates(model, index)) ++generatingCount;
        }
      }
    }
  }
  return generatingCount;
}

namespace {

// One console write per item, as the plain driver does.
class ItemPerWrite final : public gencount::ProgressSink {
 public:
  ItemPerWrite(runframe::TextOutput& console, double total) : console_(console), total_(total) {}
  void Items(std::uint64_t first, std::uint64_t last) override {
    for (std::uint64_t d = first; d <= last; d += gencount::ProgressEvery) {
      console_.Write(gencount::ProgressItem(static_cast<double>(d), total_));
    }
  }

 private:
  runframe::TextOutput& console_;
  double total_;
};

}  // namespace

void BaselineExhaustiveCount(runframe::RunContext& run, gencount::CountProduct& model) {
  ItemPerWrite sink(run.console, model.totalSubsets);
  const std::string result = gencount::ResultLine(run.n, run.m, BaselineCount(model, sink));
  run.console.Line();
  run.result.Line();
  run.console.Line(result);
  run.console.Line();
  run.console.Line("Hit <enter> to quit!");
  run.result.Line(result);
  run.result.Line();
}

void BaselineRandomSampling(runframe::RunContext& run, gensample::SampleProduct& product,
                            gensample::RandomSource& random, gensample::ConsoleKeys& keys) {
  std::int32_t testsDone = 0;
  std::int32_t sinceLineBreak = 0;
  std::uint64_t generatingCount = 0;
  const gensample::SamplerParameters params = gensample::ReadSamplerParameters(run);
  const std::int64_t dotInterval = params.dotInterval;
  const std::int64_t rowLength = dotInterval * gensample::DotsPerLine;
  bool stopRequested = false;
  std::int32_t index[gensample::SubsetSize];
  do {
    ++testsDone;
    ++sinceLineBreak;
    if (dotInterval != 0) {
      if (sinceLineBreak % dotInterval == 0) run.console.Write(".");
      if (sinceLineBreak % rowLength == 0) {
        run.console.Line();
        sinceLineBreak = 0;
      }
    }
    gensample::PollStopRequest(keys, run.console, stopRequested);
    gensample::DrawSubset(random, product.productSize, index);
    if (BaselineGenerates(product, index)) ++generatingCount;
  } while (testsDone < params.testCount && !stopRequested);
  const std::string countLine = gensample::CountLine(run.n, run.m, testsDone);
  const std::string shareLine = gensample::ShareLine(generatingCount, testsDone);
  run.console.Line();
  run.result.Line();
  run.console.Line(countLine);
  run.console.Line(shareLine);
  run.console.Line();
  run.console.Line("Hit <enter> to quit!");
  run.result.Line(countLine);
  run.result.Line(shareLine);
}

}  // namespace bench
