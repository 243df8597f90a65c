#include "tuning/bounded_minimum.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kp::tuning {

Eigen::VectorXd boundedMinimum(const Eigen::MatrixXd& h, const Eigen::VectorXd& g, double lo,
                               double hi, Eigen::VectorXd start) {
  Eigen::VectorXd v = std::move(start);
  const auto n = static_cast<int>(g.size());
  enum Held { Free, AtLow, AtHigh };
  std::vector<Held> held(static_cast<std::size_t>(n), Free);
  for (int round = 0; round < 4 * n + 8; ++round) {
    std::vector<int> free;
    for (int i = 0; i < n; ++i)
      if (held[static_cast<std::size_t>(i)] == Free) free.push_back(i);
    if (!free.empty()) {
      const auto m = static_cast<int>(free.size());
      Eigen::MatrixXd hf(m, m);
      Eigen::VectorXd rhs(m);
      for (int a = 0; a < m; ++a) {
        rhs(a) = -g(free[a]);
        for (int i = 0; i < n; ++i)
          if (held[static_cast<std::size_t>(i)] != Free) rhs(a) -= h(free[a], i) * v(i);
        for (int b = 0; b < m; ++b) hf(a, b) = h(free[a], free[b]);
      }
      const Eigen::VectorXd x = hf.ldlt().solve(rhs);
      for (int a = 0; a < m; ++a) v(free[a]) = x(a);
    }
    bool moved = false;
    for (int i : free) {
      if (v(i) < lo || v(i) > hi) {
        held[static_cast<std::size_t>(i)] = v(i) < lo ? AtLow : AtHigh;
        v(i) = std::clamp(v(i), lo, hi);
        moved = true;
      }
    }
    if (moved) continue;
    const Eigen::VectorXd grad = h * v + g;
    int release = -1;
    double pull = 1e-9;
    for (int i = 0; i < n; ++i) {
      const Held s = held[static_cast<std::size_t>(i)];
      const double p = s == AtLow ? -grad(i) : s == AtHigh ? grad(i) : 0;
      if (p > pull) {
        pull = p;
        release = i;
      }
    }
    if (release < 0) break;
    held[static_cast<std::size_t>(release)] = Free;
  }
  return v;
}

}  // namespace kp::tuning
