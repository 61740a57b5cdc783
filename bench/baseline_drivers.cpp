#include "bench/baseline_drivers.hpp"

#include <string>

namespace bench {

std::uint64_t BaselineCount(gencount::CountProduct& model, gencount::ProgressSink& sink) {
  return gencount::CountEverySubset(model, sink, BaselineGenerates<gencount::MaxSizeA>);
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
  gencount::WriteCountReport(run, BaselineCount(model, sink));
}

void BaselineRandomSampling(runframe::RunContext& run, gensample::SampleProduct& product,
                            gensample::RandomSource& random, gensample::ConsoleKeys& keys) {
  gensample::SamplingLoop(run, product, random, keys, [&](const std::int32_t(&index)[gensample::SubsetSize]) {
    return BaselineGenerates(product, index);
  });
}

}  // namespace bench
